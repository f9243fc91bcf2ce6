// CLSID_FilterMapper: the older mapper, which builds a filter's registration one call at a
// time (filter, then each pin, then each pin's types). It keeps the same store as
// CLSID_FilterMapper2, always in the legacy filter category.
#include "filter_mapper_object.h"
#include "host/builtin_classes.h"
#include "host/filter_registry.h"
#include "plat/registry.h"

namespace host {
namespace {

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x -= 0x20;
        if (y >= u'a' && y <= u'z') y -= 0x20;
        if (x != y) return false;
    }
    return true;
}

const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

class FilterMapper final : public MapperObject<IFilterMapper> {
public:
    FilterMapper() : MapperObject(IID_IFilterMapper) {}

    HRESULT RegisterFilter(CLSID clsid, LPCWSTR Name, DWORD dwMerit) override {
        if (!Name) return E_POINTER;
        RegisteredFilter filter;
        filter.name = Name;
        filter.clsid = clsid;
        filter.merit = dwMerit;
        return WriteRegisteredFilter(nullptr, nullptr, filter);
    }
    HRESULT RegisterFilterInstance(CLSID, LPCWSTR, CLSID*) override { return E_NOTIMPL; }

    HRESULT RegisterPin(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput, BOOL bZero, BOOL bMany,
                        CLSID ConnectsToFilter, LPCWSTR ConnectsToPin) override {
        if (!Name) return E_POINTER;
        return Update(Filter, [&](RegisteredFilter& filter) {
            // A pin without a name cannot be named again, so each one is a pin of its own.
            RegisteredPin* pin = *Name ? FindPin(filter, Name) : nullptr;
            if (!pin) pin = &filter.pins.emplace_back();
            *pin = RegisteredPin{};
            pin->name = Name;
            pin->rendered = bRendered;
            pin->output = bOutput;
            pin->zero = bZero;
            pin->many = bMany;
            pin->connectsToFilter = ConnectsToFilter;
            pin->connectsToPin = ConnectsToPin ? ConnectsToPin : u"";
            return S_OK;
        });
    }

    HRESULT RegisterPinType(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType, CLSID clsSubType) override {
        if (!strName) return E_POINTER;
        return Update(clsFilter, [&](RegisteredFilter& filter) {
            RegisteredPin* pin = FindPin(filter, strName);
            if (!pin) return kNotFound;
            pin->types.push_back({clsMajorType, clsSubType});
            return S_OK;
        });
    }

    HRESULT UnregisterFilter(CLSID Filter) override { return RemoveRegisteredFilter(nullptr, nullptr, Filter); }
    HRESULT UnregisterFilterInstance(CLSID) override { return E_NOTIMPL; }

    HRESULT UnregisterPin(CLSID Filter, LPCWSTR Name) override {
        if (!Name) return E_POINTER;
        return Update(Filter, [&](RegisteredFilter& filter) {
            for (auto it = filter.pins.begin(); it != filter.pins.end(); ++it) {
                if (!SameName(it->name, Name)) continue;
                filter.pins.erase(it);
                return S_OK;
            }
            return kNotFound;
        });
    }

    HRESULT EnumMatchingFilters(IEnumRegFilters** ppEnum, DWORD, BOOL, CLSID, CLSID, BOOL, BOOL, CLSID,
                                CLSID) override {
        if (ppEnum) *ppEnum = nullptr;
        return E_NOTIMPL;
    }

private:
    // The pin of that name registered last, so that an unnamed pin's types go to the unnamed
    // pin registered just before them.
    static RegisteredPin* FindPin(RegisteredFilter& filter, std::u16string_view name) {
        for (auto it = filter.pins.rbegin(); it != filter.pins.rend(); ++it)
            if (SameName(it->name, name)) return &*it;
        return nullptr;
    }

    // Reads the filter's record, lets `change` edit it and writes it back.
    template <class Fn> static HRESULT Update(REFCLSID clsid, Fn change) {
        RegisteredFilter filter;
        HRESULT hr = ReadRegisteredFilter(nullptr, nullptr, clsid, &filter);
        if (FAILED(hr)) return hr;
        hr = change(filter);
        if (FAILED(hr)) return hr;
        return WriteRegisteredFilter(nullptr, nullptr, filter);
    }
};

BuiltinClassRegistrar g_registrar(CLSID_FilterMapper, &MapperObject<IFilterMapper>::Create<FilterMapper>);

} // namespace
} // namespace host
