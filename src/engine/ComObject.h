#pragma once
// Reference counting and interface lookup shared by the engine's objects.
#include "interfaces/DSIntf.h"

#include <atomic>
#include <new>

namespace dsengine {

template <class Interface, const GUID& Iid> class ComObject : public Interface {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out)
            return DS_E_POINTER;
        if (iid == IID_IUnknown || iid == Iid) {
            AddRef();
            *out = static_cast<Interface*>(this);
            return 0;
        }
        *out = nullptr;
        return DS_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override {
        uint32_t left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ~ComObject() override = default;

private:
    std::atomic<uint32_t> refs_{1};
};

// Runs an operation that may run out of memory; the engine answers that with a status.
template <class F> DBResult Guarded(F f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return DBERR_NOMEMORY;
    }
}

} // namespace dsengine
