#include "data/DSEngine.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/Registry.h"

#include <cstdio>
#include <mutex>

namespace {
const char* const kDefaultLibrary = "libdsengine.so";

AnsiString guidText(const GUID& g) {
    return Format("{%.8X-%.4X-%.4X-%.2X%.2X-%.2X%.2X%.2X%.2X%.2X%.2X}", g.Data1, g.Data2, g.Data3, g.Data4[0],
                  g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

std::mutex loadLock;
DllGetClassObjectFunc entry = nullptr;  // set once, under loadLock; the library is never unloaded

DllGetClassObjectFunc engineEntry() {
    std::lock_guard<std::mutex> guard(loadLock);
    if (!entry)
        entry = reinterpret_cast<DllGetClassObjectFunc>(FindEntry(LoadDSEngineModule(), "DllGetClassObject"));
    return entry;
}

// Class factory, then instance, as the library's objects are made.
int32_t createObject(const GUID& clsid, const GUID& iid, void** out) {
    *out = nullptr;
    IClassFactory* factory = nullptr;
    int32_t r = engineEntry()(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (r != 0)
        return r;
    r = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    return r;
}

template <class T> DSPtr<T> create(const GUID& clsid, const GUID& iid) {
    void* object = nullptr;
    Check(createObject(clsid, iid, &object), nullptr);
    return DSPtr<T>(static_cast<T*>(object));
}
} // namespace

AnsiString DSEngineLibraryPath() {
    TRegistry registry(RegistryHive::ClassesRoot);
    AnsiString path;
    if (registry.OpenKeyReadOnly(Format("CLSID\\%s\\InProcServer32", guidText(CLSID_DSBase)))) {
        try {
            path = registry.ReadString("");
        } catch (const ERegistryException&) {
            path.clear();  // a value that is not text is no path
        }
    }
    // Nothing is registered here on the fly: the default name is found beside the executable.
    return path.empty() ? AnsiString(kDefaultLibrary) : path;
}

ModuleHandle LoadDSEngineModule() {
    ModuleHandle module = LoadModule(DSEngineLibraryPath());
    if (module && !FindEntry(module, "DllGetClassObject")) {
        FreeModule(module);
        module = nullptr;
    }
    if (!module)
        throw Exception("Error loading libdsengine.so");
    return module;
}

DSPtr<IDSBase> CreateDSBase() { return create<IDSBase>(CLSID_DSBase, IID_IDSBase); }
DSPtr<IDSCursor> CreateDSCursor() { return create<IDSCursor>(CLSID_DSCursor, IID_IDSCursor); }
DSPtr<IDSWriter> CreateDSWriter() { return create<IDSWriter>(CLSID_DSWriter, IID_IDSWriter); }

void Check(DBResult status, IDSBase* table) {
    if (status == DBERR_NONE)
        return;
    char text[DS_MAX_ERROR_STRING] = {};
    IDSBase* source = table;
    void* made = nullptr;
    if (!source && createObject(CLSID_DSBase, IID_IDSBase, &made) == 0)
        source = static_cast<IDSBase*>(made);
    if (!source || source->GetErrorString(status, text) != DBERR_NONE)
        std::snprintf(text, sizeof text, "Engine error %d", int(status));
    if (made)
        static_cast<IDSBase*>(made)->Release();
    throw EDBClient(text, status);
}
