// The device filter's output pin. While the filter is active its streaming thread takes the
// run's stream from the generator, waits for each piece's time on the graph's clock and
// delivers it downstream in samples of whole transport packets. The pin holds the device's
// streaming claim from leaving stopped until stopping, and ends the stream when the device is
// unplugged.
#pragma once

#include "framework/streams.h"
#include "host/device_filter.h"
#include "platform/devices/encoder/stream_pacer.h"
#include "platform/devices/encoder/transport_streamer.h"
#include "platform/devices/filter/device_stream_clock.h"

#include <mutex>
#include <thread>

namespace host {

class CDeviceFilter;

class CCapturePin final : public CBaseOutputPin, public IKsPropertySet {
public:
    CCapturePin(CDeviceFilter* pFilter, CCritSec* pLock, HRESULT* phr);
    ~CCapturePin() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME tStart) override;

    // IKsPropertySet: the pin's category, as a capture graph builder asks for it.
    HRESULT Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                LPVOID pPropData, DWORD cbPropData) override;
    HRESULT Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
    HRESULT QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

    DeviceStreamStats Stats() const;

private:
    // The streaming thread.
    void Stream(encoder::EncoderSettings settings);
    // S_OK when the piece is due and the filter runs, S_FALSE when stopped first,
    // kDeviceNotConnected when the device is unplugged first.
    HRESULT WaitUntilDue(REFERENCE_TIME due);
    // The device went away: what was delivered stays delivered, the stream ends, the graph hears.
    void EndLostStream();
    // S_OK to go on; anything else ends this run's streaming.
    HRESULT DeliverChunk(const encoder::StreamChunk& chunk, bool bFirst);
    void Fail(HRESULT hr);
    void StopStreaming();

    CDeviceFilter* const m_pDevice;
    DeviceStreamClock m_clock;
    encoder::StopSignal m_stop;
    std::thread m_thread;
    StreamClaim m_claim; // control thread only

    mutable std::mutex m_statsLock;
    DeviceStreamStats m_stats;
};

} // namespace host
