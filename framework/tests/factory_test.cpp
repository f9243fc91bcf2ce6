// The class factory and entry points of a real plug-in module, loaded by class id.
#include "framework/tests/module_helpers.h"
#include "platform/registry/tests/scoped_root.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

const char* const kModule = YRA_TEST_PLUGIN;
const char* const kModule2 = YRA_TEST_PLUGIN2;

// An outer object that counts the references its inner object forwards to it.
struct Outer final : IUnknown {
    ULONG refs = 1;
    HRESULT QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
};

class Factory : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        for (REFCLSID clsid :
             {CLSID_TestAggregatable, CLSID_TestFilter, CLSID_TestNeedsOwner, CLSID_TestRegisteredOnly})
            ASSERT_EQ(FileClass(clsid, kModule), ERROR_SUCCESS);
        ASSERT_EQ(FileClass(CLSID_TestSecond, kModule2), ERROR_SUCCESS);
    }
    void TearDown() override {
        if (auto* set = LoadedSymbol<void(int)>(kModule, "YraTestSetCreateMode")) set(CreateNormally);
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    IClassFactory* GetFactory(REFCLSID clsid) {
        IClassFactory* pCF = nullptr;
        EXPECT_EQ(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(&pCF)),
                  S_OK);
        return pCF;
    }

    ScopedHostRoot m_root;
};

TEST_F(Factory, ClassObjectIsRefusedForForeignClassesAndInterfaces) {
    YRA_DEFINE_GUID(CLSID_NotInModule, 0x6B0E3A10, 0x51C2, 0x4F7A, 0x9D, 0x3E, 0x21, 0x44, 0x8A, 0x10, 0x00, 0x99);
    ASSERT_EQ(FileClass(CLSID_NotInModule, kModule), ERROR_SUCCESS);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoGetClassObject(CLSID_NotInModule, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &p),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(CoGetClassObject(CLSID_TestAggregatable, CLSCTX_INPROC_SERVER, nullptr, IID_IAMovieSetup, &p),
              E_NOINTERFACE);
    ASSERT_TRUE(IsLoaded(kModule));
    auto* initCalls = LoadedSymbol<int()>(kModule, "YraTestInitCalls");
    ASSERT_NE(initCalls, nullptr);
    EXPECT_EQ(initCalls(), 1) << "the load hook runs the template's initialisation once";
}

