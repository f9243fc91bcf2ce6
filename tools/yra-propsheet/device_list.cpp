#include "device_list.h"

#include "host/device_ks.h"
#include "host/propframe.h"
#include "host/ui_core.h"
#include "plat/com.h"
#include "plat/registry.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace propsheet {
namespace {

std::u16string ReadFriendlyName(IMoniker* moniker) {
    IPropertyBag* bag = nullptr;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag))))
        return u"(unnamed device)";
    VARIANT name;
    VariantInit(&name);
    std::u16string text = u"(unnamed device)";
    if (SUCCEEDED(bag->Read(u"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR && name.bstrVal)
        text = name.bstrVal;
    VariantClear(&name);
    bag->Release();
    return text;
}

bool SameName(const std::u16string& a, const std::string& b) {
    std::string utf8 = host::ui::Utf8(a);
    return utf8.size() == b.size() && std::equal(utf8.begin(), utf8.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

DeviceList::~DeviceList() {
    for (Device& device : m_devices) SafeRelease(device.moniker);
}

HRESULT DeviceList::Load() {
    ICreateDevEnum* devEnum = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&devEnum));
    if (hr == REGDB_E_CLASSNOTREG) {
        // A host without the device enumerator: its one virtual device, control path only.
        m_devices.push_back({u"YRA USB Device", nullptr});
        return S_OK;
    }
    if (FAILED(hr)) return hr;
    IEnumMoniker* monikers = nullptr;
    hr = devEnum->CreateClassEnumerator(AM_KSCATEGORY_DATACOMPRESSOR, &monikers, 0);
    devEnum->Release();
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK; // S_FALSE: an empty category
    IMoniker* moniker = nullptr;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) m_devices.push_back({ReadFriendlyName(moniker), moniker});
    monikers->Release();
    return S_OK;
}

const Device* DeviceList::Find(const std::string& which) const {
    size_t index = 0;
    auto [end, error] = std::from_chars(which.data(), which.data() + which.size(), index);
    if (error == std::errc() && end == which.data() + which.size())
        return index < m_devices.size() ? &m_devices[index] : nullptr;
    for (const Device& device : m_devices)
        if (SameName(device.name, which)) return &device;
    return nullptr;
}

HRESULT DeviceList::Bind(const Device& device, IBaseFilter** filter) const {
    *filter = nullptr;
    if (!device.moniker) return host::CreateDeviceControlFilter(std::make_shared<host::DeviceModel>(), filter);
    return device.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
}

HRESULT DevicePages(IBaseFilter* filter, std::vector<CLSID>* pages) {
    HRESULT hr = host::GetObjectPages(filter, pages);
    if (hr != E_NOINTERFACE) return hr;

    IKsPropertySet* props = nullptr;
    hr = filter->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(&props));
    if (FAILED(hr)) return hr;
    HKEY sets = nullptr;
    LONG err = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\CurrentControlSet\\Control\\MediaSets", 0, KEY_READ,
                             &sets);
    for (DWORD i = 0; err == ERROR_SUCCESS; ++i) {
        WCHAR setName[GUID_STRING_CHARS + 1];
        DWORD cch = GUID_STRING_CHARS + 1;
        if (RegEnumKeyExW(sets, i, setName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        GUID set{};
        DWORD support = 0;
        // A device that knows a set answers for an unknown id in it, not for the set.
        if (FAILED(CLSIDFromString(setName, &set)) ||
            props->QuerySupported(set, 0, &support) == E_PROP_SET_UNSUPPORTED)
            continue;
        HKEY list = nullptr;
        std::u16string path = std::u16string(setName) + u"\\PropertyPages";
        if (RegOpenKeyExW(sets, path.c_str(), 0, KEY_READ, &list) != ERROR_SUCCESS) continue;
        for (DWORD j = 0;; ++j) {
            WCHAR pageName[GUID_STRING_CHARS + 1];
            DWORD pageCch = GUID_STRING_CHARS + 1;
            if (RegEnumKeyExW(list, j, pageName, &pageCch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            CLSID page{};
            if (SUCCEEDED(CLSIDFromString(pageName, &page)) &&
                std::find(pages->begin(), pages->end(), page) == pages->end())
                pages->push_back(page);
        }
        RegCloseKey(list);
    }
    if (sets) RegCloseKey(sets);
    props->Release();
    return S_OK;
}

} // namespace propsheet
