// Enumerates the media types a pin offers, handing each out as a caller-owned record.
#pragma once

#include "framework/basepin.h"

class CEnumMediaTypes final : public IEnumMediaTypes {
public:
    // A fresh enumerator, or a copy of pEnumMediaTypes when one is given.
    CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes);
    CEnumMediaTypes(const CEnumMediaTypes&) = delete;
    CEnumMediaTypes& operator=(const CEnumMediaTypes&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    HRESULT Skip(ULONG cMediaTypes) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** ppEnum) override;

private:
    ~CEnumMediaTypes();
    BOOL AreWeOutOfSync() const { return m_pPin->GetMediaTypeVersion() != m_Version; }

    int m_Position = 0;
    CBasePin* const m_pPin;
    LONG m_Version = 0;
    volatile LONG m_cRef = 1;
};
