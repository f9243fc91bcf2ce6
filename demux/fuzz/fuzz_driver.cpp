#include "fuzz_driver.h"

#include "demux/delivery.h"
#include "demux/pstsparser.h"

#include <vector>

namespace {

void Check(bool bHolds) {
    if (!bHolds) __builtin_trap();
}

// A downstream sample of a fixed size that refuses any length past its buffer.
class CFuzzSample final : public IMediaSample {
public:
    explicit CFuzzSample(size_t cb) : m_Buffer(cb) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetPointer(BYTE** ppBuffer) override {
        *ppBuffer = m_Buffer.data();
        return S_OK;
    }
    LONG GetSize() override { return m_lSize; }
    HRESULT GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    HRESULT SetTime(REFERENCE_TIME*, REFERENCE_TIME* pEnd) override {
        Check(pEnd == nullptr);
        return S_OK;
    }
    HRESULT IsSyncPoint() override { return S_FALSE; }
    HRESULT SetSyncPoint(BOOL) override { return S_OK; }
    HRESULT IsPreroll() override { return S_FALSE; }
    HRESULT SetPreroll(BOOL) override { return S_OK; }
    LONG GetActualDataLength() override { return 0; }
    HRESULT SetActualDataLength(LONG l) override {
        Check(l >= 0 && l <= m_lSize);
        return S_OK;
    }
    HRESULT GetMediaType(AM_MEDIA_TYPE**) override { return S_FALSE; }
    HRESULT SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT IsDiscontinuity() override { return S_FALSE; }
    HRESULT SetDiscontinuity(BOOL) override { return S_OK; }
    HRESULT GetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT SetMediaTime(LONGLONG* pStart, LONGLONG* pEnd) override {
        Check(pStart && pEnd && *pEnd >= *pStart);
        return S_OK;
    }

    // Only the first lSize bytes are offered, so a sample can be made smaller than a frame.
    void Offer(LONG lSize) { m_lSize = lSize; }

private:
    std::vector<BYTE> m_Buffer;
    LONG m_lSize = 0;
};

// The pools are large, so one set serves every input; each input ends with a full reset.
class CFuzzFilter final : public IPsTsParserSite {
public:
    CFuzzFilter() {
        HRESULT hr = S_OK;
        m_pRecords = new CDemuxRecords(&hr);
        Check(hr == S_OK);
        m_pParser = new CPsTsParser(m_pRecords, this);
        m_pVideo = new CVideoDelivery(m_pRecords);
        m_pAudio = new CAudioDelivery(m_pRecords);
    }
    CFuzzFilter(const CFuzzFilter&) = delete;
    CFuzzFilter& operator=(const CFuzzFilter&) = delete;
    ~CFuzzFilter() = default;

    BOOL MayWait() override { return FALSE; }
    void OnParserReset() override {
        m_pVideo->Reset();
        m_pAudio->Reset();
    }

    void Drain(LONG lAudioSize) {
        HRESULT hr;
        m_VideoSample.Offer(VIDEO_RECORD_SIZE);
        while ((hr = m_pVideo->FillVideoSample(&m_VideoSample)) != S_FALSE)
            Check(hr == S_OK);
        m_AudioSample.Offer(lAudioSize);
        while ((hr = m_pAudio->FillAudioSample(&m_AudioSample)) != S_FALSE) {
            Check(hr == S_OK || hr == VFW_E_BUFFER_OVERFLOW);
        }
    }

    void ResetAll() {
        m_pParser->ResetParser();
        OnParserReset();
        m_pRecords->RecycleFilled();
        for (DEMUX_STREAM nStream : {DEMUX_VIDEO, DEMUX_AUDIO}) {
            Check(m_pRecords->Free(nStream)->GetCount() == static_cast<LONG>(DEMUX_RECORDS_PER_STREAM));
        }
    }

    CDemuxRecords* m_pRecords;
    CPsTsParser* m_pParser;
    CVideoDelivery* m_pVideo;
    CAudioDelivery* m_pAudio;
    CFuzzSample m_VideoSample{VIDEO_RECORD_SIZE};
    CFuzzSample m_AudioSample{AUDIO_RECORD_SIZE};
};

uint32_t NextRandom(uint32_t* pState) {
    uint32_t x = *pState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return *pState = x;
}

} // namespace

int DemuxFuzzOne(const uint8_t* pbData, size_t cbData) {
    if (cbData < 2) return 0;
    static CFuzzFilter* s_pFilter = new CFuzzFilter();
    CFuzzFilter& filter = *s_pFilter;

    uint32_t nSeed = pbData[0] | (static_cast<uint32_t>(pbData[1]) << 8);
    uint32_t nState = nSeed * 2654435761u | 1;
    static const DWORD kRates[] = {48000, 44100, 22050, 96000};
    Check(filter.m_pAudio->SetAudioSampleRate(kRates[(nSeed >> 2) & 3]) == S_OK);
    static const uint32_t kMaxChunk[] = {16, 400, 6000, 0};
    uint32_t nMaxChunk = kMaxChunk[nSeed & 3];
    pbData += 2;
    cbData -= 2;

    while (cbData > 0) {
        uint32_t r = NextRandom(&nState);
        size_t cbChunk = nMaxChunk ? 1 + r % nMaxChunk : cbData;
        if (cbChunk > cbData) cbChunk = cbData;
        BOOL bPreroll = (r >> 20) % 17 == 0;
        HRESULT hr = filter.m_pParser->ProcessInput(pbData, static_cast<LONG>(cbChunk), bPreroll);
        Check(hr == S_OK || hr == S_FALSE);
        pbData += cbChunk;
        cbData -= cbChunk;
        filter.Drain((r >> 8) % 3 == 0 ? static_cast<LONG>(256 + r % 4096)
                                       : static_cast<LONG>(AUDIO_RECORD_SIZE));
        if ((r >> 12) % 251 == 0) Check(filter.m_pParser->EndOfStream() == S_OK);
    }
    Check(filter.m_pParser->EndOfStream() == S_OK);
    filter.Drain(AUDIO_RECORD_SIZE);
    filter.ResetAll();
    return 0;
}
