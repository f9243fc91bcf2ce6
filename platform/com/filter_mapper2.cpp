// CLSID_FilterMapper2: registers filters with version-1 or version-2 filter data in the
// registry under a category (the legacy filter category by default).
#include "filter_mapper_object.h"
#include "host/builtin_classes.h"
#include "host/filter_registry.h"
#include "plat/com.h"
#include "plat/registry.h"

namespace host {
namespace {

// Pin flags of version-2 filter data.
constexpr DWORD REG_PINFLAG_B_ZERO = 0x1;
constexpr DWORD REG_PINFLAG_B_RENDERER = 0x2;
constexpr DWORD REG_PINFLAG_B_MANY = 0x4;
constexpr DWORD REG_PINFLAG_B_OUTPUT = 0x8;

YRA_DEFINE_GUID(CLSID_ActiveMovieCategories, 0xDA4E3DA0, 0xD07D, 0x11D0, 0xBD, 0x50, 0x00, 0xA0, 0xC9, 0x11, 0xCE,
                0x86);

void AddTypes(RegisteredPin& pin, UINT count, const REGPINTYPES* types) {
    for (UINT i = 0; types && i < count; ++i)
        pin.types.push_back({types[i].clsMajorType ? *types[i].clsMajorType : GUID_NULL,
                             types[i].clsMinorType ? *types[i].clsMinorType : GUID_NULL});
}

RegisteredPin FromVersion1(const REGFILTERPINS& p) {
    RegisteredPin pin;
    pin.name = p.strName ? p.strName : u"";
    pin.rendered = p.bRendered;
    pin.output = p.bOutput;
    pin.zero = p.bZero;
    pin.many = p.bMany;
    pin.connectsToFilter = p.clsConnectsToFilter ? *p.clsConnectsToFilter : GUID_NULL;
    pin.connectsToPin = p.strConnectsToPin ? p.strConnectsToPin : u"";
    AddTypes(pin, p.nMediaTypes, p.lpMediaType);
    return pin;
}

RegisteredPin FromVersion2(const REGFILTERPINS2& p) {
    RegisteredPin pin;
    pin.rendered = p.dwFlags & REG_PINFLAG_B_RENDERER;
    pin.output = p.dwFlags & REG_PINFLAG_B_OUTPUT;
    pin.zero = p.dwFlags & REG_PINFLAG_B_ZERO;
    pin.many = p.dwFlags & REG_PINFLAG_B_MANY;
    pin.instances = p.cInstances;
    pin.category = p.clsPinCategory ? *p.clsPinCategory : GUID_NULL;
    AddTypes(pin, p.nMediaTypes, p.lpMediaType);
    for (UINT i = 0; p.lpMedium && i < p.nMediums; ++i)
        pin.mediums.push_back({p.lpMedium[i].clsMedium, p.lpMedium[i].dw1, p.lpMedium[i].dw2});
    return pin;
}

class FilterMapper2 final : public MapperObject<IFilterMapper2> {
public:
    FilterMapper2() : MapperObject(IID_IFilterMapper2) {}

    HRESULT CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit, LPCWSTR Description) override {
        OLECHAR text[GUID_STRING_CHARS], parent[GUID_STRING_CHARS];
        StringFromGUID2(clsidCategory, text, GUID_STRING_CHARS);
        StringFromGUID2(CLSID_ActiveMovieCategories, parent, GUID_STRING_CHARS);
        std::u16string path = u"CLSID\\" + std::u16string(parent) + u"\\Instance\\" + text;
        HKEY key = nullptr;
        LONG err =
            RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (err != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err);
        std::u16string name = Description ? Description : u"";
        err = RegSetValueExW(key, u"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                             DWORD((name.size() + 1) * 2));
        if (err == ERROR_SUCCESS)
            err = RegSetValueExW(key, u"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
        if (err == ERROR_SUCCESS)
            err = RegSetValueExW(key, u"Merit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwCategoryMerit), 4);
        RegCloseKey(key);
        return HRESULT_FROM_WIN32(err);
    }

    HRESULT UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance, REFCLSID Filter) override {
        return RemoveRegisteredFilter(pclsidCategory, szInstance, Filter);
    }

    // No moniker is handed back: *ppMoniker is cleared when asked for.
    HRESULT RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker, const CLSID* pclsidCategory,
                           LPCOLESTR szInstance, const REGFILTER2* prf2) override {
        if (!prf2 || !Name) return E_POINTER;
        if (ppMoniker && *ppMoniker) return E_NOTIMPL;
        if (prf2->dwVersion != 1 && prf2->dwVersion != 2) return E_INVALIDARG;
        RegisteredFilter filter;
        filter.name = Name;
        filter.clsid = clsidFilter;
        filter.version = prf2->dwVersion;
        filter.merit = prf2->dwMerit;
        if (prf2->dwVersion == 1) {
            for (ULONG i = 0; prf2->rgPins && i < prf2->cPins; ++i) filter.pins.push_back(FromVersion1(prf2->rgPins[i]));
        } else {
            for (ULONG i = 0; prf2->rgPins2 && i < prf2->cPins2; ++i)
                filter.pins.push_back(FromVersion2(prf2->rgPins2[i]));
        }
        return WriteRegisteredFilter(pclsidCategory, szInstance, filter);
    }

    HRESULT EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD, BOOL, DWORD, BOOL, DWORD, const GUID*,
                                const REGPINMEDIUM*, const CLSID*, BOOL, BOOL, DWORD, const GUID*,
                                const REGPINMEDIUM*, const CLSID*) override {
        if (ppEnum) *ppEnum = nullptr;
        return E_NOTIMPL;
    }
};

BuiltinClassRegistrar g_registrar(CLSID_FilterMapper2, &MapperObject<IFilterMapper2>::Create<FilterMapper2>);

} // namespace
} // namespace host
