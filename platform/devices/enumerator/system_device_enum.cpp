// The system device enumerator (CLSID_SystemDeviceEnum): lists the attached virtual devices
// under the kernel-streaming data-compressor category, where capture encoders are found.
#include "host/builtin_classes.h"
#include "host/device_list.h"
#include "host/device_presence.h"
#include "host/unknown_impl.h"
#include "platform/devices/enumerator/device_moniker.h"
#include "platform/media/com_ptr.h"

#include <mutex>
#include <new>
#include <vector>

namespace host {
namespace {

class MonikerList final : public UnknownImpl<IEnumMoniker> {
public:
    explicit MonikerList(std::vector<ComPtr<IMoniker>> monikers, size_t position = 0)
        : UnknownImpl(IID_IEnumMoniker), m_monikers(std::move(monikers)), m_position(position) {}

    HRESULT Next(ULONG celt, IMoniker** rgelt, ULONG* pceltFetched) override {
        if (pceltFetched) *pceltFetched = 0;
        if (!rgelt) return E_POINTER;
        if (celt > 1 && !pceltFetched) return E_INVALIDARG;
        std::lock_guard hold(m_lock);
        ULONG fetched = 0;
        while (fetched < celt && m_position < m_monikers.size())
            rgelt[fetched++] = ComPtr<IMoniker>(m_monikers[m_position++]).Detach();
        if (pceltFetched) *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }

    HRESULT Skip(ULONG celt) override {
        std::lock_guard hold(m_lock);
        const size_t left = m_monikers.size() - m_position;
        m_position += std::min<size_t>(celt, left);
        return celt <= left ? S_OK : S_FALSE;
    }

    HRESULT Reset() override {
        std::lock_guard hold(m_lock);
        m_position = 0;
        return S_OK;
    }

    HRESULT Clone(IEnumMoniker** ppenum) override {
        if (!ppenum) return E_POINTER;
        std::lock_guard hold(m_lock);
        auto* pClone = new (std::nothrow) MonikerList(m_monikers, m_position);
        *ppenum = pClone;
        if (!pClone) return E_OUTOFMEMORY;
        pClone->AddRef();
        return S_OK;
    }

private:
    ~MonikerList() override = default;

    std::mutex m_lock;
    const std::vector<ComPtr<IMoniker>> m_monikers;
    size_t m_position;
};

class SystemDeviceEnum final : public UnknownImpl<ICreateDevEnum> {
public:
    SystemDeviceEnum() : UnknownImpl(IID_ICreateDevEnum) {}

    // An empty category answers S_FALSE with no enumerator, as the platform does.
    HRESULT CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker, DWORD) override {
        if (!ppEnumMoniker) return E_POINTER;
        *ppEnumMoniker = nullptr;
        if (clsidDeviceClass != AM_KSCATEGORY_DATACOMPRESSOR) return S_FALSE;
        const DeviceList list = LoadDeviceList();
        std::vector<ComPtr<IMoniker>> monikers;
        for (const DeviceListEntry& device : list.devices) {
            // An unplugged device is not attached: it is not listed, as with a cable pulled.
            bool plugged = true;
            if (SUCCEEDED(QueryDevicePlugged(device, &plugged)) && !plugged) continue;
            IMoniker* pMoniker = nullptr;
            HRESULT hr = CreateDeviceMoniker(device, &pMoniker);
            if (FAILED(hr)) return hr;
            monikers.push_back(ComPtr<IMoniker>::Adopt(pMoniker));
        }
        if (monikers.empty()) return S_FALSE;
        auto* pList = new (std::nothrow) MonikerList(std::move(monikers));
        if (!pList) return E_OUTOFMEMORY;
        pList->AddRef();
        *ppEnumMoniker = pList;
        return S_OK;
    }

private:
    ~SystemDeviceEnum() override = default;
};

HRESULT CreateSystemDeviceEnum(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    auto* pEnum = new (std::nothrow) SystemDeviceEnum;
    if (!pEnum) return E_OUTOFMEMORY;
    pEnum->AddRef();
    HRESULT hr = pEnum->QueryInterface(riid, ppv);
    pEnum->Release();
    return hr;
}

BuiltinClassRegistrar g_systemDeviceEnum(CLSID_SystemDeviceEnum, CreateSystemDeviceEnum);

} // namespace
} // namespace host
