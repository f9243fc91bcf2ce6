// Turning filled records into downstream samples: whole video records, single ADTS frames.
#include "demux_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace demuxtest;

class DeliveryTest : public testing::Test {
protected:
    void SetUp() override {
        HRESULT hr = S_OK;
        m_pRecords = std::make_unique<CDemuxRecords>(&hr);
        ASSERT_EQ(hr, S_OK);
        m_pVideo = std::make_unique<CVideoDelivery>(m_pRecords.get());
        m_pAudio = std::make_unique<CAudioDelivery>(m_pRecords.get());
    }

    // Puts bytes into a record of the stream as the parser would and queues it as filled.
    _MEDIA_SAMPLE* Fill(DEMUX_STREAM nStream, const Bytes& data, REFERENCE_TIME rtTime) {
        RECORD_ENTRY* pEntry = m_pRecords->Free(nStream)->PopHead();
        std::copy(data.begin(), data.end(), pEntry->pData->pData);
        pEntry->pData->nLength = static_cast<DWORD>(data.size());
        pEntry->pData->rtTime = rtTime;
        m_pRecords->Filled(nStream)->PushTail(pEntry);
        return pEntry->pData;
    }

    LONG FreeCount(DEMUX_STREAM nStream) { return m_pRecords->Free(nStream)->GetCount(); }

    std::unique_ptr<CDemuxRecords> m_pRecords;
    std::unique_ptr<CVideoDelivery> m_pVideo;
    std::unique_ptr<CAudioDelivery> m_pAudio;
    FakeSample m_Video{VIDEO_RECORD_SIZE};
    FakeSample m_Audio{AUDIO_RECORD_SIZE};
};

