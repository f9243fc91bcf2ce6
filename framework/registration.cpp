#include "framework/registration.h"

#include "plat/com.h"
#include "plat/kernel.h"
#include "plat/registry.h"

#include <string>

namespace {

constexpr HRESULT kFileNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// The registry keys stay far below the platform's limit of 255 characters per name.
constexpr int MAX_KEY_LEN = 260;

// "CLSID\{...}" for a template's class id.
void ClassKeyName(const FactoryTemplate& t, WCHAR (&achKey)[MAX_KEY_LEN]) {
    static const WCHAR szPrefix[] = u"CLSID\\";
    int i = 0;
    for (; szPrefix[i]; ++i) achKey[i] = szPrefix[i];
    StringFromGUID2(*t.m_ClsID, achKey + i, MAX_KEY_LEN - i);
}

HRESULT SetStringValue(HKEY hKey, LPCWSTR pszName, LPCWSTR pszText) {
    DWORD cch = 0;
    while (pszText[cch]) ++cch;
    LONG lErr = RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                               (cch + 1) * sizeof(WCHAR));
    return HRESULT_FROM_WIN32(lErr);
}

// The full path of this module, as the loader names it. Paths may be longer than the classic
// limit, so the buffer grows up to the platform's longest path.
HRESULT GetModulePath(std::u16string& strPath) {
    constexpr DWORD kLongestPath = 32768;
    if (!g_hInst) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    for (DWORD cch = 260;; cch *= 2) {
        strPath.assign(cch, u'\0');
        SetLastError(ERROR_SUCCESS);
        DWORD n = GetModuleFileNameW(g_hInst, strPath.data(), cch);
        if (n == 0) {
            DWORD dwErr = GetLastError();
            strPath.clear();
            return dwErr != ERROR_SUCCESS ? HRESULT_FROM_WIN32(dwErr) : E_FAIL;
        }
        if (n < cch) {
            strPath.resize(n);
            return S_OK;
        }
        if (cch >= kLongestPath) {
            strPath.clear();
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        }
    }
}

HRESULT RegisterServerEntry(const FactoryTemplate& t, LPCWSTR pszModulePath) {
    WCHAR achKey[MAX_KEY_LEN];
    ClassKeyName(t, achKey);
    HKEY hkClass = nullptr;
    LONG lErr = RegCreateKeyExW(HKEY_CLASSES_ROOT, achKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &hkClass, nullptr);
    if (lErr != ERROR_SUCCESS) return HRESULT_FROM_WIN32(lErr);
    HRESULT hr = SetStringValue(hkClass, nullptr, t.m_Name);
    HKEY hkServer = nullptr;
    if (SUCCEEDED(hr)) {
        lErr = RegCreateKeyExW(hkClass, u"InprocServer32", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                               nullptr, &hkServer, nullptr);
        hr = HRESULT_FROM_WIN32(lErr);
    }
    if (SUCCEEDED(hr)) hr = SetStringValue(hkServer, nullptr, pszModulePath);
    if (SUCCEEDED(hr)) hr = SetStringValue(hkServer, u"ThreadingModel", u"Both");
    if (hkServer) RegCloseKey(hkServer);
    RegCloseKey(hkClass);
    return hr;
}

// Deletes a key after all of its subkeys, depth first.
HRESULT DeleteKeyTree(HKEY hkParent, LPCWSTR pszKey) {
    HKEY hk = nullptr;
    LONG lErr = RegOpenKeyExW(hkParent, pszKey, 0, KEY_ALL_ACCESS, &hk);
    if (lErr != ERROR_SUCCESS) return HRESULT_FROM_WIN32(lErr);
    for (;;) {
        WCHAR achChild[MAX_KEY_LEN];
        DWORD cch = MAX_KEY_LEN;
        lErr = RegEnumKeyExW(hk, 0, achChild, &cch, nullptr, nullptr, nullptr, nullptr);
        if (lErr == ERROR_NO_MORE_ITEMS) break;
        HRESULT hr = lErr == ERROR_SUCCESS ? DeleteKeyTree(hk, achChild) : HRESULT_FROM_WIN32(lErr);
        if (FAILED(hr)) {
            RegCloseKey(hk);
            return hr;
        }
    }
    RegCloseKey(hk);
    return HRESULT_FROM_WIN32(RegDeleteKeyW(hkParent, pszKey));
}

