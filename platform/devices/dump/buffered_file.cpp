#include "platform/devices/dump/buffered_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace host {

HRESULT HResultFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENAMETOOLONG:
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    case EMFILE:
    case ENFILE:
        return HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
}

BufferedFile::~BufferedFile() {
    Close();
}

HRESULT BufferedFile::Create(const std::string& path) {
    Close();
    if (m_buffer.size() != kBufferBytes) {
        try {
            m_buffer.resize(kBufferBytes);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    m_used = 0;
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return m_fd < 0 ? HResultFromErrno(errno) : S_OK;
}

HRESULT BufferedFile::Write(const uint8_t* data, size_t size) {
    if (m_fd < 0) return E_HANDLE;
    if (m_used + size > m_buffer.size()) {
        HRESULT hr = Flush();
        if (FAILED(hr)) return hr;
    }
    if (size >= m_buffer.size()) return WriteThrough(data, size);
    std::memcpy(m_buffer.data() + m_used, data, size);
    m_used += size;
    return S_OK;
}

HRESULT BufferedFile::Close() {
    if (m_fd < 0) return S_OK;
    HRESULT hr = Flush();
    if (::close(m_fd) != 0 && SUCCEEDED(hr)) hr = HResultFromErrno(errno);
    m_fd = -1;
    m_used = 0;
    return hr;
}

HRESULT BufferedFile::Flush() {
    const size_t used = m_used;
    m_used = 0;
    return WriteThrough(m_buffer.data(), used);
}

HRESULT BufferedFile::WriteThrough(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return HResultFromErrno(errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return S_OK;
}

} // namespace host
