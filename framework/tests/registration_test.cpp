// What the registration routines write to the registry and remove from it, through the
// test modules' own entry points and through yra-regsvr.
#include "tests/support/class_override.h"
#include "framework/tests/module_helpers.h"
#include "host/filter_registry.h"
#include "host/registry_store.h"
#include "host/unknown_impl.h"
#include "host/utf.h"
#include "plat/kernel.h"
#include "platform/registry/tests/scoped_root.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <vector>

namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;

const char* const kModule = YRA_TEST_PLUGIN;
const char* const kModule2 = YRA_TEST_PLUGIN2;

std::string Utf8(std::u16string_view s) { return host::Utf8FromWide(s); }
std::string Text(REFGUID g) { return Utf8(GuidText(g)); }

// Every key below `path` and every value, one line each, in enumeration order.
void Snapshot(HKEY parent, const std::u16string& path, Lines& out) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
    out.push_back(Utf8(path));
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cch = 256, type = 0, size = 0;
        BYTE data[4096];
        size = sizeof data;
        if (RegEnumValueW(h, i, name, &cch, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string value = type == REG_SZ ? Utf8(reinterpret_cast<const char16_t*>(data)) : "<type " + std::to_string(type) + ">";
        out.push_back(Utf8(path) + ":" + (cch ? Utf8(std::u16string(name, cch)) : "@") + "=" + value);
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(h, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        Snapshot(parent, path + u"\\" + std::u16string(name, cch), out);
    }
    RegCloseKey(h);
}

Lines ClassesRoot() {
    Lines out;
    Snapshot(HKEY_CLASSES_ROOT, u"CLSID", out);
    return out;
}

// The classes root holds exactly these entries, in any order.
void ExpectClassesRoot(Lines expected) {
    std::sort(expected.begin(), expected.end());
    Lines actual = ClassesRoot();
    std::sort(actual.begin(), actual.end());
    EXPECT_EQ(actual, expected);
}

Lines ServerLines(REFCLSID clsid, const std::string& name, const std::string& module) {
    std::string key = "CLSID\\" + Text(clsid);
    return {key, key + ":@=" + name, key + "\\InprocServer32", key + "\\InprocServer32:@=" + module,
            key + "\\InprocServer32:ThreadingModel=Both"};
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const std::string kCategory = "CLSID\\" + Text(CLSID_LegacyAmFilterCategory);

Lines FilterLines(REFCLSID clsid, const std::string& name, const std::string& data) {
    std::string key = kCategory + "\\Instance\\" + Text(clsid);
    return {key, key + ":FriendlyName=" + name, key + ":CLSID=" + Text(clsid), key + ":FilterData=" + data};
}

const std::string kTestFilterData =
    "version=1; merit=0x00400000; pin name=\"in\" rendered=0 output=0 zero=0 many=0 type=" + Text(MEDIATYPE_Stream) +
    "/" + Text(MEDIASUBTYPE_MPEG2_TRANSPORT) + "; pin name=\"out\" rendered=0 output=1 zero=1 many=0 type=" +
    Text(MEDIATYPE_Video) + "/" + Text(MEDIASUBTYPE_H264) + " type=" + Text(MEDIATYPE_Video) + "/" +
    Text(MEDIASUBTYPE_AVC1);
const std::string kSecondFilterData =
    "version=1; merit=0x00600000; pin name=\"audio; \\\"main\\\"\" rendered=0 output=1 zero=0 many=1 type=" +
    Text(MEDIATYPE_Audio) + "/" + Text(MEDIASUBTYPE_RAW_AAC1) +
    "; pin name=\"\" rendered=0 output=1 zero=0 many=0 type=" + Text(MEDIATYPE_Video) + "/" +
    Text(MEDIASUBTYPE_H264) + " type=" + Text(MEDIATYPE_Video) + "/" + Text(MEDIASUBTYPE_AVC1) +
    "; pin name=\"\" rendered=1 output=0 zero=0 many=0 type=" + Text(MEDIATYPE_Stream) + "/" +
    Text(MEDIASUBTYPE_MPEG2_PROGRAM);

// The older mapper, answering "not found" to the n-th pin type it is given (counting from 1).
class TypeRefusingMapper final : public host::UnknownImpl<IFilterMapper> {
public:
    static inline host::CreateBuiltinFn s_real = nullptr;
    static inline int s_refuseType = 0;

    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv) {
        IFilterMapper* real = nullptr;
        HRESULT hr = s_real(outer, IID_IFilterMapper, reinterpret_cast<void**>(&real));
        if (FAILED(hr)) return hr;
        auto* p = new TypeRefusingMapper(real);
        p->AddRef();
        hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }
    HRESULT RegisterFilter(CLSID clsid, LPCWSTR name, DWORD merit) override {
        return m_real->RegisterFilter(clsid, name, merit);
    }
    HRESULT RegisterFilterInstance(CLSID clsid, LPCWSTR name, CLSID* mrid) override {
        return m_real->RegisterFilterInstance(clsid, name, mrid);
    }
    HRESULT RegisterPin(CLSID filter, LPCWSTR name, BOOL rendered, BOOL output, BOOL zero, BOOL many,
                        CLSID connectsToFilter, LPCWSTR connectsToPin) override {
        return m_real->RegisterPin(filter, name, rendered, output, zero, many, connectsToFilter,
                                   connectsToPin);
    }
    HRESULT RegisterPinType(CLSID filter, LPCWSTR name, CLSID major, CLSID sub) override {
        if (++m_types == s_refuseType) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        return m_real->RegisterPinType(filter, name, major, sub);
    }
    HRESULT UnregisterFilter(CLSID filter) override { return m_real->UnregisterFilter(filter); }
    HRESULT UnregisterFilterInstance(CLSID mrid) override { return m_real->UnregisterFilterInstance(mrid); }
    HRESULT UnregisterPin(CLSID filter, LPCWSTR name) override { return m_real->UnregisterPin(filter, name); }
    HRESULT EnumMatchingFilters(IEnumRegFilters** ppEnum, DWORD merit, BOOL inputNeeded, CLSID inMajor,
                                CLSID inSub, BOOL render, BOOL outputNeeded, CLSID outMajor,
                                CLSID outSub) override {
        return m_real->EnumMatchingFilters(ppEnum, merit, inputNeeded, inMajor, inSub, render, outputNeeded,
                                           outMajor, outSub);
    }

private:
    explicit TypeRefusingMapper(IFilterMapper* real)
        : host::UnknownImpl<IFilterMapper>(IID_IFilterMapper), m_real(real) {}
    ~TypeRefusingMapper() override { m_real->Release(); }
    IFilterMapper* m_real;
    int m_types = 0;
};

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        m_h1 = dlopen(kModule, RTLD_NOW | RTLD_LOCAL);
        m_h2 = dlopen(kModule2, RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(m_h1 && m_h2) << dlerror();
    }
    void TearDown() override {
        dlclose(m_h1);
        dlclose(m_h2);
    }
    HRESULT Call(void* module, const char* name) {
        auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(module, name));
        return fn ? fn() : E_FAIL;
    }
    // The second module, registered twice (the earlier record replaced), leaves exactly its
    // server and filter entries, and unregistering removes them again.
    void RegisterAndUnregisterSecondModule() {
        ASSERT_EQ(Call(m_h2, "DllRegisterServer"), S_OK);
        ASSERT_EQ(Call(m_h2, "DllRegisterServer"), S_OK);
        ExpectClassesRoot(Concat({{"CLSID"},
                                  ServerLines(CLSID_TestSecond, "YRA Test Second", RealPath(kModule2)),
                                  {kCategory, kCategory + "\\Instance"},
                                  FilterLines(CLSID_TestSecond, "YRA Test Second", kSecondFilterData)}));
        EXPECT_EQ(Call(m_h2, "DllUnregisterServer"), S_OK);
        EXPECT_EQ(ClassesRoot(), (Lines{"CLSID", kCategory, kCategory + "\\Instance"}));
    }

    ScopedHostRoot m_root;
    void* m_h1 = nullptr;
    void* m_h2 = nullptr;
};

