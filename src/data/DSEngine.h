#pragma once
// The client dataset engine library libdsengine.so, loaded once per process on first use: creating
// its tables, cursors and packet writers, and turning its status codes into EDBClient.
#include "core/AnsiString.h"
#include "core/Library.h"
#include "interfaces/DSIntf.h"

#include <utility>

// Holds one reference of an engine object and gives it back when it goes.
template <class T> class DSPtr {
public:
    DSPtr() = default;
    // Takes over the reference the caller holds.
    explicit DSPtr(T* object) : p_(object) {}
    DSPtr(const DSPtr& other) : p_(other.p_) {
        if (p_)
            p_->AddRef();
    }
    DSPtr(DSPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    DSPtr& operator=(DSPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~DSPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }

private:
    T* p_ = nullptr;
};

// The library's path: the default value of "CLSID\{58398081-...}\InProcServer32" under the classes
// root, or "libdsengine.so" (looked for beside the executable first) when that cannot be read.
AnsiString DSEngineLibraryPath();
// Loads the library from that path and checks its entry; every call loads anew (the handle is the
// caller's). Exception "Error loading libdsengine.so" when it cannot be loaded or has no entry.
ModuleHandle LoadDSEngineModule();

// Each loads the library on first use (under a process-wide lock; a failed load is tried again next
// time) and creates an object. Failing to create one raises EDBClient.
DSPtr<IDSBase> CreateDSBase();
DSPtr<IDSCursor> CreateDSCursor();
DSPtr<IDSWriter> CreateDSWriter();

// Raises EDBClient with the engine's text for `status` and the status as its code, unless it is
// DBERR_NONE. `table` gives the text; without one, a table is made for it.
void Check(DBResult status, IDSBase* table);
