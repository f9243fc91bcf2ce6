// Eight virtual devices streaming 1080p at 30 fps and 30000 kbps together in real time, each on
// its own thread paced by a real clock, as the device filters' streaming threads will run.
// Prints the one-time loop encode cost, the CPU share while streaming, and how far behind the
// clock deliveries fell. The peer of this benchmark is real time itself: the ratio of CPU time to
// wall time says how much of the machine the devices take.
//
//   devices_realtime [seconds=10] [devices=8] [width=1920] [height=1080] [fps=30] [kbps=30000]
#include "platform/devices/encoder/loop_cache.h"
#include "platform/devices/encoder/stream_pacer.h"
#include "platform/devices/encoder/transport_streamer.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

using namespace host::encoder;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::atoi(argv[index]) : fallback;
}

struct DeviceResult {
    int64_t chunks = 0;
    int64_t bytes = 0;
    REFERENCE_TIME worstLag = 0;
    REFERENCE_TIME totalLag = 0;
    HRESULT failure = S_OK;
};

// The streaming thread of one device: next chunk, wait until it is due, deliver it.
void Stream(TransportStreamer& streamer, StreamClock& clock, const StopSignal& stop, DeviceResult& result) {
    std::vector<uint8_t> sample(streamer.MaxChunkBytes()); // stands in for the downstream sample
    for (;;) {
        const StreamChunk chunk = streamer.Next();
        const HRESULT hr = WaitForStreamTime(clock, chunk.startTime, stop);
        if (hr != S_OK) {
            if (FAILED(hr)) result.failure = hr;
            return;
        }
        REFERENCE_TIME now = 0;
        clock.GetStreamTime(&now);
        std::memcpy(sample.data(), chunk.data, chunk.size);
        const REFERENCE_TIME lag = now - chunk.startTime;
        result.worstLag = std::max(result.worstLag, lag);
        result.totalLag += lag;
        result.bytes += static_cast<int64_t>(chunk.size);
        ++result.chunks;
    }
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = Argument(argc, argv, 1, 10);
    const int devices = Argument(argc, argv, 2, 8);
    EncoderSettings base;
    base.width = Argument(argc, argv, 3, 1920);
    base.height = Argument(argc, argv, 4, 1080);
    base.frameRate = {Argument(argc, argv, 5, 30), 1};
    base.bitrateKbps = Argument(argc, argv, 6, 30000);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("devices_realtime: %d devices, %dx%d at %d fps, %d kbps, AAC 48 kHz, %d s, %u cores\n", devices,
                base.width, base.height, base.frameRate.num, base.bitrateKbps, seconds, cores);

    // Start-up: every device asks for its loop at once (each name is its own loop); the cache
    // encodes them one after another.
    std::vector<std::unique_ptr<TransportStreamer>> streamers(devices);
    std::vector<Status> failures(devices);
    const double cpuBeforeEncode = CpuSeconds();
    const auto encodeStart = std::chrono::steady_clock::now();
    {
        std::vector<std::thread> starting;
        starting.reserve(devices);
        for (int d = 0; d < devices; ++d)
            starting.emplace_back([&, d] {
                EncoderSettings settings = base;
                settings.deviceName = "YRA USB Device #" + std::to_string(d + 1);
                auto created = TransportStreamer::Create(settings);
                if (created.ok())
                    streamers[d] = std::move(created.value());
                else
                    failures[d] = created.status();
            });
        for (auto& t : starting) t.join();
    }
    const double encodeWall = Since(encodeStart), encodeCpu = CpuSeconds() - cpuBeforeEncode;
    for (int d = 0; d < devices; ++d)
        if (!streamers[d]) {
            std::printf("device %d failed: 0x%X %s\n", d + 1, static_cast<unsigned>(failures[d].code),
                        failures[d].message.c_str());
            return 1;
        }
    double slowest = 0;
    for (const auto& s : streamers) slowest = std::max(slowest, s->Loop().encodeSeconds);
    const EncodedLoop& loop = streamers[0]->Loop();
    std::printf("loop: %d frames (%.3f s), %.1f MB; one encode %.3f s (slowest %.3f s); all %d loops ready after "
                "%.3f s wall, %.3f s CPU\n",
                loop.plan.VideoFrames(), static_cast<double>(loop.plan.VideoFrameTime100ns(loop.plan.VideoFrames())) / 1e7,
                static_cast<double>(loop.bytes.size()) / 1e6, loop.encodeSeconds, slowest, devices, encodeWall,
                encodeCpu);

    // Streaming in real time.
    SteadyStreamClock clock;
    StopSignal stop;
    std::vector<DeviceResult> results(devices);
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    threads.reserve(devices);
    for (int d = 0; d < devices; ++d)
        threads.emplace_back([&, d] { Stream(*streamers[d], clock, stop, results[d]); });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - cpuBefore, wall = Since(start);
    const auto stopping = std::chrono::steady_clock::now();
    stop.Raise();
    for (auto& t : threads) t.join();
    const double stopMs = Since(stopping) * 1000;

    REFERENCE_TIME worst = 0, total = 0;
    int64_t chunks = 0, bytes = 0;
    for (const DeviceResult& r : results) {
        if (FAILED(r.failure)) std::printf("a device's clock failed: 0x%X\n", static_cast<unsigned>(r.failure));
        worst = std::max(worst, r.worstLag);
        total += r.totalLag;
        chunks += r.chunks;
        bytes += r.bytes;
    }
    std::printf("streaming: %lld chunks, %.1f Mbit/s in all (%.1f per device)\n", static_cast<long long>(chunks),
                static_cast<double>(bytes) * 8 / wall / 1e6, static_cast<double>(bytes) * 8 / wall / 1e6 / devices);
    std::printf("CPU time / real time: %.4f (%.2f%% of %u cores)\n", cpu / wall, 100.0 * cpu / wall / cores, cores);
    std::printf("lag behind the clock: worst %.2f ms, mean %.3f ms\n", static_cast<double>(worst) / 1e4,
                chunks ? static_cast<double>(total) / static_cast<double>(chunks) / 1e4 : 0.0);
    std::printf("stop: all streaming threads ended %.2f ms after the stop signal\n", stopMs);
    return 0;
}
