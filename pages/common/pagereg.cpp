#include "pages/common/pagereg.h"

#include "framework/registration.h"
#include "pages/common/pageids.h"
#include "plat/com.h"
#include "plat/registry.h"

namespace {

constexpr int MAX_KEY_CHARS = 1024;
const WCHAR kMediaSets[] = u"System\\CurrentControlSet\\Control\\MediaSets";
const WCHAR kPropertyPages[] = u"PropertyPages";

// Appends a string to a key path; false when it would not fit.
bool Append(WCHAR (&achPath)[MAX_KEY_CHARS], int& cch, LPCWSTR psz) {
    for (; *psz; ++psz) {
        if (cch + 1 >= MAX_KEY_CHARS) return false;
        achPath[cch++] = *psz;
    }
    achPath[cch] = 0;
    return true;
}

bool AppendGuid(WCHAR (&achPath)[MAX_KEY_CHARS], int& cch, REFGUID guid) {
    WCHAR achGuid[GUID_STRING_CHARS];
    return StringFromGUID2(guid, achGuid, GUID_STRING_CHARS) && Append(achPath, cch, achGuid);
}

LONG CreateKey(HKEY hkParent, LPCWSTR pszKey, HKEY* phk) {
    return RegCreateKeyExW(hkParent, pszKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, phk,
                           nullptr);
}

} // namespace

HRESULT RegisterExtensionPage(REFCLSID clsidPage) {
    HRESULT hr = RegisterServersAndSetup();
    if (FAILED(hr)) return hr;

    WCHAR achKey[MAX_KEY_CHARS];
    int cch = 0;
    achKey[0] = 0;
    if (!Append(achKey, cch, kMediaSets) || !Append(achKey, cch, u"\\") ||
        !AppendGuid(achKey, cch, PROPSETID_VIDCAP_VIDEOPROCAMP) || !Append(achKey, cch, u"\\") ||
        !Append(achKey, cch, kPropertyPages) || !Append(achKey, cch, u"\\") || !AppendGuid(achKey, cch, clsidPage))
        return E_UNEXPECTED;

    HKEY hkPage = nullptr;
    LONG lErr = CreateKey(HKEY_LOCAL_MACHINE, achKey, &hkPage);
    if (lErr != ERROR_SUCCESS) return HRESULT_FROM_WIN32(lErr);
    static const WCHAR kName[] = PAGE_SERVER_NAME;
    lErr = RegSetValueExW(hkPage, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kName), sizeof(kName));
    RegCloseKey(hkPage);
    return HRESULT_FROM_WIN32(lErr);
}

HRESULT UnregisterExtensionPage(REFCLSID clsidPage, BOOL bRemoveSharedKeys) {
    // The class key may already be gone; the page key is what this module is judged by.
    UnregisterServersAndSetup();

    WCHAR achSet[GUID_STRING_CHARS];
    WCHAR achPage[GUID_STRING_CHARS];
    StringFromGUID2(PROPSETID_VIDCAP_VIDEOPROCAMP, achSet, GUID_STRING_CHARS);
    StringFromGUID2(clsidPage, achPage, GUID_STRING_CHARS);
    WCHAR achSetKey[MAX_KEY_CHARS];
    int cch = 0;
    if (!Append(achSetKey, cch, kMediaSets) || !Append(achSetKey, cch, u"\\") || !Append(achSetKey, cch, achSet))
        return E_UNEXPECTED;

    HKEY hkSet = nullptr;
    LONG lErr = CreateKey(HKEY_LOCAL_MACHINE, achSetKey, &hkSet);
    if (lErr != ERROR_SUCCESS) return HRESULT_FROM_WIN32(lErr);
    HKEY hkPages = nullptr;
    lErr = CreateKey(hkSet, kPropertyPages, &hkPages);
    if (lErr == ERROR_SUCCESS) {
        lErr = RegDeleteKeyW(hkPages, achPage);
        RegCloseKey(hkPages);
    }
    if (bRemoveSharedKeys && lErr == ERROR_SUCCESS) lErr = RegDeleteKeyW(hkSet, kPropertyPages);
    RegCloseKey(hkSet);
    if (!bRemoveSharedKeys || lErr != ERROR_SUCCESS) return HRESULT_FROM_WIN32(lErr);

    HKEY hkSets = nullptr;
    lErr = CreateKey(HKEY_LOCAL_MACHINE, kMediaSets, &hkSets);
    if (lErr != ERROR_SUCCESS) return HRESULT_FROM_WIN32(lErr);
    lErr = RegDeleteKeyW(hkSets, achSet);
    RegCloseKey(hkSets);
    return HRESULT_FROM_WIN32(lErr);
}
