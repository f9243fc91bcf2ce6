// Maps the multiplexed loop's transport packets for the streamer.
#pragma once

#include "platform/devices/encoder/encoded_loop.h"

namespace host::encoder {

// Fills `loop.packets` and `loop.chunks` from `loop.bytes`, and checks what repeating relies on:
// whole packets, one PES with a time stamp per frame, and frame times that follow the plan.
Status IndexLoop(EncodedLoop& loop);

} // namespace host::encoder
