// What the device offers: its property sets, where they live (the filter or a topology node),
// and each property's size, direction and kind.
#pragma once

#include "plat/ks.h"

#include <optional>
#include <span>

namespace host {

enum class PropertyKind {
    Words,          // stored words, read and written whole
    McuRequest,     // DEV 0: posts a request to the MCU
    McuReply,       // DEV 2: the MCU's answer to the last request
    RegisterRead,   // DEV 5: word 0 address in, word 1 value out
    Identification, // node 2: latches an address, answers its register
    NodeEncoder,    // node 4: a view on the encoder words
    PowerLine,      // video proc-amp 13: KSPROPERTY_VIDEOPROCAMP_S record
};

struct PropertyInfo {
    const GUID* set;
    ULONG id;
    ULONG size;    // the least buffer the device accepts
    DWORD support; // KSPROPERTY_SUPPORT_GET / _SET
    PropertyKind kind;
};

struct PropertySetInfo {
    const GUID* set;
    std::optional<ULONG> node; // empty for a filter-level set
};

// Node-4 property ids.
constexpr ULONG NODE4_PICTURE_SIZE = 1;
constexpr ULONG NODE4_FRAME_RATES = 2;
constexpr ULONG NODE4_BIT_RATE = 3;
constexpr ULONG NODE4_GOP_SIZE = 5;
constexpr ULONG NODE2_IDENTIFICATION = 3;

std::span<const PropertyInfo> AllProperties();
const PropertySetInfo* FindPropertySet(REFGUID set);
const PropertyInfo* FindProperty(REFGUID set, ULONG id);

} // namespace host
