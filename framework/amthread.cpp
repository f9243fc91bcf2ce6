#include "framework/amthread.h"

#include "plat/com.h"

#include <new>
#include <system_error>

CAMThread::CAMThread(HRESULT*) {}

CAMThread::~CAMThread() { Close(); }

BOOL CAMThread::Create() {
    CAutoLock lock(&m_AccessLock);
    if (ThreadExists()) return FALSE;
    // A previous worker may have left its end signal behind.
    m_EventSend.Reset();
    m_EventComplete.Reset();
    m_bEnded = false;
    try {
        m_hThread = new std::thread(InitialThreadProc, this);
    } catch (const std::system_error&) {
        return FALSE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

void CAMThread::Close() {
    std::thread* pThread = m_hThread.exchange(nullptr);
    if (!pThread) return;
    // A worker closing itself cannot wait for its own end.
    if (pThread->get_id() == std::this_thread::get_id()) pThread->detach();
    else pThread->join();
    delete pThread;
}

void CAMThread::InitialThreadProc(CAMThread* pThread) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
    pThread->ThreadProc();
    if (SUCCEEDED(hr)) CoUninitialize();
    // Wakes a caller that is still waiting for an answer this worker will never give.
    pThread->m_bEnded = true;
    pThread->m_EventComplete.Set();
}

DWORD CAMThread::CallWorker(DWORD dwParam) {
    CAutoLock lock(&m_AccessLock);
    if (!ThreadExists() || m_bEnded) return static_cast<DWORD>(E_FAIL);
    m_dwParam = dwParam;
    m_bReplied = false;
    m_EventSend.Set();
    m_EventComplete.Wait();
    if (!m_bReplied) {
        m_EventSend.Reset();
        return static_cast<DWORD>(E_FAIL);
    }
    return m_dwReturnVal;
}

DWORD CAMThread::GetRequest() {
    m_EventSend.Wait(INFINITE);
    return m_dwParam;
}

BOOL CAMThread::CheckRequest(DWORD* pParam) {
    if (!m_EventSend.Check()) return FALSE;
    if (pParam) *pParam = m_dwParam;
    return TRUE;
}

void CAMThread::Reply(DWORD dw) {
    m_dwReturnVal = dw;
    m_bReplied = true;
    m_EventSend.Reset();
    m_EventComplete.Set();
}
