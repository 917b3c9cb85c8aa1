#pragma once
// The class factory the library's entry hands out: one per engine class.
#include "engine/ComObject.h"

namespace dsengine {

class ClassFactory final : public ComObject<IClassFactory, IID_IClassFactory> {
public:
    enum Kind { TableClass, CursorClass, WriterClass };
    explicit ClassFactory(Kind kind) : kind_(kind) {}
    int32_t CreateInstance(IUnknown* outer, const GUID& iid, void** out) override;

private:
    Kind kind_;
};

} // namespace dsengine
