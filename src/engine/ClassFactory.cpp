#include "engine/ClassFactory.h"

#include "engine/Cursor.h"
#include "engine/Table.h"
#include "engine/Writer.h"

namespace dsengine {

int32_t ClassFactory::CreateInstance(IUnknown* outer, const GUID& iid, void** out) {
    if (!out)
        return DS_E_POINTER;
    *out = nullptr;
    if (outer)
        return DS_E_NOAGGREGATION;
    return Guarded([&]() -> DBResult {
        IUnknown* object = kind_ == TableClass    ? static_cast<IUnknown*>(new Table)
                           : kind_ == CursorClass ? static_cast<IUnknown*>(new Cursor)
                                                  : static_cast<IUnknown*>(new Writer);
        int32_t r = object->QueryInterface(iid, out);
        object->Release();
        return r;
    });
}

} // namespace dsengine

extern "C" __attribute__((visibility("default"))) int32_t DllGetClassObject(const GUID& clsid, const GUID& iid,
                                                                            void** out) {
    using dsengine::ClassFactory;
    if (!out)
        return DS_E_POINTER;
    *out = nullptr;
    ClassFactory::Kind kind;
    if (clsid == CLSID_DSBase)
        kind = ClassFactory::TableClass;
    else if (clsid == CLSID_DSCursor)
        kind = ClassFactory::CursorClass;
    else if (clsid == CLSID_DSWriter)
        kind = ClassFactory::WriterClass;
    else
        return DS_E_CLASSNOTAVAILABLE;
    return dsengine::Guarded([&]() -> DBResult {
        auto* factory = new ClassFactory(kind);
        int32_t r = factory->QueryInterface(iid, out);
        factory->Release();
        return r;
    });
}
