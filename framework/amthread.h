// A worker thread with a one-command-at-a-time request/reply channel.
#pragma once

#include "framework/sync.h"

class CAMThread {
public:
    explicit CAMThread(HRESULT* phr = nullptr);
    CAMThread(const CAMThread&) = delete;
    CAMThread& operator=(const CAMThread&) = delete;

    // The worker's body. A derived class must Close() in its own destructor, since the
    // worker runs this function of the derived object.
    virtual DWORD ThreadProc() = 0;
    virtual ~CAMThread();

    // Starts the worker; false when one exists already or it cannot be started.
    BOOL Create();
    // Waits for the worker to end and forgets it.
    void Close();
    BOOL ThreadExists() const { return m_hThread.load() != nullptr; }

    // Sends a command and waits for the worker's reply. E_FAIL without a worker, or when the
    // worker ends without answering.
    DWORD CallWorker(DWORD dwParam);

    // Worker side: wait for a command, look for one without waiting, answer it.
    DWORD GetRequest();
    BOOL CheckRequest(DWORD* pParam);
    void Reply(DWORD dw);

private:
    static void InitialThreadProc(CAMThread* pThread);

    CAMEvent m_EventSend{TRUE};
    CAMEvent m_EventComplete{FALSE};
    DWORD m_dwParam = 0;
    DWORD m_dwReturnVal = 0;
    std::atomic<std::thread*> m_hThread{nullptr};

public:
    CCritSec m_AccessLock; // serialises callers of CallWorker
    CCritSec m_WorkerLock; // for the derived class's worker state

private:
    // Set by Reply, so a caller woken by the worker's end can tell it got no answer.
    std::atomic<bool> m_bReplied{false};
    std::atomic<bool> m_bEnded{false};
};
