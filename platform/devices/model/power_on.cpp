// The words the device holds when it powers on: a 1920 x 1080 progressive 60 input with the
// SDK's default settings already written, so that writing the defaults again changes nothing.
#include "device_state.h"
#include "property_table.h"
#include "property_words.h"

#include <initializer_list>
#include <utility>

namespace host {
namespace {

using Words = std::initializer_list<std::pair<ULONG, uint32_t>>; // (byte offset, value)

void Put(PropertyStore& store, REFGUID set, ULONG id, Words words) {
    std::vector<uint8_t>& bytes = store[{set, id}];
    for (auto [offset, value] : words)
        WriteWord(bytes.data(), offset, value);
}

} // namespace

PropertyStore PowerOnStore() {
    PropertyStore store;
    for (const PropertyInfo& info : AllProperties()) {
        if (info.kind == PropertyKind::Words) store[{*info.set, info.id}].assign(info.size, 0);
    }
    // The power-line value is kept as one word.
    store[{PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY}].assign(4, 0);

    const GUID& enc = PROPSETID_HDC_ENCODER;
    const GUID& dev = PROPSETID_HDC_DEVICE;
    Put(store, enc, 72, {{4, 1}});
    Put(store, enc, 0, {{36, 1}, {40, 3}, {44, 2}, {48, 12}, {52, 1}, {56, 1}, {60, 0}}); // 40: audio on
    Put(store, enc, 1, {{16, 1920}, {24, 1080}});                                         // input size
    Put(store, enc, 8, {{0, 1920}, {4, 1080}});                                           // encode size
    Put(store, dev, 25, {{0, 11}});
    // Scan mode 2 (progressive, high rate), 60 in, 30 out, not interlaced.
    Put(store, enc, 2, {{40, 2}, {44, 1}, {48, 17}, {52, 3}, {60, 60}, {64, 30}, {68, 0}});
    Put(store, enc, 3, {{20, 30000}, {24, 1920 >> 4}}); // bit rate, input width / 16
    Put(store, enc, 4, {{0, 30000}, {4, 30000}});       // second and third bit rate
    Put(store, enc, 5, {{36, 30}});                     // 36: GOP size
    Put(store, enc, 70, {{0, 0x80000011}});             // audio nibble 1
    Put(store, enc, 71, {{8, 1}, {24, 1}});
    Put(store, enc, 11, {{0, 128}, {8, 1}, {56, 2}}); // 8: 48 kHz
    Put(store, enc, 67, {{0, 1920 >> 4}});
    Put(store, dev, 33, {{0, 20}});
    Put(store, enc, 86, {{0, 10}}); // volume
    Put(store, PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, {{0, 2}}); // 60 Hz
    return store;
}

} // namespace host
