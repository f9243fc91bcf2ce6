// How the runtime finds, opens, caches and closes the modules the registry names.
#include "framework/tests/module_helpers.h"
#include "host/module_loader.h"
#include "platform/registry/tests/scoped_root.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;

const char* const kModule = YRA_TEST_PLUGIN;

class ModuleLoader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override {
        CoFreeUnusedLibraries();
        CoUninitialize();
    }
    HRESULT Create(REFCLSID clsid, IUnknown** pp) {
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(pp));
    }
    ScopedHostRoot m_root;
};

TEST_F(ModuleLoader, ClassesWithoutAUsableServerAreRefused) {
    IUnknown* p = nullptr;
    EXPECT_EQ(Create(CLSID_TestAggregatable, &p), REGDB_E_CLASSNOTREG);

    // A class key without a server path.
    HKEY h = nullptr;
    std::u16string key = u"CLSID\\" + GuidText(CLSID_TestAggregatable) + u"\\InprocServer32";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_EQ(Create(CLSID_TestAggregatable, &p), REGDB_E_CLASSNOTREG);

    const std::string missing = m_root.Path() + "/gone.so";
    ASSERT_EQ(FileClass(CLSID_TestAggregatable, missing), ERROR_SUCCESS);
    EXPECT_EQ(Create(CLSID_TestAggregatable, &p), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(host::LastModuleLoadError().find(missing), std::string::npos) << host::LastModuleLoadError();

    const std::string text = m_root.Path() + "/text.so";
    std::ofstream(text) << "not a module";
    ASSERT_EQ(FileClass(CLSID_TestAggregatable, text), ERROR_SUCCESS);
    EXPECT_EQ(Create(CLSID_TestAggregatable, &p), HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT));

    // The host library is a module, but no component server.
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&CoCreateInstance), &info));
    ASSERT_EQ(FileClass(CLSID_TestAggregatable, info.dli_fname), ERROR_SUCCESS);
    EXPECT_EQ(Create(CLSID_TestAggregatable, &p), CO_E_ERRORINDLL);
    EXPECT_NE(host::LastModuleLoadError().find("DllGetClassObject"), std::string::npos);
    EXPECT_EQ(p, nullptr);
}

TEST_F(ModuleLoader, UnreadableRegistryIsNotAMissingClass) {
    std::filesystem::create_directories(m_root.Registry());
    std::ofstream(m_root.Registry() + "/HKEY_CLASSES_ROOT.reg") << "garbage\n";
    IUnknown* p = nullptr;
    EXPECT_EQ(Create(CLSID_TestAggregatable, &p), REGDB_E_READREGDB);
}

TEST_F(ModuleLoader, OpensEachModuleOnceAndKeepsItOpenWhenIdle) {
    ASSERT_EQ(FileClass(CLSID_TestAggregatable, kModule), ERROR_SUCCESS);
    // Another spelling of the same file is the same module.
    ASSERT_EQ(FileClass(CLSID_TestFilter, std::string(kModule).insert(std::string(kModule).rfind('/'), "/.")),
              ERROR_SUCCESS);
    IUnknown *a = nullptr, *b = nullptr;
    ASSERT_EQ(Create(CLSID_TestAggregatable, &a), S_OK);
    ASSERT_EQ(Create(CLSID_TestFilter, &b), S_OK);
    EXPECT_EQ(ObjectsActive(kModule), 2);
    a->Release();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded(kModule));
    b->Release();
    EXPECT_EQ(CanUnloadNow(kModule), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded(kModule)) << "an idle module may still be returning from its last release";
    // Both spellings still find the one module that stayed.
    ASSERT_EQ(Create(CLSID_TestFilter, &b), S_OK);
    EXPECT_EQ(ObjectsActive(kModule), 1);
    b->Release();
}

TEST_F(ModuleLoader, CreationAndUnloadingOnManyThreadsAtOnce) {
    ASSERT_EQ(FileClass(CLSID_TestAggregatable, kModule), ERROR_SUCCESS);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread freer([&] {
        while (!stop) CoFreeUnusedLibraries();
    });
    std::vector<std::thread> creators;
    for (int t = 0; t < 4; ++t) {
        creators.emplace_back([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            for (int i = 0; i < 100; ++i) {
                ITestProbe* p = nullptr;
                if (CoCreateInstance(CLSID_TestAggregatable, nullptr, CLSCTX_INPROC_SERVER, IID_ITestProbe,
                                     reinterpret_cast<void**>(&p)) != S_OK ||
                    p->ModuleObjects() < 1) {
                    ++failures;
                    continue;
                }
                p->Release();
            }
            CoUninitialize();
        });
    }
    for (auto& t : creators) t.join();
    stop = true;
    freer.join();
    EXPECT_EQ(failures, 0);
}

} // namespace
