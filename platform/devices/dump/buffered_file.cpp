#include "platform/devices/dump/buffered_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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

namespace {

// Past a file-size limit (ulimit -f) the system kills the writer with SIGXFSZ. On the platform
// such a write fails instead, and so it does here when the signal is ignored: the failure is
// reported and the file keeps everything up to the limit. A handler of the program's stays.
void FailWritesPastTheSizeLimit() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL &&
        !(current.sa_flags & SA_SIGINFO))
        std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

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
    FailWritesPastTheSizeLimit();
    // Emptied only once the lock is held: a file another recorder writes is left alone.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return HResultFromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return HResultFromErrno(error);
    }
    if (S_ISREG(st.st_mode)) {
        // The platform opens the file without sharing, so a second recorder is told it is in use
        // rather than both writing one file to pieces.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)
                                        : HResultFromErrno(error);
        }
        if (::ftruncate(fd, 0) != 0) {
            const int error = errno;
            ::close(fd);
            return HResultFromErrno(error);
        }
    }
    m_fd = fd;
    return S_OK;
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
