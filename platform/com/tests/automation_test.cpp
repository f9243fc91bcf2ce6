#include "plat/com.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(Bstr, KeepsLengthAndTerminator) {
    BSTR s = SysAllocString(u"Fri\u00e9ndly");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 8u);
    EXPECT_EQ(std::u16string(s), u"Fri\u00e9ndly");
    SysFreeString(s);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Bstr, EmbeddedNulCountsInLength) {
    BSTR s = SysAllocStringLen(u"a\0b", 3);
    EXPECT_EQ(SysStringLen(s), 3u);
    SysFreeString(s);
}

struct CountingUnknown : IUnknown {
    ULONG refs = 1;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
};

TEST(Variant, ClearFreesStringAndReleasesInterface) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"x");
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);

    CountingUnknown unk;
    v.vt = VT_UNKNOWN;
    v.punkVal = &unk;
    unk.AddRef();
    VariantClear(&v);
    EXPECT_EQ(unk.refs, 1u);
}

TEST(Variant, CopyDuplicatesString) {
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(u"name");
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_EQ(std::u16string(b.bstrVal), u"name");
    VariantClear(&a);
    VariantClear(&b);
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

} // namespace
