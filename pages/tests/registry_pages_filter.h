// The control filter of a device model with the pages filed in the registry for the proc-amp
// set, answered through ISpecifyPropertyPages as the device's filter proxy answers them.
#pragma once

#include "host/device_ks.h"
#include "plat/com.h"
#include "plat/registry.h"

#include <atomic>
#include <vector>

namespace page_testing {

class RegistryPagesFilter final : public ISpecifyPropertyPages {
public:
    explicit RegistryPagesFilter(IBaseFilter* inner) : m_inner(inner) { m_inner->AddRef(); }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISpecifyPropertyPages) {
            *ppv = static_cast<ISpecifyPropertyPages*>(this);
            AddRef();
            return S_OK;
        }
        return m_inner->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) {
            m_inner->Release();
            delete this;
        }
        return n;
    }

    HRESULT GetPages(CAUUID* pages) override {
        OLECHAR set[GUID_STRING_CHARS];
        StringFromGUID2(PROPSETID_VIDCAP_VIDEOPROCAMP, set, GUID_STRING_CHARS);
        std::u16string path = u"System\\CurrentControlSet\\Control\\MediaSets\\" + std::u16string(set) +
                              u"\\PropertyPages";
        std::vector<CLSID> found;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            for (DWORD i = 0;; ++i) {
                WCHAR name[GUID_STRING_CHARS + 1];
                DWORD cch = GUID_STRING_CHARS + 1;
                if (RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
                CLSID clsid{};
                if (SUCCEEDED(CLSIDFromString(name, &clsid))) found.push_back(clsid);
            }
            RegCloseKey(key);
        }
        pages->cElems = static_cast<ULONG>(found.size());
        pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(found.size() * sizeof(GUID) + 1));
        std::copy(found.begin(), found.end(), pages->pElems);
        return S_OK;
    }

private:
    ~RegistryPagesFilter() = default;
    IBaseFilter* m_inner;
    std::atomic<ULONG> m_refs{1};
};

} // namespace page_testing