HRESULT UnregisterServerEntry(const FactoryTemplate& t) {
    WCHAR achKey[MAX_KEY_LEN];
    ClassKeyName(t, achKey);
    return DeleteKeyTree(HKEY_CLASSES_ROOT, achKey);
}

// Initialises the component library for the routine's duration. A thread already in the
// other mode is usable as it is, and must not be uninitialised by us.
class CComInit {
public:
    CComInit() : m_hr(CoInitialize(nullptr)) {}
    ~CComInit() {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    HRESULT Result() const { return m_hr == RPC_E_CHANGED_MODE ? S_OK : m_hr; }

private:
    HRESULT m_hr;
};

HRESULT RegisterWithMapper2(IFilterMapper2* pFM2, const FactoryTemplate& t, BOOL bRegister) {
    HRESULT hr = pFM2->UnregisterFilter(nullptr, nullptr, *t.m_ClsID);
    if (hr == kFileNotFound) hr = S_OK;
    if (FAILED(hr) || !bRegister) return hr;
    const AMOVIESETUP_FILTER* pSetup = t.m_pAMovieSetup_Filter;
    REGFILTER2 rf2{};
    rf2.dwVersion = 1;
    rf2.dwMerit = pSetup->dwMerit;
    rf2.cPins = pSetup->nPins;
    rf2.rgPins = pSetup->lpPin;
    hr = pFM2->RegisterFilter(*t.m_ClsID, t.m_Name, nullptr, nullptr, nullptr, &rf2);
    return hr == kFileNotFound ? S_OK : hr;
}

// The older mapper takes the filter, its pins and their types one call at a time.
HRESULT RegisterWithMapper(IFilterMapper* pFM, const FactoryTemplate& t, BOOL bRegister) {
    HRESULT hr = pFM->UnregisterFilter(*t.m_ClsID);
    if (hr == kFileNotFound) hr = S_OK;
    if (FAILED(hr) || !bRegister) return hr;
    const AMOVIESETUP_FILTER* pSetup = t.m_pAMovieSetup_Filter;
    hr = pFM->RegisterFilter(*t.m_ClsID, t.m_Name, pSetup->dwMerit);
    if (hr == kFileNotFound) return S_OK;
    // Once the filter is there, every pin and type must follow: a failure of any of them (a
    // "not found" included) leaves the filter incomplete and is returned.
    for (UINT p = 0; SUCCEEDED(hr) && p < pSetup->nPins; ++p) {
        const AMOVIESETUP_PIN& pin = pSetup->lpPin[p];
        LPCWSTR pszPin = pin.strName ? pin.strName : u"";
        hr = pFM->RegisterPin(*t.m_ClsID, pszPin, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                              pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : CLSID_NULL,
                              pin.strConnectsToPin);
        for (UINT m = 0; SUCCEEDED(hr) && m < pin.nMediaTypes; ++m) {
            const AMOVIESETUP_MEDIATYPE& mt = pin.lpMediaType[m];
            hr = pFM->RegisterPinType(*t.m_ClsID, pszPin, mt.clsMajorType ? *mt.clsMajorType : CLSID_NULL,
                                      mt.clsMinorType ? *mt.clsMinorType : CLSID_NULL);
        }
    }
    return hr;
}

HRESULT CreateSetup(const FactoryTemplate& t, IAMovieSetup** ppSetup) {
    *ppSetup = nullptr;
    return CoCreateInstance(*t.m_ClsID, nullptr, CLSCTX_INPROC_SERVER, IID_IAMovieSetup,
                            reinterpret_cast<void**>(ppSetup));
}

// Classes that have no IAMovieSetup, or cannot live without an owner, have nothing to set up.
bool NothingToSetUp(HRESULT hr) { return hr == E_NOINTERFACE || hr == VFW_E_NEED_OWNER; }

} // namespace