TEST_F(Registration, ServersAndSetupWriteExactlyTheirEntriesAndRemoveThemAgain) {
    ASSERT_EQ(Call(m_h1, "DllRegisterServer"), S_OK);
    ASSERT_EQ(Call(m_h1, "DllRegisterServer"), S_OK); // twice: still one of each
    const std::string path = RealPath(kModule);
    ExpectClassesRoot(Concat({{"CLSID"},
                              ServerLines(CLSID_TestAggregatable, "YRA Test Aggregatable", path),
                              ServerLines(CLSID_TestFilter, "YRA Test Filter", path),
                              ServerLines(CLSID_TestNeedsOwner, "YRA Test Needs Owner", path),
                              ServerLines(CLSID_TestRegisteredOnly, "YRA Test Registered Only", path),
                              {kCategory, kCategory + "\\Instance"},
                              FilterLines(CLSID_TestFilter, "YRA Test Filter", kTestFilterData)}));

    // Something a user added below a class key goes too: deletion is depth first.
    HKEY h = nullptr;
    std::u16string deep = u"CLSID\\" + GuidText(CLSID_TestFilter) + u"\\InprocServer32\\Extra\\Deeper";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, deep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);

    EXPECT_EQ(Call(m_h1, "DllUnregisterServer"), S_OK);
    EXPECT_EQ(ClassesRoot(), (Lines{"CLSID", kCategory, kCategory + "\\Instance"}));
}

