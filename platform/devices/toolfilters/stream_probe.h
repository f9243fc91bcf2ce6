// Looks at the head of a file to tell an MPEG-2 transport stream from a program stream and to
// find the sampling rate of its AAC audio, so the file source can describe what it delivers.
#pragma once

#include "plat/types.h"

#include <cstddef>
#include <cstdint>

namespace host {

struct StreamProbe {
    // MEDIASUBTYPE_MPEG2_TRANSPORT, MEDIASUBTYPE_MPEG2_PROGRAM, or GUID_NULL for neither.
    GUID subtype = GUID_NULL;
    // Where the first packet begins (bytes before it are not part of the stream).
    size_t offset = 0;
    // Sampling rate of the first ADTS header of the audio stream (transport packets whose
    // identifier ends in 0x45, program-stream id 0xC0), or 0 when none was seen.
    uint32_t audioRate = 0;
    // True when the head really looks like the stream: a pack header, or five transport packets
    // in sync (as many as a shorter head holds). False for a chance match, such as a lone 0x47
    // ('G') in a text file.
    bool recognised = false;
    // Set (subtype GUID_NULL) when the head is a run of 192-byte packets: 188-byte transport
    // packets each behind a 4-byte time code, which the demultiplexer does not read.
    bool timecodedPackets = false;
};

StreamProbe ProbeStream(const uint8_t* data, size_t size);

// The capture device's sampling-rate code for a rate, or -1 when the device has none.
int DeviceRateCode(uint32_t rate);

} // namespace host
