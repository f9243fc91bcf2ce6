#include "demux/demuxfilter.h"

#include <new>

DWORD AudioRateFromCode(DWORD nCode) {
    switch (nCode) {
    case 0: return 44100;
    case 2: return 32000;
    case 4: return 22050;
    case 5: return 24000;
    case 6: return 16000;
    case 8: return 8000;
    case 9: return 88200;
    case 10: return 96000;
    case 11: return 64000;
    case 12: return 176400;
    case 13: return 192000;
    case 14: return 128000;
    default: return 48000;
    }
}

CUnknown* CPsTsDemuxFilter::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    auto* pFilter = new (std::nothrow) CPsTsDemuxFilter(pUnk, phr);
    if (!pFilter) {
        *phr = E_OUTOFMEMORY;
        return nullptr;
    }
    return pFilter;
}

CPsTsDemuxFilter::CPsTsDemuxFilter(LPUNKNOWN pUnk, HRESULT* phr)
    : CBaseFilter(nullptr, pUnk, &m_csFilter, CLSID_DemuxFilter, phr) {
    auto* pVideo = new (std::nothrow) COutputPinVideo(this, &m_csFilter, phr);
    m_pPins[0] = pVideo;
    auto* pAudio = pVideo ? new (std::nothrow) COutputPinAudio(this, &m_csFilter, phr) : nullptr;
    m_pPins[1] = pAudio;
    m_pPins[2] = pAudio ? new (std::nothrow) CInputPin(this, &m_csFilter, phr) : nullptr;
    if (!m_pPins[2]) {
        *phr = E_OUTOFMEMORY;
        return;
    }

    m_pRecords = new (std::nothrow) CDemuxRecords(phr);
    if (!m_pRecords) {
        *phr = E_OUTOFMEMORY;
        return;
    }
    if (FAILED(*phr)) return;
    m_pParser = new (std::nothrow) CPsTsParser(m_pRecords, this);
    m_pVideo = new (std::nothrow) CVideoDelivery(m_pRecords);
    m_pAudio = new (std::nothrow) CAudioDelivery(m_pRecords);
    if (!m_pParser || !m_pVideo || !m_pAudio) {
        *phr = E_OUTOFMEMORY;
        return;
    }
    // The workers sleep on their own events; a filled record wakes them.
    m_pRecords->Filled(DEMUX_VIDEO)->SetSignal(pVideo->WakeEvent());
    m_pRecords->Filled(DEMUX_AUDIO)->SetSignal(pAudio->WakeEvent());

    m_pAudio->SetAudioSampleRate(DEMUX_DEFAULT_AUDIO_RATE);
    ResetParser();
}

CPsTsDemuxFilter::~CPsTsDemuxFilter() {
    // Pins first: a pin that still had a worker ends it before the records go.
    for (CBasePin*& pPin : m_pPins) {
        delete pPin;
        pPin = nullptr;
    }
    delete m_pParser;
    delete m_pVideo;
    delete m_pAudio;
    delete m_pRecords;
}

int CPsTsDemuxFilter::GetPinCount() { return 3; }

CBasePin* CPsTsDemuxFilter::GetPin(int n) {
    return static_cast<unsigned>(n) < 3 ? m_pPins[n] : nullptr;
}

// Registration runs through the factory template, not through the filter.
const AMOVIESETUP_FILTER* CPsTsDemuxFilter::GetSetupData() { return nullptr; }

CDemuxOutputPin* CPsTsDemuxFilter::OutputPin(DEMUX_STREAM nStream) const {
    return static_cast<CDemuxOutputPin*>(m_pPins[nStream == DEMUX_VIDEO ? 0 : 1]);
}

HRESULT CPsTsDemuxFilter::Run(REFERENCE_TIME tStart) {
    // A parser waiting for a free record holds the receive lock; let it fail at once
    // rather than wait for a delivery that this reset is about to discard.
    ++m_nHoldOff;
    m_pRecords->WakeWaiters();
    {
        CAutoLock lock(&m_csReceive);
        ResetParser();
        m_pRecords->RecycleFilled();
        OutputPin(DEMUX_VIDEO)->CancelEndOfStream();
        OutputPin(DEMUX_AUDIO)->CancelEndOfStream();
    }
    --m_nHoldOff;
    return CBaseFilter::Run(tStart);
}

HRESULT CPsTsDemuxFilter::Stop() {
    // The workers are about to go: a parser waiting for a record they would have returned
    // must give up, or the upstream filter could never stop its streaming thread.
    ++m_nHoldOff;
    m_pRecords->WakeWaiters();
    HRESULT hr = CBaseFilter::Stop();
    --m_nHoldOff;
    return hr;
}

HRESULT CPsTsDemuxFilter::ProcessInput(IMediaSample* pSample) {
    CAutoLock lock(&m_csReceive);
    return m_pParser->ProcessSample(pSample);
}

HRESULT CPsTsDemuxFilter::EndOfInput() {
    {
        CAutoLock lock(&m_csReceive);
        m_pParser->EndOfStream();
    }
    OutputPin(DEMUX_VIDEO)->EndOfInput();
    OutputPin(DEMUX_AUDIO)->EndOfInput();
    return S_OK;
}

void CPsTsDemuxFilter::ResetParser() {
    m_pParser->ResetParser();
    OnParserReset();
}

void CPsTsDemuxFilter::OnParserReset() {
    m_pVideo->Reset();
    m_pAudio->Reset();
    SetVideoSize(DEMUX_DEFAULT_WIDTH, DEMUX_DEFAULT_HEIGHT);
}

BOOL CPsTsDemuxFilter::MayWait() {
    return m_nHoldOff == 0 && State() != State_Stopped && !static_cast<CInputPin*>(m_pPins[2])->IsFlushing();
}

void CPsTsDemuxFilter::WakeRecordWaiters() { m_pRecords->WakeWaiters(); }

BOOL CPsTsDemuxFilter::IsStreamWanted(DEMUX_STREAM nStream) {
    return OutputPin(nStream)->IsStreamWanted();
}

HRESULT CPsTsDemuxFilter::FillVideoSample(IMediaSample* pSample) { return m_pVideo->FillVideoSample(pSample); }

HRESULT CPsTsDemuxFilter::FillAudioSample(IMediaSample* pSample) { return m_pAudio->FillAudioSample(pSample); }

BOOL CPsTsDemuxFilter::IsVideoDrained() { return m_pVideo->IsDrained(); }

BOOL CPsTsDemuxFilter::IsAudioDrained() { return m_pAudio->IsDrained(); }

HRESULT CPsTsDemuxFilter::SetVideoSize(LONG nWidth, LONG nHeight) {
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    return S_OK;
}

HRESULT CPsTsDemuxFilter::GetVideoSize(LONG* pnWidth, LONG* pnHeight) {
    if (!pnWidth || !pnHeight) return E_POINTER;
    *pnWidth = m_nWidth;
    *pnHeight = m_nHeight;
    return S_OK;
}

HRESULT CPsTsDemuxFilter::SetAudioSampleRate(DWORD nRate) { return m_pAudio->SetAudioSampleRate(nRate); }

HRESULT CPsTsDemuxFilter::GetAudioSampleRate(DWORD* pnRate) {
    if (!pnRate) return E_POINTER;
    *pnRate = m_pAudio->GetAudioSampleRate();
    return S_OK;
}

void CPsTsDemuxFilter::DebugTrace(const char*, const char*) {}