TEST_F(Registration, UnregisteringCleansUpWhenTheSetupEntriesAreAlreadyGone) {
    ASSERT_EQ(Call(m_h1, "DllRegisterServer"), S_OK);
    ASSERT_EQ(host::RemoveRegisteredFilter(nullptr, nullptr, CLSID_TestFilter), S_OK);
    EXPECT_EQ(Call(m_h1, "DllUnregisterServer"), S_OK);
    EXPECT_EQ(ClassesRoot(), (Lines{"CLSID", kCategory, kCategory + "\\Instance"}));
}

TEST_F(Registration, FiltersWithMapperWriteServerAndFilterEntries) {
    ASSERT_NO_FATAL_FAILURE(RegisterAndUnregisterSecondModule());
    // Nothing left to remove: the mapper's "not found" is no failure, the missing class key is.
    EXPECT_EQ(Call(m_h2, "DllUnregisterServer"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(Registration, WithoutTheNewerMapperTheOlderOneGetsEveryPinAndType) {
    ScopedClassOverride noMapper2(CLSID_FilterMapper2, &FailCreation<REGDB_E_CLASSNOTREG>);
    ASSERT_NO_FATAL_FAILURE(RegisterAndUnregisterSecondModule());
}

TEST_F(Registration, APinTypeTheOlderMapperCannotFindFailsTheRegistration) {
    ScopedClassOverride noMapper2(CLSID_FilterMapper2, &FailCreation<REGDB_E_CLASSNOTREG>);
    ScopedClassOverride refusing(CLSID_FilterMapper, &TypeRefusingMapper::Create);
    TypeRefusingMapper::s_real = refusing.Original();
    TypeRefusingMapper::s_refuseType = 2; // the unnamed output pin's first type
    EXPECT_EQ(Call(m_h2, "DllRegisterServer"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    host::RegisteredFilter filter;
    ASSERT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_TestSecond, &filter), S_OK);
    EXPECT_EQ(filter.pins.size(), 2u) << "nothing after the refusal was registered";
    TypeRefusingMapper::s_refuseType = 0;
}

TEST_F(Registration, ASetupUnregisterFailureOtherThanNotFoundStopsRegistration) {
    auto setResults = reinterpret_cast<void (*)(HRESULT, HRESULT)>(dlsym(m_h1, "YraTestSetSetupResults"));
    ASSERT_NE(setResults, nullptr);
    setResults(S_OK, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Call(m_h1, "DllRegisterServer"), S_OK) << "nothing to remove is no failure";
    setResults(S_OK, E_ACCESSDENIED);
    EXPECT_EQ(Call(m_h1, "DllRegisterServer"), E_ACCESSDENIED);
    // The walk stopped at the filter: the classes after it were not registered.
    HKEY h = nullptr;
    std::u16string last = u"CLSID\\" + GuidText(CLSID_TestRegisteredOnly);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (last + u"\\InprocServer32").c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, last.c_str());
    EXPECT_EQ(Call(m_h1, "DllRegisterServer"), E_ACCESSDENIED);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, last.c_str(), 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
    setResults(E_FAIL, S_OK);
    EXPECT_EQ(Call(m_h1, "DllRegisterServer"), E_FAIL);
    setResults(S_OK, S_OK);
}

TEST_F(Registration, UnregisteringWalksTheTemplatesFromTheLastToTheFirst) {
    auto setResults = reinterpret_cast<void (*)(HRESULT, HRESULT)>(dlsym(m_h1, "YraTestSetSetupResults"));
    ASSERT_NE(setResults, nullptr);
    ASSERT_EQ(Call(m_h1, "DllRegisterServer"), S_OK);
    setResults(S_OK, E_ACCESSDENIED);
    EXPECT_EQ(Call(m_h1, "DllUnregisterServer"), E_ACCESSDENIED);
    setResults(S_OK, S_OK);
    // The two templates after the filter went before it refused; the two before it stay.
    HKEY h = nullptr;
    for (REFCLSID gone : {CLSID_TestNeedsOwner, CLSID_TestRegisteredOnly})
        EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, (u"CLSID\\" + GuidText(gone)).c_str(), 0, KEY_READ, &h),
                  ERROR_FILE_NOT_FOUND);
    for (REFCLSID kept : {CLSID_TestAggregatable, CLSID_TestFilter}) {
        ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, (u"CLSID\\" + GuidText(kept)).c_str(), 0, KEY_READ, &h),
                  ERROR_SUCCESS);
        RegCloseKey(h);
    }
}

