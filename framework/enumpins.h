// Enumerates a filter's pins. It keeps the filter alive and never returns a pin twice, even
// when the filter's pin set changes underneath it.
#pragma once

#include "framework/basefilter.h"

#include <vector>

class CEnumPins final : public IEnumPins {
public:
    // A fresh enumerator, or a copy of pEnumPins when one is given.
    CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins);
    CEnumPins(const CEnumPins&) = delete;
    CEnumPins& operator=(const CEnumPins&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    HRESULT Skip(ULONG cPins) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumPins** ppEnum) override;

private:
    ~CEnumPins();
    BOOL AreWeOutOfSync() const { return m_pFilter->GetPinVersion() != m_Version; }

    int m_Position = 0;
    int m_PinCount = 0;
    CBaseFilter* const m_pFilter;
    LONG m_Version = 0;
    volatile LONG m_cRef = 1;
    std::vector<CBasePin*> m_PinCache;
};
