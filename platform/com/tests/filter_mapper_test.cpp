// The filter mappers' store: what each call writes and removes.
#include "host/filter_registry.h"
#include "plat/com.h"
#include "plat/registry.h"
#include "platform/registry/tests/scoped_root.h"

#include <gtest/gtest.h>

namespace {

YRA_DEFINE_GUID(CLSID_Mapped, 0x2C4E0F55, 0x0A3B, 0x4E7D, 0x8E, 0x61, 0x5B, 0x22, 0x9C, 0x41, 0x70, 0x01);
YRA_DEFINE_GUID(CLSID_Category, 0x2C4E0F55, 0x0A3B, 0x4E7D, 0x8E, 0x61, 0x5B, 0x22, 0x9C, 0x41, 0x70, 0x02);
const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

const REGPINTYPES kTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_MPEG2_PROGRAM}};
const REGFILTERPINS kPins[] = {
    {const_cast<LPWSTR>(u"input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kTypes},
    {const_cast<LPWSTR>(u"video"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, u"x", 0, nullptr},
};

std::u16string Value(const std::u16string& key, const char16_t* name) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return u"<no key>";
    char16_t buf[1024] = {};
    DWORD size = sizeof buf;
    LONG err = RegQueryValueExW(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    return err == ERROR_SUCCESS ? buf : u"<no value>";
}

const std::u16string kInstance =
    u"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\{2C4E0F55-0A3B-4E7D-8E61-5B229C417001}";

template <class I> I* Create(REFCLSID clsid, REFIID iid) {
    I* p = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&p)), S_OK);
    return p;
}

class FilterMapper : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }
    testing_support::ScopedHostRoot m_root;
};

TEST_F(FilterMapper, Mapper2FilesAFilterUnderTheLegacyCategoryAndRemovesIt) {
    IFilterMapper2* pFM2 = Create<IFilterMapper2>(CLSID_FilterMapper2, IID_IFilterMapper2);
    ASSERT_NE(pFM2, nullptr);
    REGFILTER2 rf2{};
    rf2.dwVersion = 1;
    rf2.dwMerit = MERIT_NORMAL;
    rf2.cPins = 2;
    rf2.rgPins = kPins;
    ASSERT_EQ(pFM2->RegisterFilter(CLSID_Mapped, u"Mapped", nullptr, nullptr, nullptr, &rf2), S_OK);
    EXPECT_EQ(Value(kInstance, u"FriendlyName"), u"Mapped");
    EXPECT_EQ(Value(kInstance, u"CLSID"), u"{2C4E0F55-0A3B-4E7D-8E61-5B229C417001}");
    EXPECT_EQ(Value(kInstance, u"FilterData"),
              u"version=1; merit=0x00600000; pin name=\"input\" rendered=0 output=0 zero=0 many=0 "
              u"type={E436EB83-524F-11CE-9F53-0020AF0BA770}/{E06D8022-DB46-11CF-B4D1-00805F6CBBEA}; "
              u"pin name=\"video\" rendered=0 output=1 zero=0 many=0 connects-pin=\"x\"");

    EXPECT_EQ(pFM2->UnregisterFilter(nullptr, nullptr, CLSID_Mapped), S_OK);
    EXPECT_EQ(Value(kInstance, u"CLSID"), u"<no key>");
    EXPECT_EQ(pFM2->UnregisterFilter(nullptr, nullptr, CLSID_Mapped), kNotFound);

    rf2.dwVersion = 3;
    EXPECT_EQ(pFM2->RegisterFilter(CLSID_Mapped, u"Mapped", nullptr, nullptr, nullptr, &rf2), E_INVALIDARG);
    EXPECT_EQ(pFM2->RegisterFilter(CLSID_Mapped, u"Mapped", nullptr, nullptr, nullptr, nullptr), E_POINTER);
    pFM2->Release();
}

