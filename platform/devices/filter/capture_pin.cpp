#include "platform/devices/filter/capture_pin.h"

#include "platform/devices/filter/device_filter.h"
#include "platform/devices/filter/stream_settings.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

namespace host {
namespace {

// Enough samples in flight for a key frame split into pieces while the downstream writes.
constexpr LONG kSampleBuffers = 16;

} // namespace

CCapturePin::CCapturePin(CDeviceFilter* pFilter, CCritSec* pLock, HRESULT* phr)
    : CBaseOutputPin(u"Capture pin", pFilter, pLock, phr, kDeviceCapturePinName), m_pDevice(pFilter),
      m_clock(*pFilter) {}

CCapturePin::~CCapturePin() {
    StopStreaming();
}

HRESULT CCapturePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CCapturePin::CheckMediaType(const CMediaType* pmt) {
    if (!pmt) return E_POINTER;
    return (*pmt->Type() == MEDIATYPE_Stream && *pmt->Subtype() == MEDIASUBTYPE_MPEG2_TRANSPORT) ? S_OK
                                                                                                 : S_FALSE;
}

HRESULT CCapturePin::GetMediaType(int iPosition, CMediaType* pmt) {
    if (!pmt) return E_POINTER;
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0) return S_FALSE;
    pmt->InitMediaType();
    pmt->SetType(&MEDIATYPE_Stream);
    pmt->SetSubtype(&MEDIASUBTYPE_MPEG2_TRANSPORT);
    pmt->SetFormatType(&FORMAT_None);
    pmt->SetVariableSize();
    pmt->SetTemporalCompression(TRUE);
    return S_OK;
}

HRESULT CCapturePin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) {
    if (!pAlloc || !pRequest) return E_POINTER;
    pRequest->cBuffers = std::max(pRequest->cBuffers, kSampleBuffers);
    pRequest->cbBuffer = std::max<LONG>(pRequest->cbBuffer, kDeviceSampleBytes);
    if (pRequest->cbAlign < 1) pRequest->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = pAlloc->SetProperties(pRequest, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < kDeviceSampleBytes || actual.cBuffers < 1 ? E_INVALIDARG : S_OK;
}

HRESULT CCapturePin::Active() {
    StopStreaming(); // a run that ended without Inactive (a failed Pause) leaves nothing behind
    m_claim.Release();
    // One client streams a device; a second one is told it is busy before anything starts.
    StreamClaim claim;
    HRESULT hr = m_pDevice->Model()->ClaimStream(&claim);
    if (FAILED(hr)) return hr;
    hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    m_stop.Reset();
    m_clock.Restart();
    {
        std::lock_guard hold(m_statsLock);
        m_stats = DeviceStreamStats{m_stats.runs + 1};
    }
    // Settings apply from the start of a run; the stream is encoded on the streaming thread,
    // so that leaving stopped never waits for the encoder.
    try {
        m_thread = std::thread(&CCapturePin::Stream, this, StreamSettingsOf(*m_pDevice->Model()));
    } catch (const std::system_error&) {
        CBaseOutputPin::Inactive();
        return E_FAIL;
    }
    m_claim = std::move(claim);
    return S_OK;
}

HRESULT CCapturePin::Inactive() {
    StopStreaming();
    m_claim.Release();
    return CBaseOutputPin::Inactive();
}

HRESULT CCapturePin::Run(REFERENCE_TIME tStart) {
    m_clock.Resume();
    return CBaseOutputPin::Run(tStart);
}

void CCapturePin::StopStreaming() {
    m_stop.Raise();
    // Wakes a streaming thread that waits for a free sample.
    if (m_pAllocator) m_pAllocator->Decommit();
    if (m_thread.joinable()) m_thread.join();
}

void CCapturePin::Stream(encoder::EncoderSettings settings) {
    auto created =
        encoder::TransportStreamer::Create(settings, &m_stop, {static_cast<size_t>(kDeviceSampleBytes)});
    if (!created.ok()) {
        if (!m_stop.IsRaised()) Fail(created.status().code);
        return;
    }
    encoder::TransportStreamer& streamer = *created.value();
    {
        std::lock_guard hold(m_statsLock);
        m_stats.streamReady = true;
    }
    for (bool bFirst = true;; bFirst = false) {
        const encoder::StreamChunk chunk = streamer.Next();
        HRESULT hr = WaitUntilDue(chunk.startTime);
        if (hr == S_FALSE) return;
        if (hr == kDeviceNotConnected) {
            EndLostStream();
            return;
        }
        if (FAILED(hr)) {
            Fail(hr);
            return;
        }
        if (DeliverChunk(chunk, bFirst) != S_OK) return;
    }
}

HRESULT CCapturePin::WaitUntilDue(REFERENCE_TIME due) {
    using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;
    const DeviceModel& device = *m_pDevice->Model();
    for (;;) {
        // The unplug is seen within one slice of sleep, however far off the piece is.
        if (device.IsLost()) return kDeviceNotConnected;
        REFERENCE_TIME now = 0;
        HRESULT hr = m_clock.GetStreamTime(&now);
        if (FAILED(hr)) return hr;
        // A paused device holds its stream: the piece waits for the run.
        const bool running = m_pDevice->State() == State_Running;
        if (running && now >= due) return S_OK;
        const std::chrono::nanoseconds sleep =
            running ? std::min<std::chrono::nanoseconds>(Units(due - now), encoder::kPacingSlice)
                    : std::chrono::nanoseconds(encoder::kPacingSlice);
        if (m_stop.WaitFor(sleep)) return S_FALSE;
    }
}

void CCapturePin::EndLostStream() {
    {
        std::lock_guard hold(m_statsLock);
        m_stats.deviceLost = true;
        m_stats.streamingError = kDeviceNotConnected;
    }
    DeliverEndOfStream();
    // The graph holds the filter for as long as the event can be read; no reference is added.
    m_pDevice->NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(m_pDevice)), 0);
    m_pDevice->NotifyEvent(EC_ERRORABORT, kDeviceNotConnected, 0);
}

