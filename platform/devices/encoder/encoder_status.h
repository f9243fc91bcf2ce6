// Outcome of an encoder-side operation: a platform result code and a message for the log or
// the test that reads it. Nothing here throws across the host's boundary.
#pragma once

#include "plat/types.h"

#include <optional>
#include <string>
#include <utility>

namespace host::encoder {

struct Status {
    HRESULT code = S_OK;
    std::string message;

    bool ok() const { return SUCCEEDED(code); }
    static Status Ok() { return {}; }
    static Status Fail(HRESULT code, std::string message) { return {code, std::move(message)}; }
};

// A value or the failure that prevented it.
template <class T> class Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : m_status(std::move(failure)) {
        if (m_status.ok()) m_status = Status::Fail(E_UNEXPECTED, "no value and no failure reported");
    }

    bool ok() const { return m_value.has_value(); }
    const Status& status() const { return m_status; }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }

private:
    std::optional<T> m_value;
    Status m_status;
};

} // namespace host::encoder
