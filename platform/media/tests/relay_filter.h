// A filter in the middle of a chain for graph tests: one input, one output, every state
// change written to a shared log, and failures on request.
#pragma once

#include "framework/streams.h"

#include <mutex>
#include <utility>
#include <string>
#include <vector>

namespace host_tests {

class StateLog {
public:
    void Add(const std::string& s) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_entries.push_back(s);
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> hold(m_lock);
        return std::exchange(m_entries, {});
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_entries;
};

class CRelayFilter : public CBaseFilter, public IAMFilterMiscFlags {
public:
    // A new relay with one reference, logging as 'tag'.
    static CRelayFilter* Create(StateLog* pLog, const std::string& tag);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG GetMiscFlags() override { return bDeclareRenderer ? AM_FILTER_MISC_FLAGS_IS_RENDERER : 0; }

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    IPin* Input();
    IPin* Output();

    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME tStart) override;

    HRESULT hrPause = S_OK;
    bool bDeclareRenderer = false;
    REFERENCE_TIME rtLastStart = 0;

private:
    CRelayFilter(StateLog* pLog, std::string tag);
    ~CRelayFilter() override;

    CCritSec m_csFilter;
    StateLog* m_pLog;
    std::string m_tag;
    CBasePin* m_pIn = nullptr;
    CBasePin* m_pOut = nullptr;
};

// References held on an object, read by adding and dropping one.
template <class T> ULONG Refs(T* p) {
    p->AddRef();
    return p->Release();
}

} // namespace host_tests
