#include "core/Library.h"

#include "core/SysUtils.h"

#include <dlfcn.h>

namespace {
thread_local AnsiString lastError;
}

ModuleHandle LoadModule(const AnsiString& fileName) {
    if (fileName.empty()) {
        lastError = "no library name";
        return nullptr;
    }
    if (fileName.find('/') == AnsiString::npos) {
        AnsiString beside = ExeDir() + fileName;
        if (FileExists(beside))
            if (void* h = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL))
                return h;
    }
    void* h = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* err = ::dlerror();
        lastError = err ? err : "unknown error";
    }
    return h;
}

void* FindEntry(ModuleHandle module, const AnsiString& name) {
    if (!module || name.empty())
        return nullptr;
    return ::dlsym(module, name.c_str());
}

void FreeModule(ModuleHandle module) {
    if (module)
        ::dlclose(module);
}

AnsiString LastLoadError() { return lastError; }
