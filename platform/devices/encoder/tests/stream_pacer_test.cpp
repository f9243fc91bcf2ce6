// Pacing by a clock with a prompt stop, on its own and driving a streamer as the device filter's
// streaming thread will.
#include "platform/devices/encoder/stream_pacer.h"
#include "platform/devices/encoder/transport_streamer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace host::encoder;
using namespace std::chrono_literals;

namespace {

constexpr REFERENCE_TIME kMillisecond = 10'000;

// A clock that moves only when the test says so, or fails on demand.
class ManualClock final : public StreamClock {
public:
    HRESULT GetStreamTime(REFERENCE_TIME* now) override {
        if (FAILED(failure)) return failure;
        *now = time;
        return S_OK;
    }
    std::atomic<REFERENCE_TIME> time{0};
    std::atomic<HRESULT> failure{S_OK};
};

TEST(StreamPacing, ReturnsWhenTheClockReachesTheTime) {
    SteadyStreamClock clock;
    StopSignal stop;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForStreamTime(clock, 40 * kMillisecond, stop), S_OK);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, 40ms);
    EXPECT_LT(waited, 200ms); // generous: the machine is shared
    REFERENCE_TIME now = 0;
    ASSERT_EQ(clock.GetStreamTime(&now), S_OK);
    EXPECT_GE(now, 40 * kMillisecond);

    // A time already past does not wait at all.
    EXPECT_EQ(WaitForStreamTime(clock, 0, stop), S_OK);
}

TEST(StreamPacing, FollowsAClockThatIsNotTheSystemClock) {
    ManualClock clock;
    StopSignal stop;
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        EXPECT_EQ(WaitForStreamTime(clock, 1000 * kMillisecond, stop), S_OK);
        done = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(done);
    clock.time = 1000 * kMillisecond; // the graph's clock jumps; the wait notices within a slice
    const auto moved = std::chrono::steady_clock::now();
    waiter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - moved, 100ms);
}

TEST(StreamPacing, StopEndsAWaitAtOnce) {
    ManualClock clock;
    StopSignal stop;
    std::chrono::steady_clock::time_point raised;
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        raised = std::chrono::steady_clock::now();
        stop.Raise();
    });
    EXPECT_EQ(WaitForStreamTime(clock, 3600 * 1000 * kMillisecond, stop), S_FALSE);
    const auto returned = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_LT(returned - raised, 100ms);

    // A raised signal stays raised until reset.
    EXPECT_EQ(WaitForStreamTime(clock, 0, stop), S_FALSE);
    stop.Reset();
    EXPECT_EQ(WaitForStreamTime(clock, 0, stop), S_OK);
}

TEST(StreamPacing, ClockFailureEndsTheWaitWithItsCode) {
    ManualClock clock;
    clock.failure = E_UNEXPECTED;
    StopSignal stop;
    EXPECT_EQ(WaitForStreamTime(clock, 10 * kMillisecond, stop), E_UNEXPECTED);
}

TEST(StreamPacing, StreamingThreadDeliversInRealTimeAndStopsPromptly) {
    EncoderSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.bitrateKbps = 500;
    settings.deviceName = "Pacing test";
    auto created = TransportStreamer::Create(settings);
    ASSERT_TRUE(created.ok()) << created.status().message;
    TransportStreamer& streamer = *created.value();

    SteadyStreamClock clock;
    StopSignal stop;
    std::atomic<int> delivered{0};
    std::atomic<REFERENCE_TIME> worstLag{0};
    std::thread streaming([&] {
        for (;;) {
            const StreamChunk chunk = streamer.Next();
            if (WaitForStreamTime(clock, chunk.startTime, stop) != S_OK) return;
            REFERENCE_TIME now = 0;
            clock.GetStreamTime(&now);
            worstLag = std::max<REFERENCE_TIME>(worstLag, now - chunk.startTime);
            ++delivered;
        }
    });
    std::this_thread::sleep_for(300ms);
    const auto stopping = std::chrono::steady_clock::now();
    stop.Raise();
    streaming.join();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 100ms);
    // 300 ms at 30 frames a second: frames 0 to 9 were due; none ahead of its time.
    EXPECT_GE(delivered, 8);
    EXPECT_LE(delivered, 11);
    EXPECT_LT(worstLag, 100 * kMillisecond);
}

} // namespace
