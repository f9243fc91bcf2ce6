#include "test_filters.h"

#include "plat/com.h"

namespace testing_filters {

YRA_DEFINE_GUID(CLSID_TestFilter, 0x7A3C11D0, 0x5B2E, 0x4C8F, 0x8E, 0x10, 0x3F, 0x44, 0x92, 0x6D, 0x1B, 0x01);

void CallLog::Add(const std::string& entry) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_entries.push_back(entry);
}

std::vector<std::string> CallLog::Entries() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_entries;
}

void CallLog::Clear() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_entries.clear();
}

CMediaType MakeType(const GUID& majortype, uint32_t id, const GUID& formattype) {
    CMediaType mt(&majortype);
    GUID sub = {id, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    mt.SetSubtype(&sub);
    mt.SetFormatType(&formattype);
    return mt;
}

uint32_t TypeId(const AM_MEDIA_TYPE& mt) { return mt.subtype.Data1; }

HRESULT CTestOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pRequest) {
    Log("decide");
    decided.push_back(pAlloc);
    if (FAILED(hrDecideBufferSize)) return hrDecideBufferSize;
    pRequest->cBuffers = request.cBuffers;
    pRequest->cbBuffer = request.cbBuffer;
    ALLOCATOR_PROPERTIES actual;
    return pAlloc->SetProperties(pRequest, &actual);
}

HRESULT CTestOutputPin::InitAllocator(IMemAllocator** ppAlloc) {
    Log("init allocator");
    ++cInitAllocator;
    return CBaseOutputPin::InitAllocator(ppAlloc);
}

HRESULT CTestInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (bClaimNoMemInput && riid == IID_IMemInputPin) {
        *ppv = nullptr;
        return S_OK;
    }
    return CBaseInputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTestInputPin::GetAllocator(IMemAllocator** ppAllocator) {
    Log("get allocator");
    if (bClaimNoAllocator) {
        *ppAllocator = nullptr;
        return S_OK;
    }
    if (FAILED(hrGetAllocator)) {
        *ppAllocator = nullptr;
        return hrGetAllocator;
    }
    return CBaseInputPin::GetAllocator(ppAllocator);
}

HRESULT CTestInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
    Log("notify allocator");
    if (FAILED(hrNotifyAllocator)) return hrNotifyAllocator;
    return CBaseInputPin::NotifyAllocator(pAllocator, bReadOnly);
}

HRESULT CTestInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) {
    if (requirements.cbAlign == 0) return CBaseInputPin::GetAllocatorRequirements(pProps);
    *pProps = requirements;
    return S_OK;
}

HRESULT CTestInputPin::EndOfStream() {
    Log("end of stream");
    ++cEndOfStream;
    return S_OK;
}

CTestFilter::CTestFilter(CallLog* pLog)
    : CBaseFilter(u"test filter", nullptr, &m_csFilter, CLSID_TestFilter), m_pLog(pLog) {}

CTestFilter::~CTestFilter() {
    for (CBasePin* p : m_pins) delete p;
    for (CBasePin* p : m_dropped) delete p;
}

CTestFilter* CTestFilter::Create(CallLog* pLog, LPCWSTR) {
    auto* f = new CTestFilter(pLog);
    f->AddRef();
    return f;
}

CTestOutputPin* CTestFilter::AddOutput(LPCWSTR pName, const std::string& tag) {
    auto* p = new CTestOutputPin(this, &m_csFilter, pName, m_pLog, tag);
    m_pins.push_back(p);
    IncrementPinVersion();
    return p;
}

CTestInputPin* CTestFilter::AddInput(LPCWSTR pName, const std::string& tag) {
    auto* p = new CTestInputPin(this, &m_csFilter, pName, m_pLog, tag);
    m_pins.push_back(p);
    IncrementPinVersion();
    return p;
}

void CTestFilter::DropLastPin() {
    m_dropped.push_back(m_pins.back());
    m_pins.pop_back();
    IncrementPinVersion();
}

int CTestFilter::GetPinCount() { return static_cast<int>(m_pins.size()); }

CBasePin* CTestFilter::GetPin(int n) {
    if (n == nNullPinAt) return nullptr;
    if (n < 0 || static_cast<size_t>(n) >= m_pins.size()) return nullptr;
    return m_pins[static_cast<size_t>(n)];
}

HRESULT CFakeGraph::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (bClaimNoInterfaces && (riid == IID_IMediaEventSink || riid == IID_IFilterGraph2)) return S_OK;
    if (riid == IID_IUnknown || riid == IID_IFilterGraph) {
        *ppv = static_cast<IFilterGraph*>(this);
    } else if (riid == IID_IMediaEventSink && bOfferSink) {
        *ppv = static_cast<IMediaEventSink*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CFakeGraph::Notify(LONG code, LONG_PTR p1, LONG_PTR p2) {
    std::lock_guard<std::mutex> hold(m_lock);
    events.push_back({code, p1, p2});
    return S_OK;
}

HRESULT CFakeClock::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IReferenceClock) return E_NOINTERFACE;
    *ppv = static_cast<IReferenceClock*>(this);
    AddRef();
    return S_OK;
}

ComScope::ComScope() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }

ComScope::~ComScope() { CoUninitialize(); }

} // namespace testing_filters
