// Finding the attached devices: the system device enumerator's data-compressor category, kept
// to the monikers whose friendly name is exactly the device's.
#include "YRA_HD_Capture_APDlg.h"

#include "plat/com.h"

#include <new>

namespace {

// A 16-bit comparison of the name and its terminator that stops at the first difference, so a
// shorter name is never read past its own end.
bool IsDeviceName(const OLECHAR* pszName) {
    const OLECHAR* pszWanted = YRA_DEVICE_FRIENDLY_NAME;
    for (int i = 0;; ++i) {
        if (pszName[i] != pszWanted[i]) return false;
        if (pszWanted[i] == 0) return true;
    }
}

// Whether the moniker names one of our devices; a moniker whose storage or name cannot be read
// is not one.
bool IsDeviceMoniker(IMoniker* pMoniker) {
    IPropertyBag* pBag = nullptr;
    if (FAILED(pMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&pBag))) ||
        !pBag)
        return false;
    VARIANT varName;
    VariantInit(&varName);
    bool bMatch = false;
    if (SUCCEEDED(pBag->Read(u"FriendlyName", &varName, nullptr)) && varName.vt == VT_BSTR && varName.bstrVal)
        bMatch = IsDeviceName(varName.bstrVal);
    VariantClear(&varName);
    pBag->Release();
    return bMatch;
}

} // namespace

HRESULT CYRA_HD_Capture_APDlg::EnumDevices() {
    ICreateDevEnum* pDevEnum = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&pDevEnum));
    if (FAILED(hr)) return hr;

    IEnumMoniker* pEnum = nullptr;
    hr = pDevEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, &pEnum, 0);
    if (hr != S_OK || !pEnum) {
        SafeRelease(pEnum);
        pDevEnum->Release();
        return hr;
    }

    // First pass: count, so that the list has room for exactly the devices seen.
    int nCounted = 0;
    IMoniker* pMoniker = nullptr;
    pEnum->Reset();
    while (pEnum->Next(1, &pMoniker, nullptr) == S_OK) {
        if (IsDeviceMoniker(pMoniker)) ++nCounted;
        SafeRelease(pMoniker);
    }
    if (nCounted == 0) {
        m_nDeviceCount = 0;
        pEnum->Release();
        pDevEnum->Release();
        return S_OK;
    }

    m_pDeviceList = new (std::nothrow) DeviceEntry[nCounted]();
    if (!m_pDeviceList) {
        pEnum->Release();
        pDevEnum->Release();
        return E_OUTOFMEMORY;
    }

    // Second pass: keep the devices. One attached between the passes finds no room and is let go.
    int nStored = 0;
    pEnum->Reset();
    while (pEnum->Next(1, &pMoniker, nullptr) == S_OK) {
        if (nStored < nCounted && IsDeviceMoniker(pMoniker)) {
            DeviceEntry& entry = m_pDeviceList[nStored++];
            entry.pMoniker = pMoniker;
            pMoniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&entry.pFilter));
            pMoniker = nullptr;
            continue;
        }
        SafeRelease(pMoniker);
    }
    m_nDeviceCount = nStored;
    pEnum->Release();
    pDevEnum->Release();
    return S_OK;
}
