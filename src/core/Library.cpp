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
    // A library file that users other than its owner and root could have written is not loaded:
    // a settings file may name it.
    auto trusted = [&](const AnsiString& path) {
        if (WritableOnlyByOwner(path))
            return true;
        lastError = path + ": writable by other users";
        return false;
    };
    if (fileName.find('/') == AnsiString::npos) {
        AnsiString beside = ExeDir() + fileName;
        if (FileExists(beside)) {
            if (!trusted(beside))
                return nullptr;
            if (void* h = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL))
                return h;
        }
    } else if (FileExists(fileName) && !trusted(fileName)) {
        return nullptr;
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
