#include "device_list.h"

#include "host/ui_core.h"
#include "plat/com.h"

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
    return device.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
}

} // namespace propsheet
