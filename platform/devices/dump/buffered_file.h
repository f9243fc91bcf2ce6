// A file written through a large buffer, so that a recording's many small samples become few
// large writes. Every failure comes back as the platform's result for the system error.
#pragma once

#include "plat/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// HRESULT_FROM_WIN32 of the platform's error for a system error number.
HRESULT HResultFromErrno(int error);

class BufferedFile {
public:
    static constexpr size_t kBufferBytes = size_t{1} << 20;

    BufferedFile() = default;
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;
    ~BufferedFile();

    // Creates the file, or empties it if it exists, and holds it exclusively until closed: a file
    // another writer holds is HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), and left as it is.
    HRESULT Create(const std::string& path);
    HRESULT Write(const uint8_t* data, size_t size);
    // Writes what is buffered and closes the file; the first failure of either. Closed afterwards
    // whatever happened.
    HRESULT Close();
    bool IsOpen() const { return m_fd >= 0; }

private:
    HRESULT WriteThrough(const uint8_t* data, size_t size);
    HRESULT Flush();

    int m_fd = -1;
    std::vector<uint8_t> m_buffer;
    size_t m_used = 0;
};

} // namespace host
