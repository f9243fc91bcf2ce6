// An owning interface pointer for host code: one reference, released when it goes.
#pragma once

#include "plat/unknown.h"

#include <utility>

namespace host {

template <class T> class ComPtr {
public:
    ComPtr() = default;
    // Takes a new reference to p.
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    // Adopts a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.m_p = p;
        return r;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    void Reset() {
        if (m_p) std::exchange(m_p, nullptr)->Release();
    }
    T* Detach() { return std::exchange(m_p, nullptr); }
    // For out parameters: drops the current pointer and receives a new owned one.
    T** Receive() {
        Reset();
        return &m_p;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    template <class U> ComPtr<U> Query(REFIID riid) const {
        ComPtr<U> r;
        if (m_p) m_p->QueryInterface(riid, r.ReceiveVoid());
        return r;
    }

private:
    T* m_p = nullptr;
};

// The object's identity: the pointer its IUnknown query answers, which every interface of
// one object shares. Compared, never called through after the object may have gone.
inline IUnknown* IdentityOf(IUnknown* p) {
    if (!p) return nullptr;
    IUnknown* pUnk = nullptr;
    if (FAILED(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnk))) || !pUnk) return p;
    pUnk->Release();
    return pUnk;
}

} // namespace host
