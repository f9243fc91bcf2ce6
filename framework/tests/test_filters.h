// Filters and platform stand-ins whose pins do what a test tells them and log what they are
// asked, so tests can check the framework's protocols call for call.
#pragma once

#include "framework/streams.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace testing_filters {

// A thread-safe record of calls, in order.
class CallLog {
public:
    void Add(const std::string& entry);
    std::vector<std::string> Entries() const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_entries;
};

// A media type told apart by a small number in its subtype.
CMediaType MakeType(const GUID& majortype, uint32_t id, const GUID& formattype = FORMAT_None);
uint32_t TypeId(const AM_MEDIA_TYPE& mt);

struct PinBehaviour {
    std::vector<CMediaType> offered;                        // GetMediaType's list
    std::function<HRESULT(const CMediaType*)> check;        // CheckMediaType (S_OK when unset)
    HRESULT hrActive = S_OK;
    HRESULT hrInactive = S_OK;
    HRESULT hrRun = S_OK;
    HRESULT hrCompleteConnect = S_OK;
};

template <class Base> class TTestPin : public Base {
public:
    TTestPin(CBaseFilter* pFilter, CCritSec* pLock, LPCWSTR pName, CallLog* pLog, std::string tag)
        : Base(u"test pin", pFilter, pLock, &m_hrConstruct, pName), m_pLog(pLog), m_tag(std::move(tag)) {}

    PinBehaviour b;

    void SetTryMyTypesFirst(BOOL bTry) { this->m_bTryMyTypesFirst = bTry; }
    void TypesChanged() { this->IncrementTypeVersion(); }
    void Log(const std::string& what) {
        if (m_pLog) m_pLog->Add(m_tag + " " + what);
    }

    HRESULT CheckMediaType(const CMediaType* pmt) override {
        Log("check " + std::to_string(TypeId(*pmt)));
        return b.check ? b.check(pmt) : S_OK;
    }
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override {
        if (iPosition < 0 || static_cast<size_t>(iPosition) >= b.offered.size()) return S_FALSE;
        *pmt = b.offered[static_cast<size_t>(iPosition)];
        return S_OK;
    }
    HRESULT Active() override {
        Log("active");
        if (FAILED(b.hrActive)) return b.hrActive;
        return Base::Active();
    }
    HRESULT Inactive() override {
        Log("inactive");
        HRESULT hr = Base::Inactive();
        return FAILED(b.hrInactive) ? b.hrInactive : hr;
    }
    HRESULT Run(REFERENCE_TIME tStart) override {
        Log("run");
        if (FAILED(b.hrRun)) return b.hrRun;
        return Base::Run(tStart);
    }
    HRESULT CompleteConnect(IPin* pReceivePin) override {
        Log("complete");
        if (FAILED(b.hrCompleteConnect)) return b.hrCompleteConnect;
        return Base::CompleteConnect(pReceivePin);
    }
    HRESULT BreakConnect() override {
        Log("break");
        return Base::BreakConnect();
    }

protected:
    HRESULT m_hrConstruct = S_OK;
    CallLog* m_pLog;
    std::string m_tag;
};

class CTestOutputPin : public TTestPin<CBaseOutputPin> {
public:
    using TTestPin::TTestPin;

    ALLOCATOR_PROPERTIES request{2, 1024, 0, 0}; // count and size asked for
    HRESULT hrDecideBufferSize = S_OK;           // answered by every DecideBufferSize
    int cInitAllocator = 0;
    std::vector<IMemAllocator*> decided;         // the allocators DecideBufferSize saw

    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) override;
    HRESULT InitAllocator(IMemAllocator** ppAlloc) override;
    IMemAllocator* Allocator() const { return m_pAllocator; }
    IMemInputPin* InputPin() const { return m_pInputPin; }
};

class CTestInputPin : public TTestPin<CBaseInputPin> {
public:
    using TTestPin::TTestPin;

    HRESULT hrGetAllocator = S_OK;     // a failure here refuses to offer an allocator
    bool bClaimNoAllocator = false;    // GetAllocator succeeds without an allocator
    bool bClaimNoMemInput = false;     // a query for IMemInputPin succeeds without the interface
    HRESULT hrNotifyAllocator = S_OK;  // a failure here refuses every allocator
    ALLOCATOR_PROPERTIES requirements{}; // answered by GetAllocatorRequirements when cbAlign set
    int cEndOfStream = 0;
    std::optional<HRESULT> canBlock; // ReceiveCanBlock's answer when set

    HRESULT ReceiveCanBlock() override { return canBlock ? *canBlock : CBaseInputPin::ReceiveCanBlock(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    HRESULT GetAllocator(IMemAllocator** ppAllocator) override;
    HRESULT NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    HRESULT EndOfStream() override;
    IMemAllocator* Allocator() const { return m_pAllocator; }
    void SetRunTimeErrorFlag() { SetRunTimeError(TRUE); }
};

// A filter with whatever pins a test adds. Created with one reference.
class CTestFilter : public CBaseFilter {
public:
    static CTestFilter* Create(CallLog* pLog = nullptr, LPCWSTR pName = u"test filter");

    CTestOutputPin* AddOutput(LPCWSTR pName, const std::string& tag);
    CTestInputPin* AddInput(LPCWSTR pName, const std::string& tag);
    // Takes the last pin away (deleted with the filter, so enumerators may still compare it).
    void DropLastPin();

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // A pin that GetPin answers null for, to stand for a set that changed underneath.
    int nNullPinAt = -1;
    const AMOVIESETUP_FILTER* pSetup = nullptr;
    const AMOVIESETUP_FILTER* GetSetupData() override { return pSetup; }
    LONG RefCount() const { return m_cRef; }
    REFERENCE_TIME StartTime() const { return m_tStart; }

private:
    explicit CTestFilter(CallLog* pLog);
    ~CTestFilter() override;

    CCritSec m_csFilter;
    CallLog* m_pLog;
    std::vector<CBasePin*> m_pins;
    std::vector<CBasePin*> m_dropped;
};

// A graph stand-in that only collects events.
class CFakeGraph final : public IFilterGraph, public IMediaEventSink {
public:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };
    std::vector<Event> events;
    bool bOfferSink = true;
    bool bClaimNoInterfaces = false; // queries for the sink and IFilterGraph2 succeed without them
    LONG refs = 1;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    HRESULT AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }
    HRESULT Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override;

private:
    std::mutex m_lock;
};

// A clock whose time the test sets.
class CFakeClock final : public IReferenceClock {
public:
    REFERENCE_TIME now = 0;
    HRESULT hrGetTime = S_OK;
    LONG refs = 1;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    HRESULT GetTime(REFERENCE_TIME* pTime) override {
        *pTime = now;
        return hrGetTime;
    }
    HRESULT AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override { return E_NOTIMPL; }
    HRESULT AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override { return E_NOTIMPL; }
    HRESULT Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
};

// Initialises the component runtime for a test's thread (the standard allocator is made by
// class id).
class ComScope {
public:
    ComScope();
    ~ComScope();
};

} // namespace testing_filters
