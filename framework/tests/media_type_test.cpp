#include "framework/mtype.h"
#include "plat/com.h"

#include <gtest/gtest.h>

namespace {

TEST(MediaType, CopiesOwnTheirFormatBlock) {
    CMediaType a(&MEDIATYPE_Audio);
    a.SetFormatType(&FORMAT_WaveFormatEx);
    BYTE fmt[3] = {1, 2, 3};
    ASSERT_TRUE(a.SetFormat(fmt, 3));
    CMediaType b(a);
    ASSERT_NE(b.pbFormat, a.pbFormat);
    EXPECT_TRUE(a == b);
    b.Format()[2] = 9;
    EXPECT_FALSE(a == b);

    AM_MEDIA_TYPE* pmt = CreateMediaType(&a);
    ASSERT_NE(pmt, nullptr);
    EXPECT_NE(pmt->pbFormat, a.pbFormat);
    EXPECT_EQ(0, std::memcmp(pmt->pbFormat, fmt, 3));
    DeleteMediaType(pmt);

    AM_MEDIA_TYPE raw;
    ASSERT_EQ(CopyMediaType(&raw, &a), S_OK);
    FreeMediaType(raw);
    EXPECT_EQ(raw.pbFormat, nullptr);
    EXPECT_EQ(raw.cbFormat, 0u);
}

TEST(MediaType, PartialTypesMatchOnWhatTheyName) {
    CMediaType full(&MEDIATYPE_Video);
    full.SetSubtype(&MEDIASUBTYPE_H264);
    full.SetFormatType(&FORMAT_VideoInfo);
    BYTE fmt[2] = {5, 6};
    full.SetFormat(fmt, 2);
    EXPECT_FALSE(full.IsPartiallySpecified());

    CMediaType any;
    EXPECT_TRUE(full.MatchesPartial(&any));
    CMediaType video(&MEDIATYPE_Video);
    EXPECT_TRUE(full.MatchesPartial(&video));
    CMediaType audio(&MEDIATYPE_Audio);
    EXPECT_FALSE(full.MatchesPartial(&audio));
    CMediaType avc(&MEDIATYPE_Video);
    avc.SetSubtype(&MEDIASUBTYPE_AVC1);
    EXPECT_FALSE(full.MatchesPartial(&avc));

    // Naming a format type asks for the same block, byte for byte.
    CMediaType withFormat(&MEDIATYPE_Video);
    withFormat.SetFormatType(&FORMAT_VideoInfo);
    EXPECT_FALSE(full.MatchesPartial(&withFormat));
    withFormat.SetFormat(fmt, 2);
    EXPECT_TRUE(full.MatchesPartial(&withFormat));
    withFormat.Format()[1] = 7;
    EXPECT_FALSE(full.MatchesPartial(&withFormat));
}

} // namespace
