// The demultiplexer filter: one input pin that takes an MPEG-2 program or transport stream and
// two output pins, "video" (H.264, one parser record per sample) and "audio" (raw AAC, one
// frame per sample). The input pin runs the parser on the upstream streaming thread; each
// output pin has a worker thread that turns filled records into downstream samples.
#pragma once

#include "demux/delivery.h"
#include "demux/demuxevent.h"
#include "demux/pstsparser.h"
#include "framework/streams.h"

#include <atomic>

// {5B13AFDE-230A-44B5-937C-9C858D338F27}
YRA_DEFINE_GUID(CLSID_DemuxFilter, 0x5B13AFDE, 0x230A, 0x44B5, 0x93, 0x7C, 0x9C, 0x85, 0x8D, 0x33, 0x8F, 0x27);

#define DEMUX_FILTER_NAME u"Trelvan PS TS Demux"

// Commands an output pin sends its worker thread.
enum DEMUX_WORKER_COMMAND : DWORD { CMD_INIT = 0, CMD_STOP = 3, CMD_EXIT = 4 };

// Encoder properties of the upstream device that the input pin reads at connection.
constexpr DWORD HDC_ENCODER_PICTURE_SIZE = 8;
constexpr DWORD HDC_ENCODER_AUDIO = 11;
constexpr DWORD HDC_PICTURE_SIZE_BYTES = 16;
constexpr DWORD HDC_AUDIO_BYTES = 68;
constexpr DWORD HDC_AUDIO_RATE_OFFSET = 8;

constexpr LONG DEMUX_DEFAULT_WIDTH = 1280;
constexpr LONG DEMUX_DEFAULT_HEIGHT = 720;
constexpr DWORD DEMUX_DEFAULT_AUDIO_RATE = 48000;

// The device's sampling-rate code as a rate in hertz; unknown codes are 48 kHz.
DWORD AudioRateFromCode(DWORD nCode);

class CPsTsDemuxFilter;

class CInputPin final : public CBaseInputPin {
public:
    CInputPin(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr);
    ~CInputPin() override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT Disconnect() override;
    HRESULT Receive(IMediaSample* pSample) override;
    HRESULT EndOfStream() override;
    // Also ends a record start's wait for a free record: the upstream's Receive returns.
    HRESULT BeginFlush() override;

private:
    // Reads the picture size and the audio rate from the upstream filter's encoder property
    // set, when it has one; any failure leaves the current values.
    void QueryDevice(IPin* pConnector);

    CPsTsDemuxFilter* const m_pDemux;
};

// Tells the worker that the allocator has a buffer again, so that it never has to wait inside
// GetDeliveryBuffer (where it could not hear a command). Owned by its pin; not counted.
class CBufferReturned final : public IMemAllocatorNotifyCallbackTemp {
public:
    explicit CBufferReturned(CDemuxEvent* pWake) : m_pWake(pWake) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT NotifyRelease() override;

private:
    CDemuxEvent* const m_pWake;
};

// What the two output pins share: the worker thread and its commands, the allocator watch and
// the end of stream that follows the last record.
class CDemuxOutputPin : public CAMThread, public CBaseOutputPin {
public:
    CDemuxOutputPin(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName, DEMUX_STREAM nStream,
                    const char* pszThreadName);
    ~CDemuxOutputPin() override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT BreakConnect() override;
    // Quality messages are accepted and ignored.
    HRESULT Notify(IBaseFilter* pSelf, Quality q) override;

    DWORD ThreadProc() override;
    // Sends a command the way the worker hears it: the command flag is set and the worker
    // woken first, so a worker asleep on its event goes to GetRequest for the command.
    DWORD CallWorker(DWORD dwCommand);

    // The input has ended: once every filled record has gone out, send end of stream.
    void EndOfInput();
    void CancelEndOfStream() { m_bEndOfStream = FALSE; }
    // Whether the pin is connected, readable on the streaming thread while the control thread
    // connects or disconnects it.
    BOOL IsStreamWanted() const { return m_bWanted; }
    CDemuxEvent* WakeEvent() { return &m_evWake; }

protected:
    virtual HRESULT FillSample(IMediaSample* pSample) = 0;
    virtual BOOL IsDrained() = 0;
    // Stops and joins a worker that is still there (only a pin destroyed while active).
    void EndWorker();

    CPsTsDemuxFilter* const m_pDemux;

private:
    // Answers one command; TRUE when the worker must leave.
    BOOL HandleCommand(DWORD dwCommand);
    void WatchAllocator();
    void UnwatchAllocator();
    void ReleaseHeldSample();

