// Registered filters in the registry, shared by both filter mappers.
#include "host/filter_registry.h"

#include "plat/com.h"
#include "plat/registry.h"

namespace host {
namespace {

std::u16string GuidText(REFGUID g) {
    OLECHAR buf[GUID_STRING_CHARS];
    StringFromGUID2(g, buf, GUID_STRING_CHARS);
    return buf;
}

std::u16string InstanceParent(const CLSID* category) {
    return u"CLSID\\" + GuidText(category ? *category : CLSID_LegacyAmFilterCategory) + u"\\Instance";
}

std::u16string InstanceName(const WCHAR* instance, REFCLSID clsid) { return instance ? instance : GuidText(clsid); }

LONG SetString(HKEY key, const char16_t* name, std::u16string_view text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                          DWORD((text.size() + 1) * sizeof(char16_t)));
}

LONG GetString(HKEY key, const char16_t* name, std::u16string* text) {
    DWORD type = 0, size = 0;
    LONG err = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (err != ERROR_SUCCESS) return err;
    if (type != REG_SZ) return ERROR_BADDB;
    std::u16string buf(size / sizeof(char16_t), u'\0');
    err = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &size);
    if (err != ERROR_SUCCESS) return err;
    buf.resize(size / sizeof(char16_t));
    while (!buf.empty() && buf.back() == 0) buf.pop_back();
    *text = std::move(buf);
    return ERROR_SUCCESS;
}

} // namespace

HRESULT ReadRegisteredFilter(const CLSID* category, const WCHAR* instance, REFCLSID clsid, RegisteredFilter* filter) {
    std::u16string path = InstanceParent(category) + u"\\" + InstanceName(instance, clsid);
    HKEY key = nullptr;
    LONG err = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key);
    if (err != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err);
    std::u16string clsidText, data;
    err = GetString(key, u"FriendlyName", &filter->name);
    if (err == ERROR_SUCCESS) err = GetString(key, u"CLSID", &clsidText);
    if (err == ERROR_SUCCESS) err = GetString(key, u"FilterData", &data);
    RegCloseKey(key);
    if (err != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err);
    if (FAILED(CLSIDFromString(clsidText.c_str(), &filter->clsid)) || !DecodeFilterData(data, filter))
        return HRESULT_FROM_WIN32(ERROR_BADDB);
    return S_OK;
}

HRESULT WriteRegisteredFilter(const CLSID* category, const WCHAR* instance, const RegisteredFilter& filter) {
    std::u16string path = InstanceParent(category) + u"\\" + InstanceName(instance, filter.clsid);
    HKEY key = nullptr;
    LONG err =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err);
    err = SetString(key, u"FriendlyName", filter.name);
    if (err == ERROR_SUCCESS) err = SetString(key, u"CLSID", GuidText(filter.clsid));
    if (err == ERROR_SUCCESS) err = SetString(key, u"FilterData", EncodeFilterData(filter));
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(err);
}

HRESULT RemoveRegisteredFilter(const CLSID* category, const WCHAR* instance, REFCLSID clsid) {
    HKEY parent = nullptr;
    LONG err = RegOpenKeyExW(HKEY_CLASSES_ROOT, InstanceParent(category).c_str(), 0, KEY_ALL_ACCESS, &parent);
    if (err != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err);
    err = RegDeleteKeyW(parent, InstanceName(instance, clsid).c_str());
    RegCloseKey(parent);
    return HRESULT_FROM_WIN32(err);
}

} // namespace host
