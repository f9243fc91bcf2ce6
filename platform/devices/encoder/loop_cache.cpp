#include "platform/devices/encoder/loop_cache.h"

#include "platform/devices/encoder/encoder_module.h"
#include "platform/devices/encoder/loop_files.h"

#include <algorithm>
#include <exception>
#include <new>

namespace host::encoder {
namespace {

constexpr std::chrono::milliseconds kStopPoll{10};

Status Aborted() { return Status::Fail(E_ABORT, "loop request abandoned: the stream was stopped"); }

} // namespace

LoopCache::LoopCache(EncodeFunction encode, size_t capacity, Files files)
    : m_encode(encode ? std::move(encode) : EncodeFunction(EncodeLoopInModule)), m_capacity(capacity),
      m_files(files) {}

LoopCache::~LoopCache() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_cancel = true;
    }
    m_jobQueued.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

LoopCache& LoopCache::Shared() {
    static LoopCache cache({}, kDefaultCapacity, Files::Use);
    return cache;
}

std::map<EncoderSettings, LoopCache::Entry>::iterator LoopCache::Request(const EncoderSettings& settings,
                                                                         Urgency urgency) {
    auto found = m_entries.find(settings);
    if (found == m_entries.end()) {
        Job job{settings, {}, urgency};
        Entry entry;
        entry.loop = job.promise.get_future().share();
        found = m_entries.emplace(settings, std::move(entry)).first;
        if (urgency == Urgency::Waited)
            m_jobs.push_front(std::move(job));
        else
            m_jobs.push_back(std::move(job));
        if (!m_worker.joinable()) m_worker = std::thread([this] { Work(); });
        m_jobQueued.notify_one();
    } else if (urgency == Urgency::Waited) {
        auto queued = std::find_if(m_jobs.begin(), m_jobs.end(), [&](const Job& job) { return job.settings == settings; });
        if (queued != m_jobs.end()) {
            Job job = std::move(*queued);
            job.urgency = Urgency::Waited;
            m_jobs.erase(queued);
            m_jobs.push_front(std::move(job));
        } else if (m_working && m_workingSettings == settings) {
            m_workingUrgency = Urgency::Waited;
        }
    }
    // What is being prepared ahead makes way for a loop a stream waits for.
    if (urgency == Urgency::Waited && m_working && m_workingUrgency == Urgency::Ahead && !m_jobs.empty() &&
        m_jobs.front().urgency == Urgency::Waited) {
        m_preempted = true;
        m_cancel = true;
    }
    found->second.lastUse = ++m_useClock;
    return found;
}

void LoopCache::Prefetch(const EncoderSettings& settings) {
    std::lock_guard lock(m_mutex);
    if (!m_quit) Request(settings, Urgency::Ahead);
}

bool LoopCache::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return m_quit || (m_jobs.empty() && !m_working); });
}

Result<LoopCache::Loop> LoopCache::Get(const EncoderSettings& settings, const StopSignal* stop) {
    std::shared_future<Result<Loop>> loop;
    {
        std::lock_guard lock(m_mutex);
        if (m_quit) return Aborted();
        loop = Request(settings, Urgency::Waited)->second.loop;
    }
    if (!stop) return loop.get();
    while (loop.wait_for(kStopPoll) != std::future_status::ready)
        if (stop->IsRaised()) return Aborted();
    return loop.get();
}

Result<LoopCache::Loop> LoopCache::Prepare(const EncoderSettings& settings) {
    if (m_files == Files::Use) {
        if (Loop stored = LoadLoopFile(settings)) return stored;
    }
    Result<Loop> encoded = RunEncode(settings);
    // A loop that cannot be kept on disk is still good for this process.
    if (encoded.ok() && m_files == Files::Use) SaveLoopFile(*encoded.value());
    return encoded;
}

Result<LoopCache::Loop> LoopCache::RunEncode(const EncoderSettings& settings) {
    ++m_encodeCount;
    // Nothing may escape the worker thread; a throwing encoder becomes a failed request.
    try {
        return m_encode(settings, m_cancel);
    } catch (const std::bad_alloc&) {
        return Status::Fail(E_OUTOFMEMORY, "out of memory while encoding the loop");
    } catch (const std::exception& e) {
        return Status::Fail(E_FAIL, std::string("loop encoding failed: ") + e.what());
    }
}

void LoopCache::Work() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_jobQueued.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
            if (m_quit) break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_working = true;
            m_workingUrgency = job.urgency;
            m_workingSettings = job.settings;
            m_preempted = false;
            m_cancel = false;
        }
        Result<Loop> result = Prepare(job.settings);
        {
            std::lock_guard lock(m_mutex);
            m_working = false;
            const bool madeWay = m_preempted && !m_quit && !result.ok() && result.status().code == E_ABORT;
            m_preempted = false;
            if (madeWay) {
                // Cancelled to make way: prepared again once the waited loops are made.
                m_jobs.push_back(std::move(job));
                continue;
            }
            if (m_jobs.empty()) m_idle.notify_all();
            auto entry = m_entries.find(job.settings);
            if (result.ok() && entry != m_entries.end()) {
                entry->second.encoded = true;
                EvictBeyondCapacity();
            } else if (entry != m_entries.end()) {
                m_entries.erase(entry);
            }
        }
        job.promise.set_value(std::move(result));
    }

    std::deque<Job> abandoned;
    {
        std::lock_guard lock(m_mutex);
        abandoned.swap(m_jobs);
        for (const Job& job : abandoned) m_entries.erase(job.settings);
        m_idle.notify_all();
    }
    for (Job& job : abandoned) job.promise.set_value(Aborted());
}

void LoopCache::EvictBeyondCapacity() {
    while (m_entries.size() > m_capacity) {
        auto oldest = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->second.encoded && (oldest == m_entries.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        if (oldest == m_entries.end()) return; // everything left is still being encoded
        m_entries.erase(oldest);
    }
}

} // namespace host::encoder
