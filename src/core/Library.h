#pragma once
// Loading shared libraries at run time. A bare file name is looked for beside the executable first,
// then on the system's library path.
#include "core/AnsiString.h"

using ModuleHandle = void*;

// Null when the library cannot be loaded; LastLoadError() then says why.
ModuleHandle LoadModule(const AnsiString& fileName);
// Null when the module exports no entry of that name.
void* FindEntry(ModuleHandle module, const AnsiString& name);
void FreeModule(ModuleHandle module);
AnsiString LastLoadError();
