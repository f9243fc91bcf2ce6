#include "framework/memalloc.h"
#include "framework/mtype.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

// One committed allocator with one 100-byte buffer; the test holds its sample.
class SampleTest : public ::testing::Test {
protected:
    void SetUp() override {
        HRESULT hr = S_OK;
        auto* p = new CMemAllocator(u"test", nullptr, &hr);
        p->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&alloc));
        ALLOCATOR_PROPERTIES request{1, 100, 1, 0}, actual;
        ASSERT_EQ(alloc->SetProperties(&request, &actual), S_OK);
        ASSERT_EQ(alloc->Commit(), S_OK);
        ASSERT_EQ(alloc->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
        sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&sample2));
        sample2->Release(); // kept without a reference: same object as 'sample'
    }
    void TearDown() override {
        if (sample) sample->Release();
        alloc->Decommit();
        alloc->Release();
    }
    // Returns the sample to the allocator and takes it out again.
    void Recycle() {
        EXPECT_EQ(sample->Release(), 0u);
        ASSERT_EQ(alloc->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    }

    IMemAllocator* alloc = nullptr;
    IMediaSample* sample = nullptr;
    IMediaSample2* sample2 = nullptr;
};

TEST_F(SampleTest, LastReleaseReturnsItToTheAllocator) {
    EXPECT_EQ(sample->AddRef(), 2u);
    EXPECT_EQ(sample->Release(), 1u);
    IMediaSample* none = nullptr;
    EXPECT_EQ(alloc->GetBuffer(&none, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    IMediaSample* held = sample;
    Recycle(); // the only buffer came back and went out again
    EXPECT_EQ(sample, held);
}

TEST_F(SampleTest, ActualLengthMayNotPassTheBuffer) {
    EXPECT_EQ(sample->SetActualDataLength(100), S_OK);
    EXPECT_EQ(sample->GetActualDataLength(), 100);
    EXPECT_EQ(sample->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(sample->SetActualDataLength(-1), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(sample->GetActualDataLength(), 100);
}

TEST_F(SampleTest, TimesWithAndWithoutStop) {
    REFERENCE_TIME start = 0, stop = 0;
    EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    REFERENCE_TIME s = 1000, e = 2000;
    sample->SetTime(&s, nullptr);
    EXPECT_EQ(sample->GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(start, 1000);
    EXPECT_EQ(stop, 1001);
    sample->SetTime(&s, &e);
    EXPECT_EQ(sample->GetTime(&start, &stop), S_OK);
    EXPECT_EQ(stop, 2000);
    sample->SetTime(&s, nullptr); // a start alone clears the stop
    EXPECT_EQ(sample->GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
    sample->SetTime(nullptr, &e);
    EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(sample->GetTime(nullptr, &stop), E_POINTER);
}

TEST_F(SampleTest, MediaTimesKeepTheStopAsA32BitDifference) {
    LONGLONG start = 0, stop = 0;
    EXPECT_EQ(sample->GetMediaTime(&start, &stop), VFW_E_MEDIA_TIME_NOT_SET);
    LONGLONG s = 5'000'000'000LL, e = s + 48000;
    EXPECT_EQ(sample->SetMediaTime(&s, nullptr), E_POINTER);
    ASSERT_EQ(sample->SetMediaTime(&s, &e), S_OK);
    ASSERT_EQ(sample->GetMediaTime(&start, &stop), S_OK);
    EXPECT_EQ(start, s);
    EXPECT_EQ(stop, e);
    LONGLONG far = s + 0x80000000LL;
    ASSERT_EQ(sample->SetMediaTime(&s, &far), S_OK);
    sample->GetMediaTime(&start, &stop);
    EXPECT_NE(stop, far);
    EXPECT_EQ(stop, s - 0x80000000LL);
    sample->SetMediaTime(nullptr, nullptr);
    EXPECT_EQ(sample->GetMediaTime(&start, &stop), VFW_E_MEDIA_TIME_NOT_SET);
}

TEST_F(SampleTest, FlagsAreClearedOnReturnButTimesAndLengthStay) {
    EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
    sample->SetSyncPoint(TRUE);
    sample->SetPreroll(TRUE);
    sample->SetDiscontinuity(TRUE);
    EXPECT_EQ(sample->IsSyncPoint(), S_OK);
    EXPECT_EQ(sample->IsPreroll(), S_OK);
    EXPECT_EQ(sample->IsDiscontinuity(), S_OK);
    sample->SetPreroll(FALSE);
    EXPECT_EQ(sample->IsPreroll(), S_FALSE);
    REFERENCE_TIME s = 7, e = 9;
    sample->SetTime(&s, &e);
    sample->SetActualDataLength(42);
    CMediaType mt(&MEDIATYPE_Video);
    sample->SetMediaType(&mt);

    Recycle();
    EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
    EXPECT_EQ(sample->IsDiscontinuity(), S_FALSE);
    AM_MEDIA_TYPE* pmt = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(sample->GetMediaType(&pmt), S_FALSE);
    EXPECT_EQ(pmt, nullptr);
    REFERENCE_TIME start = 0, stop = 0;
    // The validity bits went with the flags, the values did not.
    EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(sample->GetActualDataLength(), 42);
}

TEST_F(SampleTest, MediaTypeIsACopyBothWays) {
    CMediaType mt(&MEDIATYPE_Audio);
    BYTE fmt[4] = {1, 2, 3, 4};
    mt.SetFormatType(&FORMAT_WaveFormatEx);
    mt.SetFormat(fmt, 4);
    ASSERT_EQ(sample->SetMediaType(&mt), S_OK);
    mt.Format()[0] = 99; // the sample kept its own copy
    AM_MEDIA_TYPE* pmt = nullptr;
    ASSERT_EQ(sample->GetMediaType(&pmt), S_OK);
    ASSERT_NE(pmt, nullptr);
    EXPECT_EQ(pmt->majortype, MEDIATYPE_Audio);
    ASSERT_EQ(pmt->cbFormat, 4u);
    EXPECT_EQ(pmt->pbFormat[0], 1);
    DeleteMediaType(pmt);

    // The sample's own type, as GetProperties hands it out, may be given back.
    AM_SAMPLE2_PROPERTIES props;
    ASSERT_EQ(sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), S_OK);
    ASSERT_NE(props.pMediaType, nullptr);
    ASSERT_EQ(sample->SetMediaType(props.pMediaType), S_OK);
    ASSERT_EQ(sample->GetMediaType(&pmt), S_OK);
    EXPECT_EQ(pmt->majortype, MEDIATYPE_Audio);
    ASSERT_EQ(pmt->cbFormat, 4u);
    EXPECT_EQ(pmt->pbFormat[3], 4);
    DeleteMediaType(pmt);

    ASSERT_EQ(sample->SetMediaType(nullptr), S_OK);
    EXPECT_EQ(sample->GetMediaType(&pmt), S_FALSE);
}

TEST_F(SampleTest, GetPropertiesFillsTheRecordCutToTheAskedSize) {
    sample->SetActualDataLength(10);
    sample->SetSyncPoint(TRUE);
    REFERENCE_TIME s = 100, e = 200;
    sample->SetTime(&s, &e);
    LONGLONG ms = 1, me = 2;
    sample->SetMediaTime(&ms, &me);
    EXPECT_EQ(sample2->GetProperties(0, nullptr), S_OK);
    AM_SAMPLE2_PROPERTIES props;
    std::memset(&props, 0xCC, sizeof(props));
    EXPECT_EQ(sample2->GetProperties(sizeof(props), nullptr), E_POINTER);
    ASSERT_EQ(sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), S_OK);
    EXPECT_EQ(props.cbData, sizeof(props));
    EXPECT_EQ(props.dwSampleFlags, DWORD(AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID));
    EXPECT_EQ(props.lActual, 10);
    EXPECT_EQ(props.tStart, 100);
    EXPECT_EQ(props.tStop, 200);
    EXPECT_EQ(props.pMediaType, nullptr);
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    EXPECT_EQ(props.pbBuffer, p);
    EXPECT_EQ(props.cbBuffer, 100);

    std::memset(&props, 0xCC, sizeof(props));
    ASSERT_EQ(sample2->GetProperties(16, reinterpret_cast<BYTE*>(&props)), S_OK);
    EXPECT_EQ(props.cbData, 16u);
    EXPECT_EQ(props.lActual, 10);
    EXPECT_EQ(props.tStart, static_cast<REFERENCE_TIME>(0xCCCCCCCCCCCCCCCCULL)); // not written
}

TEST_F(SampleTest, SetPropertiesChecksBeforeItStores) {
    AM_SAMPLE2_PROPERTIES props{};
    props.cbData = sizeof(props);
    EXPECT_EQ(sample2->SetProperties(3, nullptr), S_OK);
    EXPECT_EQ(sample2->SetProperties(sizeof(props), nullptr), E_POINTER);
    EXPECT_EQ(sample2->SetProperties(sizeof(props) + 1, reinterpret_cast<BYTE*>(&props)), E_INVALIDARG);

    props.dwSampleFlags = 0x200; // end-of-stream is not a sample flag
    EXPECT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), E_INVALIDARG);

    // A start time made valid needs the stop time in the record.
    props.dwSampleFlags = AM_SAMPLE_TIMEVALID;
    props.cbData = offsetof(AM_SAMPLE2_PROPERTIES, tStart) + sizeof(REFERENCE_TIME);
    EXPECT_EQ(sample2->SetProperties(props.cbData, reinterpret_cast<BYTE*>(&props)), E_INVALIDARG);

    props.cbData = sizeof(props);
    BYTE other[4];
    props.pbBuffer = other;
    EXPECT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), E_INVALIDARG);
    props.pbBuffer = nullptr;
    props.cbBuffer = 50;
    EXPECT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), E_INVALIDARG);
    props.cbBuffer = 0;
    props.lActual = 101;
    EXPECT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), E_INVALIDARG);
    props.dwSampleFlags = AM_SAMPLE_TYPECHANGED;
    props.lActual = 0;
    props.pMediaType = nullptr;
    EXPECT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), E_POINTER);
    EXPECT_EQ(sample->GetActualDataLength(), 0); // nothing was stored by the refusals

    CMediaType mt(&MEDIATYPE_Video);
    props.pMediaType = &mt;
    props.dwSampleFlags = AM_SAMPLE_TYPECHANGED | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID | AM_SAMPLE_SPLICEPOINT;
    props.lActual = 60;
    props.tStart = 10;
    props.tStop = 20;
    props.dwStreamId = 3;
    ASSERT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), S_OK);
    EXPECT_EQ(sample->GetActualDataLength(), 60);
    EXPECT_EQ(sample->IsSyncPoint(), S_OK);
    REFERENCE_TIME s = 0, e = 0;
    EXPECT_EQ(sample->GetTime(&s, &e), S_OK);
    EXPECT_EQ(e, 20);
    AM_MEDIA_TYPE* pmt = nullptr;
    ASSERT_EQ(sample->GetMediaType(&pmt), S_OK);
    EXPECT_EQ(pmt->majortype, MEDIATYPE_Video);
    DeleteMediaType(pmt);

    // Handing the sample its own type back (as GetProperties gave it out) keeps it.
    AM_SAMPLE2_PROPERTIES mine;
    sample2->GetProperties(sizeof(mine), reinterpret_cast<BYTE*>(&mine));
    ASSERT_EQ(sample2->SetProperties(sizeof(mine), reinterpret_cast<BYTE*>(&mine)), S_OK);
    ASSERT_EQ(sample->GetMediaType(&pmt), S_OK);
    EXPECT_EQ(pmt->majortype, MEDIATYPE_Video);
    DeleteMediaType(pmt);
}

TEST_F(SampleTest, SetPropertiesKeepsTheMediaTimeFlag) {
    LONGLONG ms = 1, me = 2;
    sample->SetMediaTime(&ms, &me);
    AM_SAMPLE2_PROPERTIES props{};
    props.cbData = sizeof(props);
    ASSERT_EQ(sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)), S_OK);
    LONGLONG s = 0, e = 0;
    EXPECT_EQ(sample->GetMediaTime(&s, &e), S_OK);
}

TEST(MediaSample, NegativeSizeIsStoredAsZero) {
    HRESULT hr = S_OK;
    BYTE buffer[8];
    CMediaSample s(u"s", nullptr, &hr, buffer, -5);
    EXPECT_EQ(hr, VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(s.GetSize(), 0);
    EXPECT_EQ(s.SetActualDataLength(1), VFW_E_BUFFER_OVERFLOW);
}

} // namespace
