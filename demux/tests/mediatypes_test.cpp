// The media types of the three pins.
#include "demux/mediatypes.h"

#include "plat/com.h"

#include <gtest/gtest.h>

namespace {

struct MediaType : AM_MEDIA_TYPE {
    MediaType() : AM_MEDIA_TYPE() {}
    MediaType(const MediaType&) = delete;
    MediaType& operator=(const MediaType&) = delete;
    ~MediaType() { CoTaskMemFree(pbFormat); }
};

TEST(InputMediaType, AcceptsProgramAndTransportStreamsOnly) {
    MediaType mt;
    mt.majortype = MEDIATYPE_Stream;
    mt.subtype = MEDIASUBTYPE_MPEG2_PROGRAM;
    EXPECT_EQ(CheckInputMediaType(&mt), S_OK);
    mt.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    EXPECT_EQ(CheckInputMediaType(&mt), S_OK);
    mt.subtype = MEDIASUBTYPE_H264;
    EXPECT_EQ(CheckInputMediaType(&mt), S_FALSE);
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    EXPECT_EQ(CheckInputMediaType(&mt), S_FALSE);
    EXPECT_EQ(CheckInputMediaType(nullptr), E_POINTER);
}

TEST(VideoMediaType, OffersThreeH264TypesWithAVideoInfoHeader) {
    const GUID* kSubtypes[] = {&MEDIASUBTYPE_AVC1, &MEDIASUBTYPE_H264, &MEDIASUBTYPE_H264_Offered};
    const DWORD kCompression[] = {0x31435641, 0x34363248, 0x34363248};
    for (int i = 0; i < 3; i++) {
        MediaType mt;
        mt.lSampleSize = 1234;
        ASSERT_EQ(GetVideoMediaType(i, 1280, 720, &mt), S_OK);
        EXPECT_EQ(mt.majortype, MEDIATYPE_Video);
        EXPECT_EQ(mt.subtype, *kSubtypes[i]);
        EXPECT_EQ(mt.formattype, FORMAT_VideoInfo);
        EXPECT_FALSE(mt.bFixedSizeSamples);
        EXPECT_FALSE(mt.bTemporalCompression);
        EXPECT_EQ(mt.lSampleSize, 1234u) << "left as it was";
        ASSERT_EQ(mt.cbFormat, 88u);
        const auto* pvih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
        EXPECT_EQ(pvih->AvgTimePerFrame, 330);
        EXPECT_EQ(pvih->dwBitRate, 0u);
        EXPECT_EQ(pvih->rcSource.right, 0);
        EXPECT_EQ(pvih->bmiHeader.biSize, 40u);
        EXPECT_EQ(pvih->bmiHeader.biWidth, 1280);
        EXPECT_EQ(pvih->bmiHeader.biHeight, 720);
        EXPECT_EQ(pvih->bmiHeader.biPlanes, 1);
        EXPECT_EQ(pvih->bmiHeader.biBitCount, 24);
        EXPECT_EQ(pvih->bmiHeader.biCompression, kCompression[i]);
        EXPECT_EQ(pvih->bmiHeader.biSizeImage, 2764800u);
        EXPECT_EQ(pvih->bmiHeader.biClrUsed, 0u);
        EXPECT_EQ(CheckVideoMediaType(&mt), i < 2 ? S_OK : S_FALSE);
    }
}

TEST(VideoMediaType, RoundsRowsToWholeWordsAndRefusesOtherPositions) {
    MediaType mt;
    ASSERT_EQ(GetVideoMediaType(0, 321, -240, &mt), S_OK);
    // A second call replaces the format block (the leak check sees the first one freed).
    ASSERT_EQ(GetVideoMediaType(1, 321, -240, &mt), S_OK);
    EXPECT_EQ(reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader.biSizeImage, 964u * 240u);
    EXPECT_EQ(GetVideoMediaType(3, 1280, 720, &mt), E_INVALIDARG);
    EXPECT_EQ(GetVideoMediaType(-1, 1280, 720, &mt), E_INVALIDARG);
    EXPECT_EQ(GetVideoMediaType(0, 1280, 720, nullptr), E_POINTER);
    mt.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(CheckVideoMediaType(&mt), S_FALSE);
}

TEST(AudioMediaType, IsRawAacWithWaveFormatAndConfiguration) {
    MediaType mt;
    ASSERT_EQ(GetAudioMediaType(0, 48000, &mt), S_OK);
    EXPECT_EQ(mt.majortype, MEDIATYPE_Audio);
    EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RAW_AAC1);
    EXPECT_EQ(mt.formattype, FORMAT_WaveFormatEx);
    EXPECT_EQ(mt.lSampleSize, 1u);
    EXPECT_FALSE(mt.bFixedSizeSamples);
    EXPECT_FALSE(mt.bTemporalCompression);
    ASSERT_EQ(mt.cbFormat, 20u);
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, mt.pbFormat, sizeof(wfx));
    EXPECT_EQ(wfx.wFormatTag, 0x00FF);
    EXPECT_EQ(wfx.nChannels, 2);
    EXPECT_EQ(wfx.nSamplesPerSec, 48000u);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 0u);
    EXPECT_EQ(wfx.nBlockAlign, 0);
    EXPECT_EQ(wfx.wBitsPerSample, 0);
    EXPECT_EQ(wfx.cbSize, 2);
    EXPECT_EQ(mt.pbFormat[18], 0x11);
    EXPECT_EQ(mt.pbFormat[19], 0x90);
    EXPECT_EQ(CheckAudioMediaType(&mt), S_OK);
    EXPECT_EQ(GetAudioMediaType(1, 48000, &mt), E_INVALIDARG);
    EXPECT_EQ(GetAudioMediaType(-1, 48000, &mt), E_INVALIDARG);
    mt.subtype = MEDIASUBTYPE_AVC1;
    EXPECT_EQ(CheckAudioMediaType(&mt), S_FALSE);
}

// Every rate with an MPEG-4 sampling-frequency index names that index; the others keep the
// 48 kHz configuration while the wave format carries the true rate.
TEST(AudioMediaType, ConfigurationNamesTheRatesOwnIndex) {
    const struct {
        DWORD nRate;
        BYTE config[2];
    } kRates[] = {
        {96000, {0x10, 0x10}},  {88200, {0x10, 0x90}},  {64000, {0x11, 0x10}},  {48000, {0x11, 0x90}},
        {44100, {0x12, 0x10}},  {32000, {0x12, 0x90}},  {24000, {0x13, 0x10}},  {22050, {0x13, 0x90}},
        {16000, {0x14, 0x10}},  {12000, {0x14, 0x90}},  {11025, {0x15, 0x10}},  {8000, {0x15, 0x90}},
        {128000, {0x11, 0x90}}, {176400, {0x11, 0x90}}, {192000, {0x11, 0x90}}, {7350, {0x11, 0x90}},
    };
    for (const auto& r : kRates) {
        MediaType mt;
        ASSERT_EQ(GetAudioMediaType(0, r.nRate, &mt), S_OK);
        EXPECT_EQ(mt.pbFormat[18], r.config[0]) << r.nRate;
        EXPECT_EQ(mt.pbFormat[19], r.config[1]) << r.nRate;
        WAVEFORMATEX wfx;
        std::memcpy(&wfx, mt.pbFormat, sizeof(wfx));
        EXPECT_EQ(wfx.nSamplesPerSec, r.nRate);
    }
}

} // namespace