HRESULT RegisterServerEntries(LPCWSTR pszModulePath) {
    for (int i = 0; i < g_cTemplates; ++i) {
        HRESULT hr = RegisterServerEntry(g_FactoryTemplates[i], pszModulePath);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT UnregisterServerEntries() {
    for (int i = 0; i < g_cTemplates; ++i) {
        HRESULT hr = UnregisterServerEntry(g_FactoryTemplates[i]);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT RegisterFiltersWithMapper(BOOL bRegister) {
    std::u16string strPath;
    HRESULT hr = GetModulePath(strPath);
    if (FAILED(hr)) return hr;
    if (bRegister) {
        hr = RegisterServerEntries(strPath.c_str());
        if (FAILED(hr)) return hr;
    }
    {
        CComInit init;
        hr = init.Result();
        if (FAILED(hr)) return hr;
        IFilterMapper2* pFM2 = nullptr;
        IFilterMapper* pFM = nullptr;
        hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              reinterpret_cast<void**>(&pFM2));
        if (FAILED(hr))
            hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                  reinterpret_cast<void**>(&pFM));
        for (int i = 0; SUCCEEDED(hr) && i < g_cTemplates; ++i) {
            const FactoryTemplate& t = g_FactoryTemplates[i];
            if (!t.m_pAMovieSetup_Filter) continue;
            hr = pFM2 ? RegisterWithMapper2(pFM2, t, bRegister) : RegisterWithMapper(pFM, t, bRegister);
        }
        SafeRelease(pFM2);
        SafeRelease(pFM);
        CoFreeUnusedLibraries();
    }
    if (SUCCEEDED(hr) && !bRegister) hr = UnregisterServerEntries();
    return hr;
}

HRESULT RegisterServersAndSetup() {
    std::u16string strPath;
    HRESULT hr = GetModulePath(strPath);
    if (FAILED(hr)) return hr;
    CComInit init;
    if (FAILED(init.Result())) return init.Result();
    for (int i = 0; i < g_cTemplates; ++i) {
        const FactoryTemplate& t = g_FactoryTemplates[i];
        hr = RegisterServerEntry(t, strPath.c_str());
        if (FAILED(hr)) break;
        if (!t.m_lpfnNew) continue;
        IAMovieSetup* pSetup = nullptr;
        hr = CreateSetup(t, &pSetup);
        if (FAILED(hr)) {
            if (NothingToSetUp(hr)) {
                hr = S_OK;
                continue;
            }
            break;
        }
        // Removing an earlier registration that is not there is no failure; any other is.
        hr = pSetup->Unregister();
        if (SUCCEEDED(hr) || hr == kFileNotFound) hr = pSetup->Register();
        pSetup->Release();
        if (FAILED(hr)) break;
    }
    CoFreeUnusedLibraries();
    return hr;
}

HRESULT UnregisterServersAndSetup() {
    CComInit init;
    if (FAILED(init.Result())) return init.Result();
    HRESULT hr = S_OK;
    for (int i = g_cTemplates - 1; i >= 0; --i) {
        const FactoryTemplate& t = g_FactoryTemplates[i];
        if (t.m_lpfnNew) {
            IAMovieSetup* pSetup = nullptr;
            hr = CreateSetup(t, &pSetup);
            if (SUCCEEDED(hr)) {
                hr = pSetup->Unregister();
                pSetup->Release();
                // Entries already gone leave nothing to remove.
                if (hr == kFileNotFound) hr = S_OK;
            } else if (NothingToSetUp(hr)) {
                hr = S_OK;
            }
            if (FAILED(hr)) break;
        }
        hr = UnregisterServerEntry(t);
        if (FAILED(hr)) break;
    }
    CoFreeUnusedLibraries();
    return hr;
}
