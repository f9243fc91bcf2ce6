// Encoded loops shared by every virtual device in the process. A loop is encoded once per set of
// settings (device name included, since the picture shows it), however many devices ask at
// once; encodes run one at a time on the cache's own thread, as each already uses every core.
// The process-wide cache also keeps its loops on disk (loop_files.h) and looks there before
// encoding, so a setting encoded by any process starts at once in every other.
#pragma once

#include "platform/devices/encoder/encoded_loop.h"
#include "platform/devices/encoder/stream_pacer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace host::encoder {

class LoopCache {
public:
    using Loop = std::shared_ptr<const EncodedLoop>;
    using EncodeFunction = std::function<Result<Loop>(const EncoderSettings&, const std::atomic<bool>& cancel)>;
    static constexpr size_t kDefaultCapacity = 16;

    enum class Files { Ignore, Use };

    // `encode` defaults to the real loop encoder; tests pass their own.
    explicit LoopCache(EncodeFunction encode = {}, size_t capacity = kDefaultCapacity, Files files = Files::Ignore);
    // Cancels the encode in progress, fails the requests still queued with E_ABORT, and joins.
    ~LoopCache();
    LoopCache(const LoopCache&) = delete;
    LoopCache& operator=(const LoopCache&) = delete;

    // The loop for `settings`, encoding it if no one has. Blocks while it is encoded; returns
    // E_ABORT within 10 ms of `stop` being raised (the encode goes on for the others). A failed
    // encode is reported to everyone waiting for it and not kept, so a later call tries again.
    Result<Loop> Get(const EncoderSettings& settings, const StopSignal* stop = nullptr);

    // Starts getting the loop for `settings` ready in the background, so that a stream started
    // later has it at once. Does nothing when it is cached or on its way. A stream waiting for
    // its loop never waits behind one of these: a loop being prepared ahead is put back in the
    // queue (its encode cancelled) while the waited one is made.
    void Prefetch(const EncoderSettings& settings);

    // Waits up to `timeout` until nothing is queued or being prepared; true when idle.
    bool WaitIdle(std::chrono::milliseconds timeout);

    // Encodes started so far.
    size_t EncodeCount() const { return m_encodeCount.load(); }

    // The process-wide cache the devices share.
    static LoopCache& Shared();

private:
    struct Entry {
        std::shared_future<Result<Loop>> loop;
        uint64_t lastUse = 0;
        bool encoded = false;
    };
    enum class Urgency { Ahead, Waited };
    struct Job {
        EncoderSettings settings;
        std::promise<Result<Loop>> promise;
        Urgency urgency = Urgency::Ahead;
    };

    void Work();
    // With m_mutex held: the entry for `settings`, queueing its job when there is none. A stream
    // waiting for its loop goes before loops being prepared ahead.
    std::map<EncoderSettings, Entry>::iterator Request(const EncoderSettings& settings, Urgency urgency);
    Result<Loop> Prepare(const EncoderSettings& settings);
    Result<Loop> RunEncode(const EncoderSettings& settings);
    void EvictBeyondCapacity(); // with m_mutex held

    const EncodeFunction m_encode;
    const size_t m_capacity;
    const Files m_files;
    std::atomic<bool> m_cancel{false}; // the encode in progress stops: the cache closes, or a waited loop preempts it
    std::atomic<size_t> m_encodeCount{0};

    std::mutex m_mutex;
    std::condition_variable m_jobQueued;
    std::condition_variable m_idle;
    bool m_working = false; // the worker holds a job
    Urgency m_workingUrgency = Urgency::Ahead;
    EncoderSettings m_workingSettings;
    bool m_preempted = false; // the job in progress was cancelled to make way
    std::map<EncoderSettings, Entry> m_entries;
    std::deque<Job> m_jobs;
    uint64_t m_useClock = 0;
    bool m_quit = false;
    std::thread m_worker; // started by the first miss
};

} // namespace host::encoder