TEST_F(FilterMapper, Mapper2KeepsVersion2DataUnderAnyCategoryAndInstance) {
    IFilterMapper2* pFM2 = Create<IFilterMapper2>(CLSID_FilterMapper2, IID_IFilterMapper2);
    ASSERT_NE(pFM2, nullptr);
    const REGPINMEDIUM medium{CLSID_Category, 1, 2};
    const REGFILTERPINS2 pins[] = {{0x8 | 0x4, 2, 1, kTypes, 1, &medium, &CLSID_Category}};
    REGFILTER2 rf2{};
    rf2.dwVersion = 2;
    rf2.dwMerit = MERIT_DO_NOT_USE;
    rf2.cPins2 = 1;
    rf2.rgPins2 = pins;
    ASSERT_EQ(pFM2->RegisterFilter(CLSID_Mapped, u"Two", nullptr, &CLSID_Category, u"my instance", &rf2), S_OK);
    host::RegisteredFilter f;
    ASSERT_EQ(host::ReadRegisteredFilter(&CLSID_Category, u"my instance", CLSID_Mapped, &f), S_OK);
    EXPECT_EQ(f.name, u"Two");
    EXPECT_EQ(f.clsid, CLSID_Mapped);
    EXPECT_EQ(f.version, 2u);
    ASSERT_EQ(f.pins.size(), 1u);
    EXPECT_TRUE(f.pins[0].output && f.pins[0].many && !f.pins[0].zero && !f.pins[0].rendered);
    EXPECT_EQ(f.pins[0].instances, 2u);
    EXPECT_EQ(f.pins[0].category, CLSID_Category);
    ASSERT_EQ(f.pins[0].mediums.size(), 1u);
    EXPECT_EQ(f.pins[0].mediums[0].dw2, 2u);
    EXPECT_EQ(host::ReadRegisteredFilter(nullptr, nullptr, CLSID_Mapped, &f), kNotFound);
    EXPECT_EQ(pFM2->UnregisterFilter(&CLSID_Category, u"my instance", CLSID_Mapped), S_OK);
    pFM2->Release();
}

TEST_F(FilterMapper, OlderMapperBuildsTheSameRecordOneCallAtATime) {
    IFilterMapper* pFM = Create<IFilterMapper>(CLSID_FilterMapper, IID_IFilterMapper);
    ASSERT_NE(pFM, nullptr);
    EXPECT_EQ(pFM->RegisterPin(CLSID_Mapped, u"input", FALSE, FALSE, FALSE, FALSE, CLSID_NULL, nullptr), kNotFound);
    ASSERT_EQ(pFM->RegisterFilter(CLSID_Mapped, u"Mapped", MERIT_NORMAL), S_OK);
    ASSERT_EQ(pFM->RegisterPin(CLSID_Mapped, u"input", FALSE, FALSE, FALSE, FALSE, CLSID_NULL, nullptr), S_OK);
    ASSERT_EQ(pFM->RegisterPinType(CLSID_Mapped, u"INPUT", MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_PROGRAM), S_OK);
    ASSERT_EQ(pFM->RegisterPin(CLSID_Mapped, u"video", FALSE, TRUE, FALSE, FALSE, CLSID_NULL, u"x"), S_OK);
    ASSERT_EQ(pFM->RegisterPin(CLSID_Mapped, u"spare", FALSE, TRUE, FALSE, FALSE, CLSID_NULL, nullptr), S_OK);
    EXPECT_EQ(pFM->RegisterPinType(CLSID_Mapped, u"absent", MEDIATYPE_Video, MEDIASUBTYPE_H264), kNotFound);
    ASSERT_EQ(pFM->UnregisterPin(CLSID_Mapped, u"spare"), S_OK);
    EXPECT_EQ(Value(kInstance, u"FilterData"),
              u"version=1; merit=0x00600000; pin name=\"input\" rendered=0 output=0 zero=0 many=0 "
              u"type={E436EB83-524F-11CE-9F53-0020AF0BA770}/{E06D8022-DB46-11CF-B4D1-00805F6CBBEA}; "
              u"pin name=\"video\" rendered=0 output=1 zero=0 many=0 connects-pin=\"x\"");
    EXPECT_EQ(pFM->UnregisterFilter(CLSID_Mapped), S_OK);
    EXPECT_EQ(pFM->UnregisterFilter(CLSID_Mapped), kNotFound);
    pFM->Release();

    IUnknown* p = nullptr;
    IUnknown* outer = reinterpret_cast<IUnknown*>(&p);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&p)),
              CLASS_E_NOAGGREGATION);
}

TEST(FilterData, RoundTripsAwkwardNamesAndRefusesGarbage) {
    host::RegisteredFilter in;
    in.merit = 7;
    in.pins.resize(1);
    in.pins[0].name = u"a; b \"c\" \\d";
    in.pins[0].connectsToFilter = CLSID_Mapped;
    in.pins[0].types.push_back({MEDIATYPE_Audio, GUID_NULL});
    host::RegisteredFilter out;
    ASSERT_TRUE(host::DecodeFilterData(host::EncodeFilterData(in), &out));
    EXPECT_EQ(out.merit, 7u);
    ASSERT_EQ(out.pins.size(), 1u);
    EXPECT_EQ(out.pins[0].name, in.pins[0].name);
    EXPECT_EQ(out.pins[0].connectsToFilter, CLSID_Mapped);
    EXPECT_EQ(out.pins[0].types.size(), 1u);
    for (const char16_t* bad : {u"", u"merit=1", u"version=1; pin name=\"x", u"version=1; pin type={bad}/{x}",
                                u"version=1; pin rendered=2", u"version=1; color=red", u"version=1 pin name=\"x\""})
        EXPECT_FALSE(host::DecodeFilterData(bad, &out)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

} // namespace