TEST_F(Registration, OnlyTemplatesWithSetupDataReachTheMapper) {
    auto fn = reinterpret_cast<HRESULT (*)(BOOL)>(dlsym(m_h1, "YraTestRegisterFiltersWithMapper"));
    ASSERT_NE(fn, nullptr);
    ASSERT_EQ(fn(TRUE), S_OK);
    host::RegisteredFilter filter;
    ASSERT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_TestFilter, &filter), S_OK);
    EXPECT_EQ(filter.name, u"YRA Test Filter");
    EXPECT_EQ(filter.merit, DWORD(MERIT_UNLIKELY));
    ASSERT_EQ(filter.pins.size(), 2u);
    EXPECT_EQ(filter.pins[1].types.size(), 2u);
    EXPECT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_TestAggregatable, &filter),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(fn(FALSE), S_OK);
    EXPECT_EQ(ClassesRoot(), (Lines{"CLSID", kCategory, kCategory + "\\Instance"}));
}

TEST_F(Registration, RegistryFailureStopsRegistrationAndIsReturned) {
    std::filesystem::create_directories(m_root.Registry());
    std::ofstream(host::RegistryHivePath(HKEY_CLASSES_ROOT)) << "not a hive\n";
    EXPECT_EQ(Call(m_h1, "DllRegisterServer"), HRESULT_FROM_WIN32(ERROR_BADDB));
    EXPECT_EQ(Call(m_h2, "DllRegisterServer"), HRESULT_FROM_WIN32(ERROR_BADDB));
}

// The module's path reaches the registry exactly as the loader names it; a path whose bytes
// are not UTF-8 has no UTF-16 form and is refused before anything is written.
TEST(ModulePathRegistration, PathIsWrittenExactlyOrRefused) {
    ScopedHostRoot root;
    struct Case {
        const char* dir;
        HRESULT expected;
    };
    for (Case c : {Case{"caf\xC3\xA9 \xF0\x9D\x84\x9E", S_OK},
                   Case{"caf\xE9", HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)},
                   Case{"over\xC0\xAFlong", HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)}}) {
        const std::filesystem::path dir = std::filesystem::path(root.Path()) / c.dir;
        std::filesystem::create_directories(dir);
        const std::filesystem::path copy = dir / "module.so";
        std::filesystem::copy_file(kModule, copy);
        void* h = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(h, nullptr) << dlerror();
        auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(h, "DllRegisterServer"));
        ASSERT_NE(fn, nullptr);
        EXPECT_EQ(fn(), c.expected) << c.dir;
        if (c.expected == S_OK) {
            Lines entries = ClassesRoot();
            const std::string value =
                "CLSID\\" + Text(CLSID_TestFilter) + "\\InprocServer32:@=" + RealPath(copy.c_str());
            EXPECT_NE(std::find(entries.begin(), entries.end(), value), entries.end()) << c.dir;
            auto unregister = reinterpret_cast<HRESULT (*)()>(dlsym(h, "DllUnregisterServer"));
            EXPECT_EQ(unregister(), S_OK);
        }
        for (const std::string& entry : ClassesRoot())
            EXPECT_EQ(entry.find("InprocServer32"), std::string::npos) << c.dir << ": " << entry;
        dlclose(h);
    }
}

