// The demultiplexer as a graph sees it: the plug-in registered in the test's host root and made
// by class id, upstream and downstream filters for it, and stream files to feed it.
#pragma once

#include "demux_test_util.h"
#include "framework/streams.h"
#include "host/device_ks.h"
#include "host/device_model.h"
#include "testing/sample_sink.h"
#include "toolfilters/file_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace demuxtest {

// Calls the module's own DllRegisterServer (or DllUnregisterServer).
HRESULT RegisterDemuxModule(bool bRegister = true);

// A source that stands in for the capture device on the control path: one output pin offering
// a transport stream, and IKsPropertySet over a device model. It delivers nothing.
class CDeviceStandIn : public CBaseFilter {
public:
    static CDeviceStandIn* Create(std::shared_ptr<host::DeviceModel> model);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? m_pPin : nullptr; }

    bool bClaimPropertySetOnly = false; // a query for IKsPropertySet succeeds without giving it

private:
    explicit CDeviceStandIn(std::shared_ptr<host::DeviceModel> model);
    ~CDeviceStandIn() override;
    CCritSec m_csFilter;
    CBasePin* m_pPin = nullptr;
    std::unique_ptr<host::DeviceKsInterfaces> m_pKs;
};

// A downstream allocator that offers IMemAllocator alone, without the release callback, over
// the standard one: a worker that finds no free buffer then waits inside GetBuffer. Made with
// bOwnSample, it hands out its one sample of a video record's size every time instead, whose
// GetPointer answers hrPointer.
class CPlainAllocator final : public IMemAllocator {
public:
    static CPlainAllocator* Create(bool bOwnSample = false, HRESULT hrPointer = S_OK);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++m_cRef; }
    ULONG Release() override;
    HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStart, REFERENCE_TIME* pEnd,
                      DWORD dwFlags) override;
    HRESULT ReleaseBuffer(IMediaSample* pBuffer) override;

    LONG GetBufferCalls() const { return m_cGetBuffer; }
    FakeSample& OwnSample() { return m_Own; }
    // Waits until a GetBuffer call has found no free buffer (and so waits inside).
    bool WaitForBlockedGet(DWORD dwTimeoutMs);

    bool bClaimCallbackOnly = false; // a query for the release callback succeeds without giving it

private:
    CPlainAllocator(bool bOwnSample, HRESULT hrPointer);
    ~CPlainAllocator();
    std::atomic<ULONG> m_cRef{1};
    std::atomic<LONG> m_cGetBuffer{0};
    IMemAllocator* m_pInner = nullptr;
    const bool m_bOwnSample;
    FakeSample m_Own{VIDEO_RECORD_SIZE};
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bBlocked = false;
};

// A renderer that keeps every sample it receives until told to let them go, as a downstream
// filter does that holds buffers while it waits for something. Given an allocator, its pin
// proposes that one.
class CHoardingSink : public CBaseFilter {
public:
    static CHoardingSink* Create(IMemAllocator* pAllocator = nullptr);
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? m_pPin : nullptr; }
    size_t Held();
    bool WaitForHeld(size_t n, DWORD dwTimeoutMs);
    void LetGo();

private:
    friend class CHoardingPin;
    explicit CHoardingSink(IMemAllocator* pAllocator);
    ~CHoardingSink() override;
    void Keep(IMediaSample* pSample);
    CCritSec m_csFilter;
    IMemAllocator* const m_pAllocator;
    CBasePin* m_pPin = nullptr;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<IMediaSample*> m_held;
};

// A graph holding the demultiplexer made by class id, with its pins at hand.
class DemuxGraphTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a filter the test made (and keeps its reference until tear-down).
    void Add(IBaseFilter* pFilter, const char16_t* pszName);
    void Connect(IPin* pOut, IPin* pIn);
    // A file source over these bytes, added to the graph and connected to the input.
    host::CFileSource* AddSource(const Bytes& stream, LONG cbChunk = 65536);
    // Sample sinks added and connected to both outputs (or only the video output).
    void AddSinks(const host::SampleSinkOptions& options = {}, bool bAudio = true);
    // Waits for the graph event with this code (others are passed over); its first
    // parameter, or S_FALSE after the timeout.
    HRESULT WaitForEvent(LONG lCode, DWORD dwTimeoutMs = 10000);
    // Runs the graph and waits for its completion; the event code.
    LONG RunToCompletion(DWORD dwTimeoutMs = 20000);
    // The connected pin's media type.
    CMediaType ConnectionType(IPin* pPin);

    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEventEx* events = nullptr;
    IBaseFilter* demux = nullptr;
    IPin* input = nullptr;
    IPin* video = nullptr;
    IPin* audio = nullptr;
    host::CSampleSink* videoSink = nullptr;
    host::CSampleSink* audioSink = nullptr;
    std::vector<IBaseFilter*> m_added;
    std::vector<std::string> m_files;
};

// A transport stream of the given units (video on PID 0x44, audio on 0x45, each PES whole
// before the next) and the same in a program stream.
Bytes TransportStreamOf(const std::vector<Unit>& video, const std::vector<Unit>& audio);
Bytes ProgramStreamOf(const std::vector<Unit>& video, const std::vector<Unit>& audio);
// What a sink received, in the form ExpectVideo / ExpectAudio take (no media times).
std::vector<Delivered> ReceivedBy(host::CSampleSink* sink);
// Hands these bytes to the demultiplexer's input as the upstream filter would; what Receive
// answers.
HRESULT ReceiveOnInput(IPin* pInput, const Bytes& data);

// Polls until pred holds; false when ten seconds pass first.
template <class Pred> bool WaitUntil(Pred pred) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Stops the graph or one filter from another thread: the stop must return within ten seconds,
// and succeed.
template <class Control> void ExpectStopsInTime(Control* pControl) {
    auto stopped = std::async(std::launch::async, [pControl] { return pControl->Stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "stop hangs";
    EXPECT_EQ(stopped.get(), S_OK);
}

} // namespace demuxtest
