// Kernel-streaming property interfaces of a device's filter object and the property sets
// the system uses.
#pragma once

#include "plat/unknown.h"

YRA_DEFINE_GUID(IID_IKsPropertySet, 0x31EFAC30, 0x515C, 0x11D0, 0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93);
YRA_DEFINE_GUID(IID_IKsControl, 0x28F54685, 0x06FD, 0x11D2, 0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96);

// The device's own sets.
YRA_DEFINE_GUID(PROPSETID_HDC_ENCODER, 0xFAE408DC, 0xE1D4, 0x472B, 0xAC, 0x63, 0x9A, 0x99, 0xA1, 0x55, 0x41, 0x0D);
YRA_DEFINE_GUID(PROPSETID_HDC_DEVICE, 0x01A87F1D, 0xCE97, 0x4ACB, 0x9B, 0x39, 0xB1, 0x91, 0x64, 0x07, 0xC3, 0x6C);
// The standard video proc-amp set (its property 13 is the power-line frequency).
YRA_DEFINE_GUID(PROPSETID_VIDCAP_VIDEOPROCAMP, 0xC6E13360, 0x30AC, 0x11D0, 0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89,
                0x56);
// Topology-node sets: node 2 identification, node 4 encoder settings.
YRA_DEFINE_GUID(PROPSETID_EXT_NODE2, 0xB0E82E34, 0xAEE3, 0x4981, 0x9F, 0xD4, 0xED, 0x8C, 0xDB, 0xFB, 0x7E, 0x19);
YRA_DEFINE_GUID(PROPSETID_EXT_NODE4, 0xB1F82F34, 0xAEF3, 0x4981, 0x9F, 0xD4, 0xED, 0x8C, 0xDB, 0xFB, 0x7E, 0x19);

// Results of a request for a property set or property that the device does not have.
#define E_PROP_ID_UNSUPPORTED _HRESULT_TYPEDEF_(0x80070490)  // HRESULT_FROM_WIN32(ERROR_NOT_FOUND)
#define E_PROP_SET_UNSUPPORTED _HRESULT_TYPEDEF_(0x80070492) // HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND)

// Support flags that QuerySupported reports.
#define KSPROPERTY_SUPPORT_GET 1
#define KSPROPERTY_SUPPORT_SET 2

// Request flags of a KSPROPERTY header.
#define KSPROPERTY_TYPE_GET 0x00000001
#define KSPROPERTY_TYPE_SET 0x00000002
#define KSPROPERTY_TYPE_BASICSUPPORT 0x00000200
#define KSPROPERTY_TYPE_TOPOLOGY 0x10000000

#define KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY 13

struct KSIDENTIFIER {
    GUID Set;
    ULONG Id;
    ULONG Flags;
};
using KSPROPERTY = KSIDENTIFIER;
using PKSPROPERTY = KSPROPERTY*;
using KSMETHOD = KSIDENTIFIER;
using KSEVENT = KSIDENTIFIER;
static_assert(sizeof(KSPROPERTY) == 24);

struct KSP_NODE {
    KSPROPERTY Property;
    ULONG NodeId;
    ULONG Reserved;
};
static_assert(sizeof(KSP_NODE) == 32);

struct KSPROPERTY_VIDEOPROCAMP_S {
    KSPROPERTY Property;
    LONG Value;
    ULONG Flags;
    ULONG Capabilities;
};
static_assert(sizeof(KSPROPERTY_VIDEOPROCAMP_S) == 36);

struct IKsPropertySet : IUnknown {
    virtual HRESULT Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                        LPVOID pPropData, DWORD cbPropData) = 0;
    virtual HRESULT Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                        LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) = 0;
    virtual HRESULT QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) = 0;

protected:
    ~IKsPropertySet() = default;
};

struct IKsControl : IUnknown {
    virtual HRESULT KsProperty(PKSPROPERTY Property, ULONG PropertyLength, LPVOID PropertyData, ULONG DataLength,
                               ULONG* BytesReturned) = 0;
    virtual HRESULT KsMethod(KSMETHOD* Method, ULONG MethodLength, LPVOID MethodData, ULONG DataLength,
                             ULONG* BytesReturned) = 0;
    virtual HRESULT KsEvent(KSEVENT* Event, ULONG EventLength, LPVOID EventData, ULONG DataLength,
                            ULONG* BytesReturned) = 0;

protected:
    ~IKsControl() = default;
};
