#include "plat/com.h"
#include "plat/ks.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::u16string Text(REFGUID g) {
    OLECHAR buf[GUID_STRING_CHARS];
    EXPECT_EQ(StringFromGUID2(g, buf, GUID_STRING_CHARS), GUID_STRING_CHARS);
    return buf;
}

TEST(GuidText, RegistryFormIsBracedUpperCase) {
    EXPECT_EQ(Text(PROPSETID_VIDCAP_VIDEOPROCAMP), u"{C6E13360-30AC-11D0-A18C-00A0C9118956}");
    EXPECT_EQ(Text(GUID_NULL), u"{00000000-0000-0000-0000-000000000000}");
}

TEST(GuidText, TooSmallBufferWritesNothing) {
    OLECHAR buf[GUID_STRING_CHARS] = {u'x'};
    EXPECT_EQ(StringFromGUID2(PROPSETID_HDC_ENCODER, buf, GUID_STRING_CHARS - 1), 0);
    EXPECT_EQ(buf[0], u'x');
}

TEST(GuidText, ParsesBothCasesAndRoundTrips) {
    CLSID g{};
    ASSERT_EQ(CLSIDFromString(u"{fae408dc-e1d4-472b-ac63-9a99a155410d}", &g), S_OK);
    EXPECT_EQ(g, PROPSETID_HDC_ENCODER);
    ASSERT_EQ(CLSIDFromString(Text(PROPSETID_HDC_DEVICE).c_str(), &g), S_OK);
    EXPECT_EQ(g, PROPSETID_HDC_DEVICE);
}

TEST(GuidText, RejectsMalformedText) {
    CLSID g = PROPSETID_HDC_DEVICE;
    for (const char16_t* bad : {u"", u"{C6E13360-30AC-11D0-A18C-00A0C9118956", u"C6E13360-30AC-11D0-A18C-00A0C9118956}",
                                u"{C6E13360-30AC-11D0-A18C-00A0C911895G}", u"{C6E13360+30AC-11D0-A18C-00A0C9118956}",
                                u"{C6E13360-30AC-11D0-A18C-00A0C9118956}x"})
        EXPECT_EQ(CLSIDFromString(bad, &g), CO_E_CLASSSTRING) << std::string(bad, bad + 0);
    EXPECT_EQ(g, PROPSETID_HDC_DEVICE);
}

TEST(GuidText, StringFromClsidUsesTaskMemory) {
    LPOLESTR s = nullptr;
    ASSERT_EQ(StringFromCLSID(IID_IKsControl, &s), S_OK);
    EXPECT_EQ(std::u16string(s), u"{28F54685-06FD-11D2-B27A-00A0C9223196}");
    CoTaskMemFree(s);
}

TEST(ResultCodes, Win32CodesMapIntoFacility7) {
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
    EXPECT_TRUE(FAILED(E_INVALIDARG));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
}

} // namespace