HRESULT CCapturePin::DeliverChunk(const encoder::StreamChunk& chunk, bool bFirst) {
    IMediaSample* pSample = nullptr;
    HRESULT hr = GetDeliveryBuffer(&pSample, nullptr, nullptr, 0);
    if (FAILED(hr)) {
        // A decommitted allocator means the graph is stopping the stream (downstream first).
        if (hr != VFW_E_NOT_COMMITTED && !m_stop.IsRaised()) Fail(hr);
        return hr;
    }
    BYTE* pData = nullptr;
    if (FAILED(pSample->GetPointer(&pData)) || !pData || pSample->GetSize() < static_cast<LONG>(chunk.size)) {
        pSample->Release();
        Fail(VFW_E_BUFFER_OVERFLOW);
        return VFW_E_BUFFER_OVERFLOW;
    }
    std::memcpy(pData, chunk.data, chunk.size);
    pSample->SetActualDataLength(static_cast<LONG>(chunk.size));
    REFERENCE_TIME start = chunk.startTime;
    REFERENCE_TIME stop = chunk.stopTime;
    pSample->SetTime(&start, &stop);
    pSample->SetSyncPoint(chunk.keyFrame);
    pSample->SetDiscontinuity(bFirst);

    // A downstream that refuses a sample reports its own failure; the device stops pushing.
    hr = Deliver(pSample);
    pSample->Release();
    std::lock_guard hold(m_statsLock);
    m_stats.lastDeliverResult = hr;
    if (hr == S_OK) {
        ++m_stats.samplesDelivered;
        m_stats.bytesDelivered += chunk.size;
    }
    return hr;
}

void CCapturePin::Fail(HRESULT hr) {
    {
        std::lock_guard hold(m_statsLock);
        m_stats.streamingError = hr;
    }
    m_pDevice->NotifyEvent(EC_ERRORABORT, hr, 0);
}

DeviceStreamStats CCapturePin::Stats() const {
    std::lock_guard hold(m_statsLock);
    return m_stats;
}

// ---- IKsPropertySet ------------------------------------------------------------------------

HRESULT CCapturePin::Set(REFGUID guidPropSet, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return guidPropSet == AMPROPSETID_Pin ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

HRESULT CCapturePin::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData,
                         DWORD cbPropData, DWORD* pcbReturned) {
    if (pcbReturned) *pcbReturned = 0;
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!pPropData) return E_POINTER;
    if (cbPropData < sizeof(GUID)) {
        if (pcbReturned) *pcbReturned = sizeof(GUID);
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(pPropData, &PIN_CATEGORY_CAPTURE, sizeof(GUID));
    if (pcbReturned) *pcbReturned = sizeof(GUID);
    return S_OK;
}

HRESULT CCapturePin::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
    if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (pTypeSupport) *pTypeSupport = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

} // namespace host
