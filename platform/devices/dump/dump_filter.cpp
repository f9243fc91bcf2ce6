#include "platform/devices/dump/dump_filter.h"

#include "host/builtin_classes.h"
#include "host/utf.h"
#include "plat/com.h"

#include <cstring>
#include <new>

namespace host {

class CDumpInputPin final : public CBaseInputPin {
public:
    CDumpInputPin(CDumpFilter* pFilter, CCritSec* pLock, HRESULT* phr)
        : CBaseInputPin(u"Dump input pin", pFilter, pLock, phr, u"Input"), m_pDump(pFilter) {}

    // The file takes whatever the stream holds.
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }

    HRESULT Receive(IMediaSample* pSample) override { return m_pDump->WriteSample(pSample); }

    HRESULT ReceiveCanBlock() override { return S_FALSE; }

    HRESULT EndOfStream() override { return m_pDump->CompleteStream(); }

    // The base checks (state, flushing, sample properties) of a sample about to be written.
    HRESULT CheckSample(IMediaSample* pSample) { return CBaseInputPin::Receive(pSample); }

private:
    CDumpFilter* const m_pDump;
};

CDumpFilter::CDumpFilter(LPUNKNOWN pUnk, HRESULT* phr)
    : CBaseFilter(u"Dump", pUnk, &m_csFilter, CLSID_YRA_HD_Capture_Dump) {
    m_pPin.reset(new (std::nothrow) CDumpInputPin(this, &m_csFilter, phr));
    if (!m_pPin && SUCCEEDED(*phr)) *phr = E_OUTOFMEMORY;
}

CDumpFilter::~CDumpFilter() = default;

HRESULT CDumpFilter::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter && riid != IID_IUnknown) return E_NOINTERFACE;
    HRESULT hr = S_OK;
    auto* pFilter = new (std::nothrow) CDumpFilter(pUnkOuter, &hr);
    if (!pFilter) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pFilter;
        return hr;
    }
    pFilter->NonDelegatingAddRef();
    hr = pFilter->NonDelegatingQueryInterface(riid, ppv);
    pFilter->NonDelegatingRelease();
    return hr;
}

HRESULT CDumpFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IFileSinkFilter) return GetInterface(static_cast<IFileSinkFilter*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int CDumpFilter::GetPinCount() {
    return 1;
}

CBasePin* CDumpFilter::GetPin(int n) {
    return n == 0 ? m_pPin.get() : nullptr;
}

HRESULT CDumpFilter::Pause() {
    CAutoLock lock(&m_csFilter);
    if (IsStopped()) {
        // A file that cannot be made fails the run at once, so nothing is recorded into nowhere.
        HRESULT hr = OpenFile();
        if (FAILED(hr)) return hr;
    }
    HRESULT hr = CBaseFilter::Pause();
    if (FAILED(hr)) CloseFile();
    return hr;
}

HRESULT CDumpFilter::Stop() {
    CAutoLock lock(&m_csFilter);
    const bool bWasActive = !IsStopped();
    HRESULT hr = CBaseFilter::Stop();
    if (!bWasActive) return hr;
    HRESULT hrClose = CloseFile();
    return FAILED(hrClose) ? hrClose : hr;
}

HRESULT CDumpFilter::OpenFile() {
    std::lock_guard hold(m_writeLock);
    m_hrWrite = S_OK;
    HRESULT hr = m_fileName.empty() ? E_UNEXPECTED : m_file.Create(Utf8FromWide(m_fileName));
    if (FAILED(hr)) RaiseWriteError(hr);
    return hr;
}

HRESULT CDumpFilter::CloseFile() {
    std::lock_guard hold(m_writeLock);
    HRESULT hr = m_file.Close();
    if (FAILED(hr)) RaiseWriteError(hr);
    return hr;
}

void CDumpFilter::RaiseWriteError(HRESULT hr) {
    if (FAILED(m_hrWrite)) return;
    m_hrWrite = hr;
    NotifyEvent(EC_ERRORABORT, hr, 0);
}

HRESULT CDumpFilter::WriteSample(IMediaSample* pSample) {
    std::lock_guard hold(m_writeLock);
    // Checked under the write lock, so that a stop closing the file waits for this sample.
    HRESULT hr = m_pPin->CheckSample(pSample);
    if (hr != S_OK) return hr;
    if (FAILED(m_hrWrite)) return m_hrWrite;
    if (!m_file.IsOpen()) return VFW_E_WRONG_STATE;

    BYTE* pData = nullptr;
    hr = pSample->GetPointer(&pData);
    if (FAILED(hr)) return hr;
    const LONG lLength = pSample->GetActualDataLength();
    if (lLength < 0 || lLength > pSample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    hr = m_file.Write(pData, static_cast<size_t>(lLength));
    if (FAILED(hr)) {
        RaiseWriteError(hr);
        return hr;
    }
    return S_OK;
}

HRESULT CDumpFilter::CompleteStream() {
    if (IsStopped()) return VFW_E_WRONG_STATE;
    return NotifyEvent(EC_COMPLETE, S_OK, 0);
}

// ---- IFileSinkFilter -----------------------------------------------------------------------

HRESULT CDumpFilter::SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*) {
    if (!pszFileName) return E_POINTER;
    if (!*pszFileName) return E_INVALIDARG;
    CAutoLock lock(&m_csFilter);
    // The open file belongs to the run; a new name takes effect from the next one.
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    m_fileName = pszFileName;
    return S_OK;
}

HRESULT CDumpFilter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) {
    if (!ppszFileName) return E_POINTER;
    *ppszFileName = nullptr;
    if (pmt) std::memset(pmt, 0, sizeof *pmt);
    CAutoLock lock(&m_csFilter);
    if (m_fileName.empty()) return E_FAIL;
    const size_t cb = (m_fileName.size() + 1) * sizeof(WCHAR);
    auto* pszCopy = static_cast<WCHAR*>(CoTaskMemAlloc(cb));
    if (!pszCopy) return E_OUTOFMEMORY;
    std::memcpy(pszCopy, m_fileName.c_str(), cb);
    *ppszFileName = pszCopy;
    return S_OK;
}

namespace {

BuiltinClassRegistrar g_dumpFilter(CLSID_YRA_HD_Capture_Dump, CDumpFilter::CreateInstance);

} // namespace
} // namespace host