TEST_F(Registration, LeavesTheCallersInitialisationAsItWas) {
    IUnknown* p = nullptr;
    ASSERT_EQ(Call(m_h2, "DllRegisterServer"), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&p)),
              CO_E_NOTINITIALIZED);
    // A thread in the other mode is used as it is and not uninitialised behind its back.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(Call(m_h1, "DllRegisterServer"), S_OK);
    EXPECT_EQ(Call(m_h2, "DllUnregisterServer"), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

// ---- yra-regsvr --------------------------------------------------------------------------

struct ToolRun {
    int status;
    std::string output;
};

ToolRun RegSvr(const std::string& args) {
    std::string command = std::string(YRA_REGSVR) + " " + args + " 2>&1";
    ToolRun run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, pipe)) run.output.append(buf, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(RegSvrTool, RegistersModulesSoThatAnotherProcessCreatesTheirObjects) {
    ScopedHostRoot root;
    // Two registrations at the same moment, in two processes: both land.
    FILE* first = popen((std::string(YRA_REGSVR) + " " + kModule + " 2>&1").c_str(), "r");
    FILE* second = popen((std::string(YRA_REGSVR) + " " + kModule2 + " 2>&1").c_str(), "r");
    ASSERT_TRUE(first && second);
    // Both outputs are read to the end: a pipe closed early would kill its writer with SIGPIPE.
    auto drain = [](FILE* pipe) {
        std::string text;
        char line[512];
        while (fgets(line, sizeof line, pipe)) text += line;
        return text;
    };
    std::string firstOutput = drain(first);
    std::string secondOutput = drain(second);
    EXPECT_NE(firstOutput.find("DllRegisterServer succeeded (0x00000000 S_OK)"), std::string::npos) << firstOutput;
    EXPECT_EQ(pclose(first), 0) << firstOutput;
    EXPECT_EQ(pclose(second), 0) << secondOutput;

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    for (REFCLSID clsid : {CLSID_TestAggregatable, CLSID_TestFilter, CLSID_TestSecond}) {
        ITestProbe* p = nullptr;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITestProbe, reinterpret_cast<void**>(&p)),
                  S_OK);
        p->Release();
    }
    CoFreeUnusedLibraries();

    ToolRun run = RegSvr("-u " + std::string(kModule2) + " " + kModule);
    ASSERT_EQ(run.status, 0) << run.output;
    IUnknown* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestSecond, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&p)),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
    EXPECT_EQ(ClassesRoot(), (Lines{"CLSID", kCategory, kCategory + "\\Instance"}));
}

TEST(RegSvrTool, StopsAtTheFirstFailureWithTheLoadersMessage) {
    ScopedHostRoot root;
    ToolRun run = RegSvr(root.Path() + "/missing.so " + kModule);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cannot open " + root.Path() + "/missing.so"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("No such file"), std::string::npos) << run.output;
    EXPECT_EQ(ClassesRoot(), Lines{}) << "the module after the failure is not registered";

    run = RegSvr("-u " + std::string(kModule2)); // never registered
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("failed: 0x80070002 HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)"), std::string::npos)
        << run.output;

    run = RegSvr("-s " + root.Path() + "/missing.so");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "");
    run = RegSvr("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("usage: yra-regsvr [-u] [-s] MODULE..."), std::string::npos);
    EXPECT_EQ(RegSvr("").status, 2);
}

} // namespace
