#include "host/unknown_impl.h"
#include "system_clock.h"

#include "host/builtin_classes.h"

#include <atomic>
#include <chrono>
#include <new>

namespace host {
namespace {

class SystemClock final : public UnknownImpl<IReferenceClock> {
public:
    SystemClock() : UnknownImpl(IID_IReferenceClock) {}


    HRESULT GetTime(REFERENCE_TIME* pTime) override {
        if (!pTime) return E_POINTER;
        using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;
        *pTime = std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
        return S_OK;
    }
    // No host filter schedules against the clock, and the host has no event handles to
    // signal: advise requests are refused rather than silently never answered.
    HRESULT AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR* pdwAdviseCookie) override {
        if (pdwAdviseCookie) *pdwAdviseCookie = 0;
        return E_NOTIMPL;
    }
    HRESULT AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR* pdwAdviseCookie) override {
        if (pdwAdviseCookie) *pdwAdviseCookie = 0;
        return E_NOTIMPL;
    }
    HRESULT Unadvise(DWORD_PTR) override { return S_FALSE; }

private:
    ~SystemClock() = default;
};

} // namespace

HRESULT CreateSystemClock(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* clock = new (std::nothrow) SystemClock;
    if (!clock) return E_OUTOFMEMORY;
    clock->AddRef();
    HRESULT hr = clock->QueryInterface(riid, ppv);
    clock->Release();
    return hr;
}

namespace {
BuiltinClassRegistrar g_systemClock(CLSID_SystemClock, CreateSystemClock);
} // namespace

} // namespace host
