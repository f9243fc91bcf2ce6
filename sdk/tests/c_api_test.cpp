// The header and the exports as a C program sees them.
#include "c_api_calls.h"
#include "sdk_test_device.h"

namespace {

TEST(SdkFromC, EveryExportWorksFromACTranslationUnit) {
    sdk_testing::SdkDevice device;
    C_API_RESULTS r;
    CallEveryExportFromC(device.filter, &r);
    EXPECT_EQ(r.nVersion, 20150303);
    EXPECT_EQ(r.hrInitialize, S_OK);
    EXPECT_EQ(r.hrGet, S_OK);
    EXPECT_EQ(r.hrSet, S_OK);
    EXPECT_EQ(r.hrGetAfterSet, S_OK);
    EXPECT_EQ(r.param.nBitRate, 8000u);
    EXPECT_EQ(r.param.nEncodeWidth, 1920u);
    EXPECT_EQ(device.model->Settings().bitRateKbps, 8000u);
    EXPECT_EQ(r.hrMcuVersion, S_OK);
    EXPECT_EQ(r.nMajor, 1);
    EXPECT_EQ(r.nMinor, 3);
    EXPECT_EQ(r.hrHdmi, S_OK);
    EXPECT_EQ(r.nHdmiCode, 22);
    EXPECT_EQ(r.hrNullFilter, E_INVALIDARG);
    // C and C++ agree on the record's layout.
    EXPECT_EQ(r.cbParam, sizeof(HDC_FILTER_PARAM));
    EXPECT_EQ(r.offsetSampleRate, offsetof(HDC_FILTER_PARAM, nAudioSampleRate));
    EXPECT_EQ(r.offsetBitRate3, offsetof(HDC_FILTER_PARAM, nBitRate3));
}

} // namespace
