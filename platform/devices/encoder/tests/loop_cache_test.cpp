// The cache that lets many devices share one encode, with a stand-in encoder so that the
// threading can be exercised quickly (and under the thread sanitizer).
#include "platform/devices/encoder/loop_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace host::encoder;
using namespace std::chrono_literals;

namespace {

EncoderSettings Named(const std::string& name) {
    EncoderSettings s;
    s.deviceName = name;
    return s;
}

// Takes `duration` (or until cancelled) and counts what it was asked for.
struct FakeEncoder {
    std::chrono::milliseconds duration{0};
    HRESULT result = S_OK;
    std::atomic<int> calls{0};

    LoopCache::EncodeFunction Function() {
        return [this](const EncoderSettings& settings, const std::atomic<bool>& cancel) -> Result<LoopCache::Loop> {
            ++calls;
            const auto until = std::chrono::steady_clock::now() + duration;
            while (std::chrono::steady_clock::now() < until) {
                if (cancel) return Status::Fail(E_ABORT, "cancelled");
                std::this_thread::sleep_for(1ms);
            }
            if (FAILED(result)) return Status::Fail(result, "fake failure");
            return LoopCache::Loop(std::make_shared<EncodedLoop>(settings, LoopPlan::For(settings)));
        };
    }
};

TEST(LoopCache, DevicesAskingAtOnceShareOneEncode) {
    FakeEncoder encoder;
    encoder.duration = 50ms;
    LoopCache cache(encoder.Function());
    std::vector<LoopCache::Loop> loops(8);
    std::vector<std::thread> devices;
    for (auto& loop : loops)
        devices.emplace_back([&] {
            auto result = cache.Get(Named("same"));
            if (result.ok()) loop = result.value();
        });
    for (auto& t : devices) t.join();
    EXPECT_EQ(encoder.calls, 1);
    EXPECT_EQ(cache.EncodeCount(), 1u);
    for (const auto& loop : loops) {
        ASSERT_TRUE(loop);
        EXPECT_EQ(loop, loops[0]);
    }
    // Later requests are answered from the cache.
    EXPECT_EQ(cache.Get(Named("same")).value(), loops[0]);
    EXPECT_EQ(encoder.calls, 1);
}

TEST(LoopCache, EverySettingAndNameIsItsOwnLoop) {
    FakeEncoder encoder;
    LoopCache cache(encoder.Function());
    EncoderSettings louder = Named("a");
    louder.volume = 3;
    const auto a = cache.Get(Named("a")).value();
    const auto b = cache.Get(Named("b")).value();
    const auto c = cache.Get(louder).value();
    EXPECT_NE(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(encoder.calls, 3);
    EXPECT_EQ(cache.Get(Named("a")).value(), a);
}

TEST(LoopCache, FailedEncodeReachesEveryWaiterAndIsTriedAgain) {
    FakeEncoder encoder;
    encoder.duration = 30ms;
    encoder.result = E_OUTOFMEMORY;
    LoopCache cache(encoder.Function());
    std::vector<HRESULT> results(4, S_OK);
    std::vector<std::thread> devices;
    for (auto& r : results) devices.emplace_back([&] { r = cache.Get(Named("x")).status().code; });
    for (auto& t : devices) t.join();
    for (HRESULT r : results) EXPECT_EQ(r, E_OUTOFMEMORY);
    EXPECT_EQ(encoder.calls, 1);

    encoder.result = S_OK;
    EXPECT_TRUE(cache.Get(Named("x")).ok());
    EXPECT_EQ(encoder.calls, 2);
}

TEST(LoopCache, StoppedDeviceStopsWaitingButTheEncodeGoesOn) {
    FakeEncoder encoder;
    encoder.duration = 300ms;
    LoopCache cache(encoder.Function());
    StopSignal stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(30ms);
        stop.Raise();
    });
    const auto started = std::chrono::steady_clock::now();
    const auto abandoned = cache.Get(Named("slow"), &stop);
    const auto waited = std::chrono::steady_clock::now() - started;
    stopper.join();
    EXPECT_EQ(abandoned.status().code, E_ABORT);
    EXPECT_LT(waited, 150ms);

    // Another device still gets the loop, from the same encode.
    EXPECT_TRUE(cache.Get(Named("slow")).ok());
    EXPECT_EQ(encoder.calls, 1);
}

