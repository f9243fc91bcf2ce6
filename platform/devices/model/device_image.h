// Everything a powered device holds, as one fixed block of plain words: the words behind every
// stored property, the MCU's last request and its answers, the identification latch, and whether
// the device is plugged in. The block is what a device's state file maps, so its layout is the
// same in every process; nothing in it may point anywhere.
#pragma once

#include "plat/types.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace host {

struct DeviceConfig;

inline constexpr uint32_t kDeviceImageMagic = 0x44415259; // "YRAD"
inline constexpr uint32_t kDeviceImageLayout = 1;         // raise when the block changes
inline constexpr size_t kDeviceWordBytes = 1024;          // room for every stored property

struct DeviceImage {
    uint32_t magic;
    uint32_t layout;
    uint64_t configHash; // of the devices.conf line the device powered on from
    // Read without the lock by a streaming thread, written under it.
    std::atomic<uint32_t> plugged;   // 0 once unplugged
    std::atomic<uint32_t> plugCount; // raised at every plug-in: older handles are stale
    // Set while a write is under way; still set under the lock means its writer died mid-way.
    uint32_t writing;
    uint32_t firmwareMajor;
    uint32_t firmwareMinor;
    uint32_t hdmiCode;
    uint32_t chipId;
    int32_t mcuCommand; // -1 before the first request
    uint32_t identificationAddress;
    uint32_t identificationCommand;
    uint32_t mjpgFrameRate;
    uint8_t words[kDeviceWordBytes];
};

static_assert(std::atomic<uint32_t>::is_always_lock_free, "the plug words are shared between processes");

// Takes the values the device has after power-on, for `config`; the plug words are left alone.
void PowerOn(DeviceImage& image, const DeviceConfig& config, uint64_t configHash);
// Powers on as a device plugged in anew: handles to it from before are stale.
void PlugIn(DeviceImage& image, const DeviceConfig& config, uint64_t configHash);

// The bytes of a stored property in the block; empty for a property without words of its own.
std::span<uint8_t> StoredWords(DeviceImage& image, REFGUID set, ULONG id);
std::span<const uint8_t> StoredWords(const DeviceImage& image, REFGUID set, ULONG id);

} // namespace host
