#include "engine/EngineTestSupport.h"

#include "core/Exception.h"
#include "core/Registry.h"
#include "core/SysUtils.h"
#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>

namespace {
const char* const kKey = "CLSID\\{58398081-A733-5076-93AD-F7BAD3363F1F}\\InProcServer32";

void setRegisteredPath(const std::string& path) {
    TRegistry registry(RegistryHive::ClassesRoot);
    if (path.empty()) {
        registry.DeleteKey(kKey);
        return;
    }
    ASSERT_TRUE(registry.OpenKey(kKey, true));
    registry.WriteString("", path);
}

std::string loadedFrom(ModuleHandle module) {
    Dl_info info{};
    dladdr(FindEntry(module, "DllGetClassObject"), &info);
    return info.dli_fname ? info.dli_fname : "";
}
} // namespace

TEST(Loader, ReadsTheRegisteredPathFallsBackBesideTheProgramAndNamesAMissingLibrary) {
    setRegisteredPath("");
    EXPECT_EQ(DSEngineLibraryPath(), "libdsengine.so");
    ModuleHandle module = LoadDSEngineModule();
    EXPECT_EQ(loadedFrom(module), ExeDir() + "libdsengine.so");
    FreeModule(module);

    // A registered copy elsewhere is the one loaded.
    std::string dir = MakeTempDir();
    std::string copy = dir + "/engine-copy.so";
    std::filesystem::copy_file(ExeDir() + "libdsengine.so", copy);
    setRegisteredPath(copy);
    EXPECT_EQ(DSEngineLibraryPath(), copy);
    module = LoadDSEngineModule();
    EXPECT_EQ(loadedFrom(module), copy);
    FreeModule(module);

    // A registration naming a file that is not there, or a library without the entry.
    for (std::string bad : {dir + "/missing.so", std::string("libm.so.6")}) {
        setRegisteredPath(bad);
        try {
            LoadDSEngineModule();
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Error loading libdsengine.so");
            EXPECT_STREQ(e.ClassName(), "Exception");
        }
    }
    // A value of the wrong kind is no path.
    TRegistry registry(RegistryHive::ClassesRoot);
    ASSERT_TRUE(registry.OpenKey(kKey, false));
    registry.WriteInteger("", 1);
    EXPECT_EQ(DSEngineLibraryPath(), "libdsengine.so");
    setRegisteredPath("");
    std::filesystem::remove_all(dir);
}

TEST(Loader, EntryAndFactoriesAnswerOnlyTheirClassesAndInterfaces) {
    setRegisteredPath("");
    ModuleHandle module = LoadDSEngineModule();
    auto entry = reinterpret_cast<DllGetClassObjectFunc>(FindEntry(module, "DllGetClassObject"));
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(entry(IID_IDSBase, IID_IClassFactory, &out), DS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(entry(CLSID_DSCursor, IID_IClassFactory, reinterpret_cast<void**>(&factory)), 0);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDSBase, &out), DS_E_NOINTERFACE);
    EXPECT_EQ(factory->CreateInstance(factory, IID_IDSCursor, &out), DS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDSCursor, &out), 0);
    auto* cursor = static_cast<IDSCursor*>(out);
    void* again = nullptr;
    ASSERT_EQ(cursor->QueryInterface(IID_IUnknown, &again), 0);
    EXPECT_EQ(cursor->Release(), 1u);
    EXPECT_EQ(cursor->Release(), 0u);
    factory->Release();
    FreeModule(module);
}