TEST_F(Factory, CreateInstanceChecksItsArgumentsAndAggregationRules) {
    IClassFactory* pCF = GetFactory(CLSID_TestAggregatable);
    ASSERT_NE(pCF, nullptr);
    LONG baseline = ObjectsActive(kModule);
    EXPECT_EQ(pCF->CreateInstance(nullptr, IID_ITestProbe, nullptr), E_POINTER);

    Outer outer;
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(pCF->CreateInstance(&outer, IID_ITestProbe, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(ObjectsActive(kModule), baseline);

    // Aggregated: the inner identity is handed out, and its interfaces count on the outer.
    IUnknown* pInner = nullptr;
    ASSERT_EQ(pCF->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)), S_OK);
    ITestProbe* pProbe = nullptr;
    ASSERT_EQ(pInner->QueryInterface(IID_ITestProbe, reinterpret_cast<void**>(&pProbe)), S_OK);
    EXPECT_EQ(outer.refs, 2u);
    pProbe->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(pInner->Release(), 0u);
    EXPECT_EQ(ObjectsActive(kModule), baseline);

    // A refused interface destroys the new object.
    EXPECT_EQ(pCF->CreateInstance(nullptr, IID_IAMovieSetup, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(ObjectsActive(kModule), baseline);
    pCF->Release();
}

TEST_F(Factory, CreationHookFailuresAreReturnedAndLeaveNoObject) {
    IClassFactory* pCF = GetFactory(CLSID_TestAggregatable);
    ASSERT_NE(pCF, nullptr);
    auto* setMode = LoadedSymbol<void(int)>(kModule, "YraTestSetCreateMode");
    ASSERT_NE(setMode, nullptr);
    LONG baseline = ObjectsActive(kModule);
    void* p = nullptr;
    setMode(CreateNothing);
    EXPECT_EQ(pCF->CreateInstance(nullptr, IID_IUnknown, &p), E_OUTOFMEMORY);
    setMode(CreateNothingWithError);
    EXPECT_EQ(pCF->CreateInstance(nullptr, IID_IUnknown, &p), E_ABORT);
    setMode(CreateWithError);
    EXPECT_EQ(pCF->CreateInstance(nullptr, IID_IUnknown, &p), E_ABORT);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(ObjectsActive(kModule), baseline);
    pCF->Release();
    // A class that needs an owner says so when created alone.
    EXPECT_EQ(CoCreateInstance(CLSID_TestNeedsOwner, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
              VFW_E_NEED_OWNER);
}

TEST_F(Factory, AClassWithoutACreationHookMakesNoObjects) {
    IClassFactory* pCF = GetFactory(CLSID_TestRegisteredOnly);
    ASSERT_NE(pCF, nullptr);
    LONG baseline = ObjectsActive(kModule);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(pCF->CreateInstance(nullptr, IID_IUnknown, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(ObjectsActive(kModule), baseline);
    pCF->Release();
    EXPECT_EQ(CoCreateInstance(CLSID_TestRegisteredOnly, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(Factory, AFactoryThatCannotBeAllocatedIsOutOfMemory) {
    GetFactory(CLSID_TestAggregatable)->Release(); // loads the module
    auto* failNew = LoadedSymbol<void(bool)>(kModule, "YraTestFailNothrowNew");
    ASSERT_NE(failNew, nullptr);
    failNew(true);
    void* p = reinterpret_cast<void*>(1);
    HRESULT hr =
        CoGetClassObject(CLSID_TestAggregatable, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &p);
    failNew(false);
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_EQ(p, nullptr);
}

TEST_F(Factory, ModuleAnswersBusyWhileObjectsOrLocksLiveAndStaysLoadedWhenIdle) {
    ITestProbe* pProbe = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestAggregatable, nullptr, CLSCTX_INPROC_SERVER, IID_ITestProbe,
                               reinterpret_cast<void**>(&pProbe)),
              S_OK);
    EXPECT_EQ(CanUnloadNow(kModule), S_FALSE);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded(kModule));
    pProbe->Release();
    EXPECT_EQ(CanUnloadNow(kModule), S_OK);

    IClassFactory* pCF = GetFactory(CLSID_TestAggregatable);
    ASSERT_NE(pCF, nullptr);
    EXPECT_EQ(pCF->LockServer(TRUE), S_OK);
    pCF->Release();
    EXPECT_EQ(CanUnloadNow(kModule), S_FALSE) << "a server lock outlives its factory";
    CoFreeUnusedLibraries();
    ASSERT_TRUE(IsLoaded(kModule));
    pCF = GetFactory(CLSID_TestAggregatable);
    EXPECT_EQ(pCF->LockServer(FALSE), S_OK);
    pCF->Release();
    EXPECT_EQ(CanUnloadNow(kModule), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(IsLoaded(kModule));
}

// The last release counts its object gone before it has returned out of the module: freeing
// unused modules at that moment must not take the code from under it.
TEST_F(Factory, FreeingModulesWhileALastReleaseIsStillReturningKeepsTheModule) {
    IClassFactory* pCF = GetFactory(CLSID_TestAggregatable);
    ASSERT_NE(pCF, nullptr);
    auto* setMode = LoadedSymbol<void(int)>(kModule, "YraTestSetCreateMode");
    auto* setAfterRelease = LoadedSymbol<void(void (*)())>(kModule, "YraTestSetAfterRelease");
    ASSERT_TRUE(setMode && setAfterRelease);
    setMode(CreateHooked);
    ITestProbe* pProbe = nullptr;
    ASSERT_EQ(pCF->CreateInstance(nullptr, IID_ITestProbe, reinterpret_cast<void**>(&pProbe)), S_OK);
    pCF->Release();
    static HRESULT s_idle;
    setAfterRelease([] {
        s_idle = CanUnloadNow(kModule);
        CoFreeUnusedLibraries();
    });
    EXPECT_EQ(pProbe->Release(), 0u); // returns through the module's code after the hook
    EXPECT_EQ(s_idle, S_OK) << "the module already answered that it may go";
    ASSERT_TRUE(IsLoaded(kModule));
    LoadedSymbol<void(void (*)())>(kModule, "YraTestSetAfterRelease")(nullptr);
}

TEST_F(Factory, TwoModulesKeepSeparateFrameworkState) {
    ITestProbe *pFirst = nullptr, *pSecond = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestAggregatable, nullptr, CLSCTX_INPROC_SERVER, IID_ITestProbe,
                               reinterpret_cast<void**>(&pFirst)),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_TestSecond, nullptr, CLSCTX_INPROC_SERVER, IID_ITestProbe,
                               reinterpret_cast<void**>(&pSecond)),
              S_OK);
    EXPECT_NE(pFirst->Module(), pSecond->Module());
    EXPECT_EQ(pFirst->ModuleObjects(), 1);
    EXPECT_EQ(pSecond->ModuleObjects(), 1);

    // Neither module sees the other's symbols.
    void* h = dlopen(kModule, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(dlsym(h, "g_FactoryTemplates"), nullptr);
    EXPECT_EQ(dlsym(h, "g_hInst"), nullptr);
    dlclose(h);

    pSecond->Release();
    EXPECT_EQ(CanUnloadNow(kModule2), S_OK);
    EXPECT_EQ(CanUnloadNow(kModule), S_FALSE);
    IClassFactory* pCF = GetFactory(CLSID_TestSecond);
    ASSERT_NE(pCF, nullptr);
    pCF->LockServer(TRUE);
    pCF->Release();
    pFirst->Release();
    EXPECT_EQ(CanUnloadNow(kModule), S_OK) << "the other module's lock is not ours";
    EXPECT_EQ(CanUnloadNow(kModule2), S_FALSE);
    pCF = GetFactory(CLSID_TestSecond);
    pCF->LockServer(FALSE);
    pCF->Release();
}

} // namespace