TEST(LoopCache, DestroyingTheCacheCancelsItsWork) {
    FakeEncoder encoder;
    encoder.duration = 10s;
    HRESULT running = S_OK, queued = S_OK;
    std::thread first, second;
    const auto started = std::chrono::steady_clock::now();
    {
        LoopCache cache(encoder.Function());
        first = std::thread([&] { running = cache.Get(Named("running")).status().code; });
        while (encoder.calls == 0) std::this_thread::sleep_for(1ms);
        second = std::thread([&] { queued = cache.Get(Named("queued")).status().code; });
        std::this_thread::sleep_for(20ms);
    }
    first.join();
    second.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_EQ(running, E_ABORT);
    EXPECT_EQ(queued, E_ABORT);
    EXPECT_EQ(encoder.calls, 1);
}

TEST(LoopCache, KeepsTheMostRecentlyUsedLoops) {
    FakeEncoder encoder;
    LoopCache cache(encoder.Function(), 2);
    const auto a = cache.Get(Named("a")).value();
    cache.Get(Named("b"));
    cache.Get(Named("a")); // a is now more recent than b
    cache.Get(Named("c")); // evicts b
    EXPECT_EQ(encoder.calls, 3);
    EXPECT_EQ(cache.Get(Named("a")).value(), a);
    EXPECT_EQ(encoder.calls, 3);
    cache.Get(Named("b"));
    EXPECT_EQ(encoder.calls, 4);
}

} // namespace

namespace {

TEST(LoopCache, APrefetchedLoopIsReadyForItsStreamAndWaitingForItEnds) {
    FakeEncoder encoder;
    encoder.duration = 50ms;
    LoopCache cache(encoder.Function());
    EXPECT_TRUE(cache.WaitIdle(0ms)); // nothing asked yet
    cache.Prefetch(Named("a"));
    cache.Prefetch(Named("a")); // on its way already
    EXPECT_TRUE(cache.WaitIdle(60s));
    ASSERT_TRUE(cache.Get(Named("a")).ok());
    EXPECT_EQ(encoder.calls.load(), 1);
}

} // namespace

namespace {

TEST(LoopCache, AStreamWaitingForItsLoopGoesBeforeLoopsPreparedAhead) {
    std::atomic<bool> release{false};
    std::vector<std::string> order;
    std::mutex orderLock;
    LoopCache cache([&](const EncoderSettings& s, const std::atomic<bool>& cancel) -> Result<LoopCache::Loop> {
        {
            std::lock_guard hold(orderLock);
            order.push_back(s.deviceName);
        }
        while (s.deviceName == "first" && !release && !cancel) std::this_thread::sleep_for(1ms);
        return LoopCache::Loop(std::make_shared<EncodedLoop>(s, LoopPlan::For(s)));
    });
    auto started = [&] {
        std::lock_guard hold(orderLock);
        return order.size();
    };
    cache.Prefetch(Named("first"));
    while (started() == 0) std::this_thread::sleep_for(1ms);
    cache.Prefetch(Named("ahead 1"));
    cache.Prefetch(Named("ahead 2"));
    // A stream that asks for "ahead 2" and is stopped at once: the loop is still made next.
    StopSignal stopped;
    stopped.Raise();
    cache.Get(Named("ahead 2"), &stopped);
    release = true;
    EXPECT_TRUE(cache.WaitIdle(60s));
    std::lock_guard hold(orderLock);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "ahead 2", "ahead 1"}));
}

} // namespace

namespace {

TEST(LoopCache, ALoopPreparedAheadMakesWayForOneAStreamWaitsFor) {
    std::atomic<int> aheadCalls{0};
    std::vector<std::string> order;
    std::mutex orderLock;
    LoopCache cache([&](const EncoderSettings& s, const std::atomic<bool>& cancel) -> Result<LoopCache::Loop> {
        {
            std::lock_guard hold(orderLock);
            order.push_back(s.deviceName);
        }
        // The loop prepared ahead takes until it is cancelled, the first time.
        if (s.deviceName == "ahead" && aheadCalls++ == 0) {
            while (!cancel) std::this_thread::sleep_for(1ms);
            return Status::Fail(E_ABORT, "cancelled");
        }
        return LoopCache::Loop(std::make_shared<EncodedLoop>(s, LoopPlan::For(s)));
    });
    cache.Prefetch(Named("ahead"));
    while (aheadCalls == 0) std::this_thread::sleep_for(1ms);
    Result<LoopCache::Loop> waited = cache.Get(Named("waited")); // would never end behind "ahead"
    ASSERT_TRUE(waited.ok());
    EXPECT_TRUE(cache.WaitIdle(60s));
    ASSERT_TRUE(cache.Get(Named("ahead")).ok()); // made again afterwards, and kept
    std::lock_guard hold(orderLock);
    EXPECT_EQ(order, (std::vector<std::string>{"ahead", "waited", "ahead"}));
}

} // namespace
