#include "platform/devices/enumerator/device_moniker.h"

#include "host/unknown_impl.h"
#include "host/utf.h"
#include "plat/com.h"

#include <cstring>
#include <functional>
#include <new>
#include <string>

namespace host {
namespace {

constexpr const WCHAR* kFriendlyName = u"FriendlyName";

// Property names are registry value names: compared without regard to ASCII case.
bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

class DevicePropertyBag final : public UnknownImpl<IPropertyBag> {
public:
    explicit DevicePropertyBag(std::u16string name)
        : UnknownImpl(IID_IPropertyBag), m_name(std::move(name)) {}

    HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) override {
        if (!pszPropName || !pVar) return E_POINTER;
        if (!SameName(pszPropName, kFriendlyName)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (pVar->vt != VT_EMPTY && pVar->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
        BSTR name = SysAllocString(m_name.c_str());
        if (!name) return E_OUTOFMEMORY;
        VariantClear(pVar);
        pVar->vt = VT_BSTR;
        pVar->bstrVal = name;
        return S_OK;
    }

    // The device's properties are its driver's; nobody writes them through the enumerator.
    HRESULT Write(LPCOLESTR, VARIANT*) override { return E_ACCESSDENIED; }

private:
    const std::u16string m_name;
};

class DeviceMoniker final : public UnknownImpl<IMoniker> {
public:
    explicit DeviceMoniker(DeviceListEntry device) : UnknownImpl(IID_IMoniker), m_device(std::move(device)) {}

    // IMoniker is also its IPersist and IPersistStream.
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IPersist || riid == IID_IPersistStream)
            return UnknownImpl::QueryInterface(IID_IMoniker, ppv);
        return UnknownImpl::QueryInterface(riid, ppv);
    }

    // IPersist, IPersistStream: a device moniker is not saved.
    HRESULT GetClassID(CLSID* pClassID) override {
        if (pClassID) *pClassID = GUID_NULL;
        return E_NOTIMPL;
    }
    HRESULT IsDirty() override { return S_FALSE; }
    HRESULT Load(IStream*) override { return E_NOTIMPL; }
    HRESULT Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT GetSizeMax(ULONGLONG*) override { return E_NOTIMPL; }

    HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID riidResult, void** ppvResult) override {
        if (!ppvResult) return E_POINTER;
        *ppvResult = nullptr;
        IBaseFilter* pFilter = nullptr;
        HRESULT hr = BindDeviceFilter(m_device, &pFilter);
        if (FAILED(hr)) return hr;
        hr = pFilter->QueryInterface(riidResult, ppvResult);
        pFilter->Release();
        return hr;
    }

    HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** ppvObj) override {
        if (!ppvObj) return E_POINTER;
        *ppvObj = nullptr;
        auto* pBag = new (std::nothrow) DevicePropertyBag(m_device.config.name);
        if (!pBag) return E_OUTOFMEMORY;
        pBag->AddRef();
        HRESULT hr = pBag->QueryInterface(riid, ppvObj);
        pBag->Release();
        return hr;
    }

    HRESULT IsEqual(IMoniker* pmkOtherMoniker) override {
        if (!pmkOtherMoniker) return E_INVALIDARG;
        LPOLESTR mine = nullptr, theirs = nullptr;
        HRESULT hr = GetDisplayName(nullptr, nullptr, &mine);
        if (SUCCEEDED(hr)) hr = pmkOtherMoniker->GetDisplayName(nullptr, nullptr, &theirs);
        const bool same = SUCCEEDED(hr) && std::u16string_view(mine) == std::u16string_view(theirs);
        CoTaskMemFree(mine);
        CoTaskMemFree(theirs);
        return same ? S_OK : S_FALSE;
    }

    HRESULT Hash(DWORD* pdwHash) override {
        if (!pdwHash) return E_POINTER;
        *pdwHash = static_cast<DWORD>(std::hash<std::u16string>{}(DisplayName()));
        return S_OK;
    }

    HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* ppszDisplayName) override {
        if (!ppszDisplayName) return E_POINTER;
        const std::u16string name = DisplayName();
        auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((name.size() + 1) * sizeof(WCHAR)));
        *ppszDisplayName = copy;
        if (!copy) return E_OUTOFMEMORY;
        std::memcpy(copy, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
        return S_OK;
    }

    HRESULT IsSystemMoniker(DWORD* pdwMksys) override {
        if (!pdwMksys) return E_POINTER;
        *pdwMksys = 0; // MKSYS_NONE
        return S_FALSE;
    }

    // Composition and the rest of the moniker algebra mean nothing for a device.
    HRESULT Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** ppmkReduced) override {
        if (ppmkReduced) *ppmkReduced = nullptr;
        return E_NOTIMPL;
    }
    HRESULT ComposeWith(IMoniker*, BOOL, IMoniker** ppmkComposite) override {
        if (ppmkComposite) *ppmkComposite = nullptr;
        return E_NOTIMPL;
    }
    HRESULT Enum(BOOL, IEnumMoniker** ppenumMoniker) override {
        if (ppenumMoniker) *ppenumMoniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
    HRESULT GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
    HRESULT Inverse(IMoniker** ppmk) override {
        if (ppmk) *ppmk = nullptr;
        return E_NOTIMPL;
    }
    HRESULT CommonPrefixWith(IMoniker*, IMoniker** ppmkPrefix) override {
        if (ppmkPrefix) *ppmkPrefix = nullptr;
        return E_NOTIMPL;
    }
    HRESULT RelativePathTo(IMoniker*, IMoniker** ppmkRelPath) override {
        if (ppmkRelPath) *ppmkRelPath = nullptr;
        return E_NOTIMPL;
    }
    HRESULT ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG* pchEaten, IMoniker** ppmkOut) override {
        if (pchEaten) *pchEaten = 0;
        if (ppmkOut) *ppmkOut = nullptr;
        return E_NOTIMPL;
    }

private:
    // "@device:yra:FILE:LINE:NAME": names the device as the device table does.
    std::u16string DisplayName() const {
        return u"@device:yra:" + WideFromUtf8(m_device.listPath) + u":" +
               WideFromUtf8(std::to_string(m_device.line)) + u":" + WideFromUtf8(m_device.source);
    }

    const DeviceListEntry m_device;
};

} // namespace

HRESULT CreateDeviceMoniker(const DeviceListEntry& device, IMoniker** ppMoniker) {
    if (!ppMoniker) return E_POINTER;
    *ppMoniker = nullptr;
    auto* pMoniker = new (std::nothrow) DeviceMoniker(device);
    if (!pMoniker) return E_OUTOFMEMORY;
    pMoniker->AddRef();
    *ppMoniker = pMoniker;
    return S_OK;
}

} // namespace host
