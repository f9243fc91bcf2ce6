#include "demux/demuxfilter.h"
#include "demux/mediatypes.h"

#include "plat/ks.h"

// ---- input pin ------------------------------------------------------------------------------

CInputPin::CInputPin(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr)
    : CBaseInputPin(nullptr, pFilter, pLock, phr, u"input"), m_pDemux(pFilter) {}

CInputPin::~CInputPin() = default;

HRESULT CInputPin::Active() {
    CAutoLock lock(m_pDemux->PinStateLock());
    if (m_pDemux->IsActive()) return S_FALSE;
    if (!IsConnected()) return S_OK;
    return CBaseInputPin::Active();
}

HRESULT CInputPin::Inactive() {
    CAutoLock lock(m_pDemux->PinStateLock());
    if (!IsConnected()) return S_OK;
    return CBaseInputPin::Inactive();
}

HRESULT CInputPin::CheckMediaType(const CMediaType* pmt) { return CheckInputMediaType(pmt); }

HRESULT CInputPin::CompleteConnect(IPin* pReceivePin) {
    QueryDevice(pReceivePin);
    return CBaseInputPin::CompleteConnect(pReceivePin);
}

void CInputPin::QueryDevice(IPin* pConnector) {
    PIN_INFO info{};
    if (!pConnector || FAILED(pConnector->QueryPinInfo(&info)) || !info.pFilter) return;
    IKsPropertySet* pKs = nullptr;
    // A query that succeeds without giving the interface counts as no interface.
    if (SUCCEEDED(info.pFilter->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(&pKs))) && pKs) {
        DWORD dwSupport = 0;
        DWORD cbReturned = 0;
        // The device takes one buffer as both the instance data and the property data.
        if (pKs->QuerySupported(PROPSETID_HDC_ENCODER, HDC_ENCODER_PICTURE_SIZE, &dwSupport) == S_OK) {
            DWORD size[HDC_PICTURE_SIZE_BYTES / sizeof(DWORD)] = {};
            if (pKs->Get(PROPSETID_HDC_ENCODER, HDC_ENCODER_PICTURE_SIZE, size, sizeof(size), size, sizeof(size),
                         &cbReturned) == S_OK) {
                m_pDemux->SetVideoSize(static_cast<LONG>(size[0]), static_cast<LONG>(size[1]));
            }
        }
        if (pKs->QuerySupported(PROPSETID_HDC_ENCODER, HDC_ENCODER_AUDIO, &dwSupport) == S_OK) {
            DWORD audio[HDC_AUDIO_BYTES / sizeof(DWORD)] = {};
            if (pKs->Get(PROPSETID_HDC_ENCODER, HDC_ENCODER_AUDIO, audio, sizeof(audio), audio, sizeof(audio),
                         &cbReturned) == S_OK) {
                m_pDemux->SetAudioSampleRate(AudioRateFromCode(audio[HDC_AUDIO_RATE_OFFSET / sizeof(DWORD)]));
            }
        }
        pKs->Release();
    }
    info.pFilter->Release();
}

HRESULT CInputPin::Disconnect() { return CBaseInputPin::Disconnect(); }

// No state or flushing checks: every sample is parsed, as the device's stream never pauses.
HRESULT CInputPin::Receive(IMediaSample* pSample) { return m_pDemux->ProcessInput(pSample); }

HRESULT CInputPin::EndOfStream() { return m_pDemux->EndOfInput(); }

HRESULT CInputPin::BeginFlush() {
    HRESULT hr = CBaseInputPin::BeginFlush();
    // The flag is set first, so the woken start sees it and gives up.
    m_pDemux->WakeRecordWaiters();
    return hr;
}

// ---- allocator watch ------------------------------------------------------------------------