TEST_F(DeliveryTest, VideoRecordGoesOutWholeWithTimeMediaTimeAndSyncPoint) {
    struct {
        Bytes data;
        bool bSync;
    } cases[] = {
        {{0, 0, 0, 1, 0x67}, true},
        {{0, 0, 0, 1, 0x09, 0x10, 0, 0, 0, 1, 0x67}, true},
        {{0, 0, 0, 1, 0x65, 0x88}, false},
        {{0, 0, 0, 1, 0x09, 0x10, 0, 0, 0, 1, 0x41}, false},
        {{0, 0, 0, 1, 0x09, 0x10, 0, 0, 0, 1}, false},
        {{0, 0, 0, 1}, false},
    };
    LONGLONG llMedia = 0;
    for (const auto& c : cases) {
        Fill(DEMUX_VIDEO, c.data, 5000000 + llMedia);
        ASSERT_EQ(m_pVideo->FillVideoSample(&m_Video), S_OK);
        EXPECT_EQ(Bytes(m_Video.m_Buffer.begin(), m_Video.m_Buffer.begin() + m_Video.lActual), c.data);
        EXPECT_EQ(m_Video.bSync, c.bSync) << m_Video.lActual;
        EXPECT_TRUE(m_Video.bTime);
        EXPECT_FALSE(m_Video.bStop);
        EXPECT_EQ(m_Video.rtStart, 5000000 + llMedia);
        EXPECT_EQ(m_Video.llMediaStart, llMedia);
        EXPECT_EQ(m_Video.llMediaStop, llMedia + 1);
        llMedia++;
    }
    EXPECT_EQ(m_pVideo->FillVideoSample(&m_Video), S_FALSE);
    EXPECT_EQ(FreeCount(DEMUX_VIDEO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
    m_pVideo->Reset();
    Fill(DEMUX_VIDEO, {0, 0, 0, 1, 0x41}, 0);
    ASSERT_EQ(m_pVideo->FillVideoSample(&m_Video), S_OK);
    EXPECT_EQ(m_Video.llMediaStart, 0) << "a reset restarts the media time";
}

// The stamp goes on in one order for both streams: length, time, media time, sync point (the
// time before the media time, though the media time is the one computed first).
TEST_F(DeliveryTest, SamplesAreStampedLengthTimeMediaTimeSyncPoint) {
    Fill(DEMUX_VIDEO, {0, 0, 0, 1, 0x67}, 0);
    ASSERT_EQ(m_pVideo->FillVideoSample(&m_Video), S_OK);
    EXPECT_EQ(m_Video.sCalls, "LTMS");
    Fill(DEMUX_AUDIO, AdtsFrame(100, 1), 0);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    EXPECT_EQ(m_Audio.sCalls, "LTMS");
}

TEST_F(DeliveryTest, VideoFailuresAreReturnedAndNothingIsWrittenPastTheSample) {
    FakeSample broken(100);
    broken.hrPointer = E_FAIL;
    Fill(DEMUX_VIDEO, Bytes(50, 1), 0);
    EXPECT_EQ(m_pVideo->FillVideoSample(&broken), E_FAIL);
    EXPECT_EQ(m_pRecords->Filled(DEMUX_VIDEO)->GetCount(), 1) << "the record waits for a usable sample";
    EXPECT_EQ(m_pVideo->FillVideoSample(nullptr), E_POINTER);

    FakeSample small(20);
    EXPECT_EQ(m_pVideo->FillVideoSample(&small), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(FreeCount(DEMUX_VIDEO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));

    Fill(DEMUX_VIDEO, Bytes(10, 2), 0);
    FakeSample refusing(100);
    refusing.hrSetLength = E_UNEXPECTED;
    EXPECT_EQ(m_pVideo->FillVideoSample(&refusing), E_UNEXPECTED);
}

TEST_F(DeliveryTest, AudioRecordGoesOutOneFrameAtATime) {
    Bytes frames = Concat({AdtsFrame(364, 0x11), AdtsFrame(364, 0x22), AdtsFrame(364, 0x33)});
    ASSERT_EQ(frames.size(), 1113u);
    Fill(DEMUX_AUDIO, frames, 10000000);
    const REFERENCE_TIME kTimes[] = {10000000, 10213333, 10426666};
    for (int i = 0; i < 3; i++) {
        EXPECT_FALSE(m_pAudio->IsDrained());
        ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
        EXPECT_EQ(m_Audio.lActual, 364);
        EXPECT_EQ(m_Audio.m_Buffer[0], 0x11 * (i + 1));
        EXPECT_EQ(m_Audio.rtStart, kTimes[i]);
        EXPECT_FALSE(m_Audio.bStop);
        EXPECT_EQ(m_Audio.llMediaStart, 48000 * i);
        EXPECT_EQ(m_Audio.llMediaStop, 48000 * (i + 1));
        EXPECT_TRUE(m_Audio.bSync);
    }
    EXPECT_EQ(FreeCount(DEMUX_AUDIO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
    EXPECT_TRUE(m_pAudio->IsDrained());
    EXPECT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_FALSE);
}

TEST_F(DeliveryTest, AudioRecordsWithoutAWholeFrameAreDroppedAndTheNextTried) {
    Bytes shortRecord = AdtsFrame(493, 0x44);
    shortRecord.resize(400); // announces 500 bytes, holds 400
    Bytes tiny = {0xFF, 0xF1, 0x4C, 0x80, 0x00, 0xFF, 0xFC};
    Bytes belowHeader = AdtsFrame(20, 0x55);
    belowHeader[4] = 0;
    belowHeader[5] = 0x5F; // frame length 2
    Fill(DEMUX_AUDIO, shortRecord, 0);
    EXPECT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_FALSE);
    EXPECT_EQ(FreeCount(DEMUX_AUDIO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
    EXPECT_FALSE(m_Audio.bTime) << "the sample is untouched";

    Fill(DEMUX_AUDIO, tiny, 0);
    Fill(DEMUX_AUDIO, Concat({belowHeader, AdtsFrame(30, 0x66)}), 0);
    Fill(DEMUX_AUDIO, AdtsFrame(40, 0x77), 777);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    EXPECT_EQ(m_Audio.lActual, 40);
    EXPECT_EQ(m_Audio.rtStart, 777);
    EXPECT_EQ(m_Audio.llMediaStart, 0);
    EXPECT_EQ(FreeCount(DEMUX_AUDIO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
}

// A record that does not begin at a frame is read from the next sync word on.
TEST_F(DeliveryTest, AudioResynchronisesOnTheNextSyncWord) {
    Bytes lead = {0x12, 0xFF, 0x0F, 0xFF, 0x34, 0x56};
    Fill(DEMUX_AUDIO, Concat({lead, AdtsFrame(100, 0x01), AdtsFrame(80, 0x02)}), 1000);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    EXPECT_EQ(m_Audio.lActual, 100);
    EXPECT_EQ(m_Audio.m_Buffer[0], 0x01);
    EXPECT_EQ(m_Audio.rtStart, 1000);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    EXPECT_EQ(m_Audio.lActual, 80);
    EXPECT_EQ(m_Audio.rtStart, 1000 + 213333);

    Fill(DEMUX_AUDIO, Bytes(500, 0x3C), 0);
    EXPECT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_FALSE);
    EXPECT_EQ(FreeCount(DEMUX_AUDIO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
}

TEST_F(DeliveryTest, FrameWalkNeverReadsOutsideTheRecord) {
    BYTE buffer[64] = {};
    Bytes frame = AdtsFrame(20, 0x09);
    std::copy(frame.begin(), frame.end(), buffer + 30);
    _MEDIA_SAMPLE record = {buffer, 27, 30, 0, FALSE};
    ADTS_FRAME found;
    EXPECT_EQ(CAdtsFrameWalk::Next(&record, 64, &found), S_OK);
    EXPECT_EQ(found.cbPayload, 20u);
    // Read position and length that run past the buffer: dropped, nothing read.
    _MEDIA_SAMPLE bad = {buffer, 30, 40, 0, FALSE};
    EXPECT_EQ(CAdtsFrameWalk::Next(&bad, 64, &found), S_FALSE);
    EXPECT_EQ(bad.nLength, 0u);
    _MEDIA_SAMPLE badPos = {buffer, 10, 70, 0, FALSE};
    EXPECT_EQ(CAdtsFrameWalk::Next(&badPos, 64, &found), S_FALSE);
}

TEST_F(DeliveryTest, AudioFrameLargerThanTheSampleIsDropped) {
    Fill(DEMUX_AUDIO, Concat({AdtsFrame(300, 0x01), AdtsFrame(30, 0x02)}), 0);
    FakeSample small(100);
    EXPECT_EQ(m_pAudio->FillAudioSample(&small), VFW_E_BUFFER_OVERFLOW);
    ASSERT_EQ(m_pAudio->FillAudioSample(&small), S_OK);
    EXPECT_EQ(small.lActual, 30);
    EXPECT_EQ(small.rtStart, 213333) << "the dropped frame still takes its time";
}

TEST_F(DeliveryTest, ResetReturnsTheRecordBeingSplit) {
    Fill(DEMUX_AUDIO, Concat({AdtsFrame(30, 0x01), AdtsFrame(30, 0x02)}), 0);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    EXPECT_EQ(FreeCount(DEMUX_AUDIO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM) - 1);
    m_pAudio->Reset();
    EXPECT_EQ(FreeCount(DEMUX_AUDIO), static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
    Fill(DEMUX_AUDIO, AdtsFrame(30, 0x03), 0);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    EXPECT_EQ(m_Audio.llMediaStart, 0);
}

TEST_F(DeliveryTest, SampleRateSetsFrameDurationAndMediaStep) {
    EXPECT_EQ(m_pAudio->GetAacFrameDuration(), 213333);
    EXPECT_EQ(m_pAudio->SetAudioSampleRate(22050), S_OK);
    EXPECT_EQ(m_pAudio->GetAacFrameDuration(), 464399);
    EXPECT_EQ(m_pAudio->GetAudioSampleRate(), 22050u);
    EXPECT_EQ(m_pAudio->SetAudioSampleRate(0), E_INVALIDARG);
    EXPECT_EQ(m_pAudio->GetAudioSampleRate(), 22050u);
    Fill(DEMUX_AUDIO, Concat({AdtsFrame(30, 0x01), AdtsFrame(30, 0x02)}), 100);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    ASSERT_EQ(m_pAudio->FillAudioSample(&m_Audio), S_OK);
    EXPECT_EQ(m_Audio.rtStart, 100 + 464399);
    EXPECT_EQ(m_Audio.llMediaStart, 22050);
    EXPECT_EQ(m_Audio.llMediaStop, 44100);
}

} // namespace
