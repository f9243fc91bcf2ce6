// One fuzz input through the parser and both deliveries, shared by the fuzz target and the
// regression test over the committed corpus.
#pragma once

#include <cstddef>
#include <cstdint>

// The first two bytes choose how the rest is cut into samples (and which audio rate is set);
// the rest is the stream. Traps on a broken invariant; returns 0.
int DemuxFuzzOne(const uint8_t* pbData, size_t cbData);