HRESULT CBufferReturned::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMemAllocatorNotifyCallbackTemp) {
        *ppv = static_cast<IMemAllocatorNotifyCallbackTemp*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CBufferReturned::NotifyRelease() {
    m_pWake->Set();
    return S_OK;
}

// ---- output pins: the worker ------------------------------------------------------------------

CDemuxOutputPin::CDemuxOutputPin(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName,
                                 DEMUX_STREAM nStream, const char* pszThreadName)
    : CAMThread(phr), CBaseOutputPin(u"Out", pFilter, pLock, phr, pName), m_pDemux(pFilter), m_nStream(nStream),
      m_pszThreadName(pszThreadName) {}

CDemuxOutputPin::~CDemuxOutputPin() {
    EndWorker();
    UnwatchAllocator();
}

void CDemuxOutputPin::EndWorker() {
    if (ThreadExists()) {
        CallWorker(CMD_STOP);
        CallWorker(CMD_EXIT);
    }
    Close();
}

HRESULT CDemuxOutputPin::Notify(IBaseFilter*, Quality) { return S_OK; }

HRESULT CDemuxOutputPin::Active() {
    CAutoLock lock(m_pDemux->PinStateLock());
    if (m_pDemux->IsActive()) return S_FALSE;
    if (!IsConnected()) return S_OK;
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;

    m_bEndOfStream = FALSE;
    m_bCommandComing = FALSE;
    m_evWake.Reset();
    WatchAllocator();
    if (!Create()) {
        UnwatchAllocator();
        m_pAllocator->Decommit();
        return E_FAIL;
    }
    hr = static_cast<HRESULT>(CallWorker(CMD_INIT));
    if (FAILED(hr)) {
        // The filter stays stopped, so no Inactive will come for this pin.
        CallWorker(CMD_EXIT);
        Close();
        UnwatchAllocator();
        m_pAllocator->Decommit();
    }
    return hr;
}

HRESULT CDemuxOutputPin::Inactive() {
    CAutoLock lock(m_pDemux->PinStateLock());
    if (!IsConnected()) return S_OK;
    // A worker waiting in GetDeliveryBuffer hears no command; decommitting ends that wait.
    if (m_pAllocator) m_pAllocator->Decommit();
    HRESULT hr = S_OK;
    if (ThreadExists()) {
        hr = static_cast<HRESULT>(CallWorker(CMD_STOP));
        HRESULT hrExit = static_cast<HRESULT>(CallWorker(CMD_EXIT));
        if (SUCCEEDED(hr)) hr = hrExit;
        // Closed even after a failed command: a worker that cannot answer has ended.
        Close();
    }
    UnwatchAllocator();
    HRESULT hrBase = CBaseOutputPin::Inactive();
    return FAILED(hr) ? hr : hrBase;
}

HRESULT CDemuxOutputPin::CompleteConnect(IPin* pReceivePin) {
    HRESULT hr = CBaseOutputPin::CompleteConnect(pReceivePin);
    if (SUCCEEDED(hr)) m_bWanted = TRUE;
    return hr;
}

HRESULT CDemuxOutputPin::BreakConnect() {
    m_bWanted = FALSE;
    UnwatchAllocator();
    return CBaseOutputPin::BreakConnect();
}

void CDemuxOutputPin::WatchAllocator() {
    UnwatchAllocator();
    IMemAllocatorCallbackTemp* pWatched = nullptr;
    if (!m_pAllocator ||
        FAILED(m_pAllocator->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&pWatched))) ||
        !pWatched) {
        return;
    }
    if (FAILED(pWatched->SetNotify(&m_BufferReturned))) {
        pWatched->Release();
        return;
    }
    m_pWatchedAllocator = pWatched;
    m_dwBufferFlags = AM_GBF_NOWAIT;
}

void CDemuxOutputPin::UnwatchAllocator() {
    m_dwBufferFlags = 0;
    if (!m_pWatchedAllocator) return;
    m_pWatchedAllocator->SetNotify(nullptr);
    m_pWatchedAllocator->Release();
    m_pWatchedAllocator = nullptr;
}

DWORD CDemuxOutputPin::CallWorker(DWORD dwCommand) {
    m_bCommandComing = TRUE;
    m_evWake.Set();
    return CAMThread::CallWorker(dwCommand);
}

void CDemuxOutputPin::EndOfInput() {
    m_bEndOfStream = TRUE;
    m_evWake.Set();
}

void CDemuxOutputPin::ReleaseHeldSample() {
    if (!m_pSample) return;
    m_pSample->Release();
    m_pSample = nullptr;
}

BOOL CDemuxOutputPin::HandleCommand(DWORD dwCommand) {
    switch (dwCommand) {
    case CMD_STOP:
        ReleaseHeldSample();
        Reply(S_OK);
        return FALSE;
    case CMD_EXIT:
        Reply(S_OK);
        return TRUE;
    default:
        // CMD_INIT is only the first command.
        Reply(static_cast<DWORD>(E_NOTIMPL));
        return FALSE;
    }
}

BOOL CDemuxOutputPin::IsWakeDue(SLEEP_FOR nFor) {
    if (m_bCommandComing) return TRUE;
    if (nFor == SLEEP_FOR_COMMAND) return FALSE;
    // IsDrained also changes without a Set: a fill that drops the last record, a reset.
    BOOL bDrained = IsDrained();
    if (m_bEndOfStream && bDrained) return TRUE;
    return nFor == SLEEP_FOR_RECORD && !bDrained;
}

void CDemuxOutputPin::Sleep(SLEEP_FOR nFor) {
    m_evWake.WaitUntil([this, nFor] { return IsWakeDue(nFor); });
}

