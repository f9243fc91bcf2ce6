#include "host/unknown_impl.h"
#include "enum_filters.h"

#include "com_ptr.h"

#include <atomic>
#include <new>

namespace host {
namespace {

class FilterEnumerator final : public UnknownImpl<IEnumFilters> {
public:
    explicit FilterEnumerator(std::vector<ComPtr<IBaseFilter>> filters, size_t position = 0)
        : UnknownImpl(IID_IEnumFilters), m_filters(std::move(filters)), m_position(position) {}


    HRESULT Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) override {
        if (!ppFilter) return E_POINTER;
        if (!pcFetched && cFilters != 1) return E_INVALIDARG;
        ULONG cFetched = 0;
        while (cFetched < cFilters && m_position < m_filters.size()) {
            ppFilter[cFetched++] = ComPtr<IBaseFilter>(m_filters[m_position++]).Detach();
        }
        if (pcFetched) *pcFetched = cFetched;
        return cFetched == cFilters ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG cFilters) override {
        if (cFilters > m_filters.size() - m_position) {
            m_position = m_filters.size();
            return S_FALSE;
        }
        m_position += cFilters;
        return S_OK;
    }
    HRESULT Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumFilters** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = nullptr;
        try {
            auto* clone = new FilterEnumerator(m_filters, m_position);
            clone->AddRef();
            *ppEnum = clone;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    ~FilterEnumerator() = default;
    std::vector<ComPtr<IBaseFilter>> m_filters;
    size_t m_position;
};

} // namespace

HRESULT CreateFilterEnumerator(const std::vector<IBaseFilter*>& filters, IEnumFilters** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    try {
        std::vector<ComPtr<IBaseFilter>> held;
        for (IBaseFilter* f : filters) held.emplace_back(f);
        auto* e = new FilterEnumerator(std::move(held));
        e->AddRef();
        *ppEnum = e;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace host
