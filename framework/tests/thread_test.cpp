#include "framework/amthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr DWORD CMD_EXIT = 0xFFFF;

// Answers each command with twice its value and checks that commands never overlap.
class CEchoThread : public CAMThread {
public:
    ~CEchoThread() override {
        if (ThreadExists()) CallWorker(CMD_EXIT);
        Close();
    }
    DWORD ThreadProc() override {
        for (;;) {
            DWORD cmd = GetRequest();
            if (++m_inFlight > 1) m_bOverlap = true;
            std::this_thread::yield();
            --m_inFlight;
            ++m_served;
            Reply(cmd == CMD_EXIT ? 0 : cmd * 2);
            if (cmd == CMD_EXIT) return 0;
        }
    }
    std::atomic<int> m_inFlight{0};
    std::atomic<bool> m_bOverlap{false};
    std::atomic<int> m_served{0};
};

TEST(AMThread, CallWorkerWithoutAThreadFailsAtOnce) {
    CEchoThread t;
    EXPECT_FALSE(t.ThreadExists());
    EXPECT_EQ(t.CallWorker(1), static_cast<DWORD>(E_FAIL));
    DWORD cmd = 0;
    EXPECT_FALSE(t.CheckRequest(&cmd));
}

TEST(AMThread, RepliesMatchRequestsInOrder) {
    CEchoThread t;
    ASSERT_TRUE(t.Create());
    EXPECT_FALSE(t.Create()); // one worker at a time
    for (DWORD i = 1; i <= 50; ++i) EXPECT_EQ(t.CallWorker(i), i * 2);
    EXPECT_EQ(t.CallWorker(CMD_EXIT), 0u);
    t.Close();
    EXPECT_FALSE(t.ThreadExists());
    // A closed worker can be started again.
    ASSERT_TRUE(t.Create());
    EXPECT_EQ(t.CallWorker(21), 42u);
}

TEST(AMThread, CallersFromManyThreadsAreServedOneAtATime) {
    CEchoThread t;
    ASSERT_TRUE(t.Create());
    std::vector<std::thread> callers;
    std::atomic<int> wrong{0};
    for (DWORD c = 0; c < 4; ++c) {
        callers.emplace_back([&, c] {
            for (DWORD i = 0; i < 100; ++i) {
                DWORD v = c * 1000 + i;
                if (t.CallWorker(v) != v * 2) ++wrong;
            }
        });
    }
    for (auto& c : callers) c.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(t.m_bOverlap);
    EXPECT_EQ(t.m_served, 400);
}

// Ends without answering its first command.
class CQuitter : public CAMThread {
public:
    ~CQuitter() override { Close(); }
    DWORD ThreadProc() override {
        GetRequest();
        return 0;
    }
};

TEST(AMThread, AWorkerThatEndsWithoutAnsweringDoesNotHangTheCaller) {
    CQuitter t;
    ASSERT_TRUE(t.Create());
    auto call = std::async(std::launch::async, [&] { return t.CallWorker(5); });
    ASSERT_EQ(call.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(call.get(), static_cast<DWORD>(E_FAIL));
    EXPECT_EQ(t.CallWorker(6), static_cast<DWORD>(E_FAIL));
    t.Close();
}

TEST(AMThread, CheckRequestLooksWithoutTaking) {
    struct CPeek : CAMThread {
        ~CPeek() override { Close(); }
        DWORD ThreadProc() override {
            DWORD cmd = 0;
            while (!CheckRequest(&cmd)) std::this_thread::yield();
            DWORD again = 0;
            seenTwice = CheckRequest(&again) && again == cmd; // still pending until Reply
            Reply(cmd + 1);
            return 0;
        }
        bool seenTwice = false;
    } t;
    ASSERT_TRUE(t.Create());
    EXPECT_EQ(t.CallWorker(9), 10u);
    t.Close();
    EXPECT_TRUE(t.seenTwice);
}

TEST(AMEvent, ManualStaysSetAndAutoLetsOneThrough) {
    CAMEvent manual(TRUE);
    EXPECT_FALSE(manual.Check());
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.Wait(10));

    CAMEvent autoEvent;
    autoEvent.Set();
    EXPECT_TRUE(autoEvent.Check());
    EXPECT_FALSE(autoEvent.Check());
    auto waiter = std::async(std::launch::async, [&] { return autoEvent.Wait(INFINITE); });
    EXPECT_EQ(waiter.wait_for(20ms), std::future_status::timeout);
    autoEvent.Set();
    EXPECT_TRUE(waiter.get());
}

} // namespace