DWORD CDemuxOutputPin::ThreadProc() {
    if (m_nStream == DEMUX_AUDIO) m_pDemux->DebugTrace("%s()->\n", m_pszThreadName);
    for (;;) {
        DWORD dwCommand = GetRequest();
        m_bCommandComing = FALSE;
        if (dwCommand == CMD_INIT) {
            Reply(S_OK);
            break;
        }
        Reply(static_cast<DWORD>(E_UNEXPECTED));
        // Refused, but obeyed: a pin torn down before it started must not wait for ever.
        if (dwCommand == CMD_EXIT) return 0;
    }

    BOOL bExit = FALSE;
    // Set once downstream samples keep failing: the run is reported as aborted and the worker
    // only answers commands from then on.
    BOOL bAborted = FALSE;
    HRESULT hrLastFailure = S_OK;
    while (!bExit) {
        if (m_bCommandComing) {
            DWORD dwCommand = GetRequest();
            m_bCommandComing = FALSE;
            bExit = HandleCommand(dwCommand);
            continue;
        }
        if (bAborted) {
            Sleep(SLEEP_FOR_COMMAND);
            continue;
        }
        // Checked before a buffer is asked for, so that downstream holding every buffer
        // cannot hold back the end of stream.
        if (m_bEndOfStream && IsDrained()) {
            m_bEndOfStream = FALSE;
            DeliverEndOfStream();
            continue;
        }
        if (!m_pSample) {
            HRESULT hr = GetDeliveryBuffer(&m_pSample, nullptr, nullptr, m_dwBufferFlags);
            if (FAILED(hr)) {
                m_pSample = nullptr;
                if (hr != VFW_E_TIMEOUT)
                    m_pDemux->DebugTrace("%s()-> GetDeliveryBuffer() failed!!!\n", m_pszThreadName);
                Sleep(SLEEP_FOR_BUFFER);
                continue;
            }
        }
        HRESULT hr = FillSample(m_pSample);
        if (hr == S_OK) {
            // Delivery failures are not looked at: the next record goes out regardless.
            Deliver(m_pSample);
            ReleaseHeldSample();
            hrLastFailure = S_OK;
        } else if (hr == S_FALSE) {
            // Nothing filled: keep the sample and sleep until a record, a command or the end.
            Sleep(SLEEP_FOR_RECORD);
        } else if (hr == VFW_E_BUFFER_OVERFLOW) {
            // The record that did not fit is gone; the sample is still good for the next.
        } else {
            // The sample's own calls failed. A fresh sample is tried once; failing again, the
            // downstream allocator is at fault and retrying would only spin.
            ReleaseHeldSample();
            if (FAILED(hrLastFailure)) {
                bAborted = TRUE;
                m_pDemux->NotifyEvent(EC_ERRORABORT, hr, 0);
            }
            hrLastFailure = hr;
        }
    }
    ReleaseHeldSample();
    return 0;
}

// ---- output pins: types and buffers -----------------------------------------------------------

namespace {

// The request with the pin's count and size; a smaller grant refuses the connection.
HRESULT SetBuffers(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest, LONG cBuffers, LONG cbBuffer) {
    if (!pAlloc || !pRequest) return E_POINTER;
    pRequest->cBuffers = cBuffers;
    pRequest->cbBuffer = cbBuffer;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = pAlloc->SetProperties(pRequest, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cbBuffer < cbBuffer || actual.cBuffers < cBuffers) return E_INVALIDARG;
    return S_OK;
}

constexpr LONG VIDEO_BUFFERS = 24;
constexpr LONG AUDIO_BUFFERS = 2;

} // namespace

COutputPinVideo::COutputPinVideo(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr)
    : CDemuxOutputPin(pFilter, pLock, phr, u"video", DEMUX_VIDEO, "COutputPinVideo::ThreadProc") {}

// The worker calls this class's fill, so it ends before this part of the object goes.
COutputPinVideo::~COutputPinVideo() { EndWorker(); }

HRESULT COutputPinVideo::CheckMediaType(const CMediaType* pmt) { return CheckVideoMediaType(pmt); }

HRESULT COutputPinVideo::GetMediaType(int iPosition, CMediaType* pmt) {
    LONG nWidth = 0;
    LONG nHeight = 0;
    m_pDemux->GetVideoSize(&nWidth, &nHeight);
    return GetVideoMediaType(iPosition, nWidth, nHeight, pmt);
}

HRESULT COutputPinVideo::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) {
    // A buffer holds a whole video record, so every record fits one sample.
    return SetBuffers(pAlloc, pRequest, VIDEO_BUFFERS, static_cast<LONG>(VIDEO_RECORD_SIZE));
}

HRESULT COutputPinVideo::FillSample(IMediaSample* pSample) { return m_pDemux->FillVideoSample(pSample); }

BOOL COutputPinVideo::IsDrained() { return m_pDemux->IsVideoDrained(); }

COutputPinAudio::COutputPinAudio(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr)
    : CDemuxOutputPin(pFilter, pLock, phr, u"audio", DEMUX_AUDIO, "COutputPinAudio::ThreadProc") {}

COutputPinAudio::~COutputPinAudio() { EndWorker(); }

HRESULT COutputPinAudio::CheckMediaType(const CMediaType* pmt) { return CheckAudioMediaType(pmt); }

HRESULT COutputPinAudio::GetMediaType(int iPosition, CMediaType* pmt) {
    DWORD nRate = 0;
    m_pDemux->GetAudioSampleRate(&nRate);
    return GetAudioMediaType(iPosition, nRate, pmt);
}

HRESULT COutputPinAudio::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) {
    return SetBuffers(pAlloc, pRequest, AUDIO_BUFFERS, static_cast<LONG>(AUDIO_RECORD_SIZE));
}

HRESULT COutputPinAudio::FillSample(IMediaSample* pSample) { return m_pDemux->FillAudioSample(pSample); }

BOOL COutputPinAudio::IsDrained() { return m_pDemux->IsAudioDrained(); }
