// CString formatting as the program's messages use it.
#include "appfw/app.h"

#include <gtest/gtest.h>

namespace {

TEST(CString, FormatsNumbersAsThePlatformDoes) {
    CString s;
    s.Format(u"CoInitialize() failed, HRESULT = 0x%X.\n", static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(s, u"CoInitialize() failed, HRESULT = 0x80004005.\n");
    s.Format(u"Index error, index = %d.\n", -3);
    EXPECT_EQ(s, u"Index error, index = -3.\n");
    s.Format(u"MCU Version: %d.%d\n", 1, 12);
    EXPECT_EQ(s, u"MCU Version: 1.12\n");
    s.Format(u"[%5d|%-4d|%05u|%x|%lld|%I64d|%zu]", 42, 7, 9u, 255, -5LL, 1LL << 40, size_t{3});
    EXPECT_EQ(s, u"[   42|7   |00009|ff|-5|1099511627776|3]");
    s.Format(u"%.1f%%", 2.25);
    EXPECT_EQ(s, u"2.2%");
}

TEST(CString, FormatsWideAndNarrowStrings) {
    CString s;
    s.Format(u"%s x %ls, %S, %hs, %c, [%6s] [%-3s] [%.2s]", u"1920", u"1080", "narrow", "also", u'Z', u"ab",
             u"c", u"xyz");
    EXPECT_EQ(s, u"1920 x 1080, narrow, also, Z, [    ab] [c  ] [xy]");
    s.Format(u"%s", static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ(s, u"(null)");
    s.AppendFormat(u" and %d", 5);
    EXPECT_EQ(s, u"(null) and 5");
    s.Format(u"%q stays");
    EXPECT_EQ(s, u"%q stays");
}

TEST(CString, BuffersAndPieces) {
    CString s(u"path/name.ts");
    EXPECT_EQ(s.GetLength(), 12);
    EXPECT_EQ(s.ReverseFind(u'.'), 9);
    EXPECT_EQ(s.Left(4), u"path");
    EXPECT_EQ(s.Mid(5), u"name.ts");
    EXPECT_EQ(s.Right(2), u"ts");
    EXPECT_EQ(s.Find(u"name"), 5);
    LPWSTR buffer = s.GetBuffer(32);
    buffer[3] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s, u"pat");
    EXPECT_EQ(s + u"!", u"pat!");
}

} // namespace
