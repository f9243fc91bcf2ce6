// The words the device holds when it powers on: a 1920 x 1080 progressive 60 input with the
// SDK's default settings already written, so that writing the defaults again changes nothing.
#include "device_image.h"
#include "host/device_model.h"
#include "property_table.h"
#include "property_words.h"

#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

namespace host {
namespace {

using Words = std::initializer_list<std::pair<ULONG, uint32_t>>; // (byte offset, value)

struct WordPlace {
    const GUID* set;
    ULONG id;
    size_t offset;
    size_t size;
};

// Where each stored property's words sit in the block: the table's order, then the power line.
const std::vector<WordPlace>& Places() {
    static const std::vector<WordPlace> places = [] {
        std::vector<WordPlace> table;
        size_t next = 0;
        for (const PropertyInfo& info : AllProperties()) {
            if (info.kind != PropertyKind::Words) continue;
            table.push_back({info.set, info.id, next, info.size});
            next += info.size;
        }
        // The power-line value is kept as one word.
        table.push_back(
            {&PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, next, 4});
        return table;
    }();
    return places;
}

void Put(DeviceImage& image, REFGUID set, ULONG id, Words words) {
    std::span<uint8_t> bytes = StoredWords(image, set, id);
    for (auto [offset, value] : words)
        if (offset + 4 <= bytes.size()) WriteWord(bytes.data(), offset, value);
}

} // namespace

std::span<uint8_t> StoredWords(DeviceImage& image, REFGUID set, ULONG id) {
    for (const WordPlace& place : Places())
        if (*place.set == set && place.id == id && place.offset + place.size <= kDeviceWordBytes)
            return {image.words + place.offset, place.size};
    return {};
}

std::span<const uint8_t> StoredWords(const DeviceImage& image, REFGUID set, ULONG id) {
    return StoredWords(const_cast<DeviceImage&>(image), set, id);
}

void PowerOn(DeviceImage& image, const DeviceConfig& config, uint64_t configHash) {
    image.magic = kDeviceImageMagic;
    image.layout = kDeviceImageLayout;
    image.configHash = configHash;
    image.writing = 0;
    image.firmwareMajor = config.firmwareMajor;
    image.firmwareMinor = config.firmwareMinor;
    image.hdmiCode = config.hdmiCode;
    image.chipId = config.chipId;
    image.mcuCommand = -1;
    image.identificationAddress = 0x38;
    image.identificationCommand = 1;
    image.mjpgFrameRate = 30;
    std::memset(image.words, 0, sizeof image.words);

    const GUID& enc = PROPSETID_HDC_ENCODER;
    const GUID& dev = PROPSETID_HDC_DEVICE;
    Put(image, enc, 72, {{4, 1}});
    Put(image, enc, 0, {{36, 1}, {40, 3}, {44, 2}, {48, 12}, {52, 1}, {56, 1}, {60, 0}}); // 40: audio on
    Put(image, enc, 1, {{16, 1920}, {24, 1080}});                                         // input size
    Put(image, enc, 8, {{0, 1920}, {4, 1080}});                                           // encode size
    Put(image, dev, 25, {{0, 11}});
    // Scan mode 2 (progressive, high rate), 60 in, 30 out, not interlaced.
    Put(image, enc, 2, {{40, 2}, {44, 1}, {48, 17}, {52, 3}, {60, 60}, {64, 30}, {68, 0}});
    Put(image, enc, 3, {{20, 30000}, {24, 1920 >> 4}}); // bit rate, input width / 16
    Put(image, enc, 4, {{0, 30000}, {4, 30000}});       // second and third bit rate
    Put(image, enc, 5, {{36, 30}});                     // 36: GOP size
    Put(image, enc, 70, {{0, 0x80000011}});             // audio nibble 1
    Put(image, enc, 71, {{8, 1}, {24, 1}});
    Put(image, enc, 11, {{0, 128}, {8, 1}, {56, 2}}); // 8: 48 kHz
    Put(image, enc, 67, {{0, 1920 >> 4}});
    Put(image, dev, 33, {{0, 20}});
    Put(image, enc, 86, {{0, 10}}); // volume
    Put(image, PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, {{0, 2}}); // 60 Hz
}

void PlugIn(DeviceImage& image, const DeviceConfig& config, uint64_t configHash) {
    PowerOn(image, config, configHash);
    image.plugCount = image.plugCount.load() + 1;
    image.plugged = 1;
}

} // namespace host
