// The tools' stream probe: real streams are recognised wherever their first whole packet starts,
// chance sync bytes are not, and time-coded 192-byte packets are named.
#include "toolfilters/stream_probe.h"

#include "plat/media.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Packets(int count, size_t stride = 188) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        Bytes packet(stride, 0xFF);
        packet[stride - 188] = 0x47;
        packet[stride - 188 + 1] = 0x40;
        packet[stride - 188 + 2] = 0x44;
        packet[stride - 188 + 3] = static_cast<uint8_t>(0x10 | (i & 0x0F));
        out.insert(out.end(), packet.begin(), packet.end());
    }
    return out;
}

host::StreamProbe Probe(const Bytes& b) {
    return host::ProbeStream(b.data(), b.size());
}

TEST(StreamProbe, RecognisesStreamsFromTheirFirstWholePacket) {
    host::StreamProbe probe = Probe(Packets(10));
    EXPECT_EQ(probe.subtype, MEDIASUBTYPE_MPEG2_TRANSPORT);
    EXPECT_TRUE(probe.recognised);
    EXPECT_EQ(probe.offset, 0u);

    Bytes cut = Packets(10);
    cut.erase(cut.begin(), cut.begin() + 100);
    probe = Probe(cut);
    EXPECT_TRUE(probe.recognised);
    EXPECT_EQ(probe.offset, 88u);

    probe = Probe(Packets(1));
    EXPECT_TRUE(probe.recognised) << "a file of one packet";

    const Bytes pack = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
    Bytes ps(7, 0x00);
    ps.insert(ps.end(), pack.begin(), pack.end());
    probe = Probe(ps);
    EXPECT_EQ(probe.subtype, MEDIASUBTYPE_MPEG2_PROGRAM);
    EXPECT_TRUE(probe.recognised);
    EXPECT_EQ(probe.offset, 7u);
}

TEST(StreamProbe, ChanceSyncBytesAreTriedButNotRecognised) {
    const std::string text = "Good bye";
    host::StreamProbe probe = Probe(Bytes(text.begin(), text.end()));
    EXPECT_EQ(probe.subtype, MEDIASUBTYPE_MPEG2_TRANSPORT);
    EXPECT_FALSE(probe.recognised);

    // One whole "packet" at the very end of a long file is no stream either.
    Bytes tail(188 * 40, 0x00);
    tail[188 * 39] = 0x47;
    EXPECT_FALSE(Probe(tail).recognised);

    std::mt19937 random(188);
    for (int i = 0; i < 20; ++i) {
        Bytes noise(50 * 1024);
        for (uint8_t& b : noise)
            b = static_cast<uint8_t>(random());
        EXPECT_FALSE(Probe(noise).recognised) << "random file " << i;
    }
}

TEST(StreamProbe, NamesTimecodedPackets) {
    host::StreamProbe probe = Probe(Packets(10, 192));
    EXPECT_TRUE(probe.timecodedPackets);
    EXPECT_EQ(probe.subtype, GUID_NULL);
    EXPECT_EQ(probe.offset, 0u);
    EXPECT_FALSE(Probe(Packets(10)).timecodedPackets);
}

} // namespace
