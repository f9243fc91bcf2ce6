#include "host/result_names.h"
#include "plat/media.h"

#include <gtest/gtest.h>

namespace {

TEST(ResultNames, NamesKnownCodesAndWin32Results) {
    EXPECT_EQ(host::FormatResult(S_OK), "0x00000000 S_OK");
    EXPECT_EQ(host::FormatResult(E_OUTOFMEMORY), "0x8007000E E_OUTOFMEMORY");
    EXPECT_EQ(host::FormatResult(VFW_E_NEED_OWNER), "0x80040202 VFW_E_NEED_OWNER");
    EXPECT_EQ(host::FormatResult(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)),
              "0x8007007E HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)");
    EXPECT_EQ(host::FormatResult(static_cast<HRESULT>(0x8123ABCD)), "0x8123ABCD");
    EXPECT_STREQ(host::Win32ErrorName(ERROR_BADDB), "ERROR_BADDB");
}

} // namespace