    // What besides its event may end the worker's sleep: always a command coming and an end
    // of stream that is due; records waiting too when the worker holds a sample for them.
    enum SLEEP_FOR { SLEEP_FOR_COMMAND, SLEEP_FOR_BUFFER, SLEEP_FOR_RECORD };
    BOOL IsWakeDue(SLEEP_FOR nFor);
    void Sleep(SLEEP_FOR nFor);

    const DEMUX_STREAM m_nStream;
    const char* const m_pszThreadName;
    // Set for: a record filled, a command coming, a downstream buffer returned, end of input.
    CDemuxEvent m_evWake;
    CBufferReturned m_BufferReturned{&m_evWake};
    std::atomic<BOOL> m_bCommandComing{FALSE};
    std::atomic<BOOL> m_bEndOfStream{FALSE};
    std::atomic<BOOL> m_bWanted{FALSE};
    // The downstream sample the worker holds between attempts (worker thread only).
    IMediaSample* m_pSample = nullptr;
    IMemAllocatorCallbackTemp* m_pWatchedAllocator = nullptr;
    // AM_GBF_NOWAIT while the allocator reports returned buffers, else 0.
    std::atomic<DWORD> m_dwBufferFlags{0};
};

class COutputPinVideo final : public CDemuxOutputPin {
public:
    COutputPinVideo(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr);
    ~COutputPinVideo() override;

    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override;

protected:
    HRESULT FillSample(IMediaSample* pSample) override;
    BOOL IsDrained() override;
};

class COutputPinAudio final : public CDemuxOutputPin {
public:
    COutputPinAudio(CPsTsDemuxFilter* pFilter, CCritSec* pLock, HRESULT* phr);
    ~COutputPinAudio() override;

    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override;

protected:
    HRESULT FillSample(IMediaSample* pSample) override;
    BOOL IsDrained() override;
};

class CPsTsDemuxFilter final : public CBaseFilter, public IPsTsParserSite {
public:
    // The factory template's creation hook.
    static CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);
    ~CPsTsDemuxFilter() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    const AMOVIESETUP_FILTER* GetSetupData() override;

    // Every run starts from an empty input buffer with nothing waiting for delivery.
    HRESULT Run(REFERENCE_TIME tStart) override;
    // Ends any wait of the parser for a free record before the pins stop.
    HRESULT Stop() override;

    // The input pin's work, on the upstream streaming thread.
    HRESULT ProcessInput(IMediaSample* pSample);
    HRESULT EndOfInput();
    void ResetParser();
    // The output pins' work, on their worker threads.
    HRESULT FillVideoSample(IMediaSample* pSample);
    HRESULT FillAudioSample(IMediaSample* pSample);
    BOOL IsVideoDrained();
    BOOL IsAudioDrained();

    HRESULT SetVideoSize(LONG nWidth, LONG nHeight);
    HRESULT GetVideoSize(LONG* pnWidth, LONG* pnHeight);
    HRESULT SetAudioSampleRate(DWORD nRate);
    HRESULT GetAudioSampleRate(DWORD* pnRate);

    CCritSec* PinStateLock() { return &m_csPinState; }
    // The filter lock, which the framework holds across a state change and so across the
    // pins' Active and Inactive (taken before PinStateLock).
    CCritSec* FilterLock() { return &m_csFilter; }
    // Writes nothing; kept so the workers' trace points stay in place.
    void DebugTrace(const char* pszFormat, const char* pszName);

    // IPsTsParserSite
    BOOL MayWait() override;
    // Wakes a record start waiting for a free record, so that it asks MayWait again.
    void WakeRecordWaiters();
    void OnParserReset() override;
    BOOL IsStreamWanted(DEMUX_STREAM nStream) override;

private:
    CPsTsDemuxFilter(LPUNKNOWN pUnk, HRESULT* phr);
    CDemuxOutputPin* OutputPin(DEMUX_STREAM nStream) const;

    CBasePin* m_pPins[3] = {};
    CCritSec m_csFilter;
    CCritSec m_csPinState;
    // Keeps Run's reset out of a ProcessInput or EndOfInput in progress.
    CCritSec m_csReceive;
    CDemuxRecords* m_pRecords = nullptr;
    CPsTsParser* m_pParser = nullptr;
    CVideoDelivery* m_pVideo = nullptr;
    CAudioDelivery* m_pAudio = nullptr;
    std::atomic<LONG> m_nWidth{DEMUX_DEFAULT_WIDTH};
    std::atomic<LONG> m_nHeight{DEMUX_DEFAULT_HEIGHT};
    // Above 0 while Run resets or Stop is under way: a record start then fails at once instead
    // of waiting for a delivery that is about to be reset or stopped. A flush does the same.
    // A count, so that a Run ending cannot reopen the gate under a Stop still in progress.
    std::atomic<LONG> m_nHoldOff{0};
};
