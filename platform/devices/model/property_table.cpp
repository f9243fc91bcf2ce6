#include "property_table.h"

namespace host {
namespace {

constexpr DWORD GET = KSPROPERTY_SUPPORT_GET;
constexpr DWORD SET = KSPROPERTY_SUPPORT_SET;
constexpr DWORD GET_SET = GET | SET;

// The 40-byte request record of the power-line property: KSPROPERTY_VIDEOPROCAMP_S and a spare word.
constexpr ULONG POWER_LINE_RECORD = sizeof(KSPROPERTY_VIDEOPROCAMP_S) + 4;

constexpr PropertySetInfo kSets[] = {
    {&PROPSETID_HDC_ENCODER, std::nullopt},
    {&PROPSETID_HDC_DEVICE, std::nullopt},
    {&PROPSETID_VIDCAP_VIDEOPROCAMP, std::nullopt},
    {&PROPSETID_EXT_NODE2, 2},
    {&PROPSETID_EXT_NODE4, 4},
};

constexpr PropertyInfo kProperties[] = {
    {&PROPSETID_HDC_ENCODER, 0, 80, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 1, 32, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 2, 92, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 3, 48, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 4, 16, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 5, 84, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 7, 28, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 8, 16, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 11, 68, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 12, 60, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 25, 20, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 67, 4, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 70, 4, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 71, 40, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 72, 16, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_ENCODER, 86, 4, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_DEVICE, 0, 74, SET, PropertyKind::McuRequest},
    {&PROPSETID_HDC_DEVICE, 2, 83, GET, PropertyKind::McuReply},
    {&PROPSETID_HDC_DEVICE, 5, 8, GET, PropertyKind::RegisterRead},
    {&PROPSETID_HDC_DEVICE, 25, 4, GET_SET, PropertyKind::Words},
    {&PROPSETID_HDC_DEVICE, 33, 4, GET_SET, PropertyKind::Words},
    {&PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, POWER_LINE_RECORD, GET_SET,
     PropertyKind::PowerLine},
    {&PROPSETID_EXT_NODE2, NODE2_IDENTIFICATION, 8, GET_SET, PropertyKind::Identification},
    {&PROPSETID_EXT_NODE4, NODE4_PICTURE_SIZE, 8, GET_SET, PropertyKind::NodeEncoder},
    {&PROPSETID_EXT_NODE4, NODE4_FRAME_RATES, 8, GET_SET, PropertyKind::NodeEncoder},
    {&PROPSETID_EXT_NODE4, NODE4_BIT_RATE, 8, GET_SET, PropertyKind::NodeEncoder},
    {&PROPSETID_EXT_NODE4, NODE4_GOP_SIZE, 8, GET_SET, PropertyKind::NodeEncoder},
};

} // namespace

std::span<const PropertyInfo> AllProperties() {
    return kProperties;
}

const PropertySetInfo* FindPropertySet(REFGUID set) {
    for (const PropertySetInfo& info : kSets)
        if (*info.set == set) return &info;
    return nullptr;
}

const PropertyInfo* FindProperty(REFGUID set, ULONG id) {
    for (const PropertyInfo& info : kProperties)
        if (*info.set == set && info.id == id) return &info;
    return nullptr;
}

} // namespace host
