// A listed device's state, shared by every process: a fixed-size file mapped into each, guarded
// by an advisory lock on the file (between processes) and a mutex (between threads, since the
// file lock belongs to the open file, not the thread). The streaming claim is an advisory lock
// on a second file, held by the streaming client's open file: the system drops it when that
// process dies, however it dies.
#include "device_store.h"

#include "host/host_root.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

namespace host {
namespace {

HRESULT FromErrno(int error) {
    switch (error) {
    case ENOENT:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOSPC:
        return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return HRESULT_FROM_WIN32(ERROR_CANTOPEN);
    }
}

void Complain(const std::string& path, const char* what) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), what);
}

// flock, gone on with after interruptions; its result, with errno set when it fails.
int LockFile(int fd, int operation) {
    int result;
    while ((result = ::flock(fd, operation)) != 0 && errno == EINTR) {
    }
    return result;
}

// Opens a regular file of ours, never blocking on a FIFO and never following a link.
int OpenRegular(const std::string& path, HRESULT* phr) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        const int error = errno;
        Complain(path,
                 error == ELOOP ? "is a symbolic link, not a device's state file" : std::strerror(error));
        *phr = error == ELOOP ? HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE) : FromErrno(error);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Complain(path, "is not a regular file; move it aside");
        ::close(fd);
        *phr = HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE);
        return -1;
    }
    *phr = S_OK;
    return fd;
}

class SharedDeviceStore final : public DeviceStore {
public:
    SharedDeviceStore(std::string folder, DeviceConfig config, uint64_t configHash)
        : m_folder(std::move(folder)), m_config(std::move(config)), m_configHash(configHash) {}

    ~SharedDeviceStore() override {
        if (m_image) ::munmap(m_image, sizeof(DeviceImage));
        if (m_fd >= 0) ::close(m_fd);
    }

    HRESULT Open() {
        if (!MakeDirectories(m_folder)) {
            const int error = errno;
            Complain(m_folder, std::strerror(error));
            return FromErrno(error);
        }
        const std::string path = m_folder + "/state";
        HRESULT hr = S_OK;
        m_fd = OpenRegular(path, &hr);
        if (m_fd < 0) return hr;

        std::lock_guard hold(m_threads);
        LockFile(m_fd, LOCK_EX);
        hr = MapLocked(path);
        if (SUCCEEDED(hr)) {
            DeviceImage& image = *m_image;
            const bool foreign = image.magic != kDeviceImageMagic || image.layout != kDeviceImageLayout;
            // A device seen for the first time, or listed by a changed line, is a new device.
            if (foreign || image.configHash != m_configHash)
                PlugIn(image, m_config, m_configHash);
            else
                RecoverLocked();
        }
        LockFile(m_fd, LOCK_UN);
        return hr;
    }

    DeviceImage& Image() override { return *m_image; }

    void lock() override {
        m_threads.lock();
        LockFile(m_fd, LOCK_EX);
        RecoverLocked();
    }

    void unlock() override {
        LockFile(m_fd, LOCK_UN);
        m_threads.unlock();
    }

    HRESULT ClaimStream(StreamClaim* claim) override {
        const std::string path = m_folder + "/claim";
        HRESULT hr = S_OK;
        const int fd = OpenRegular(path, &hr);
        if (fd < 0) return hr;
        if (LockFile(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? kDeviceBusy : FromErrno(error);
        }
        *claim = StreamClaim([fd] { ::close(fd); });
        return S_OK;
    }

private:
    HRESULT MapLocked(const std::string& path) {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) return FromErrno(errno);
        // A file of another size is not ours to read: it starts over as a device never seen.
        if (st.st_size != static_cast<off_t>(sizeof(DeviceImage)) &&
            (::ftruncate(m_fd, 0) != 0 || ::ftruncate(m_fd, sizeof(DeviceImage)) != 0)) {
            const int error = errno;
            Complain(path, std::strerror(error));
            return FromErrno(error);
        }
        void* mapped = ::mmap(nullptr, sizeof(DeviceImage), PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (mapped == MAP_FAILED) {
            const int error = errno;
            Complain(path, std::strerror(error));
            return FromErrno(error);
        }
        m_image = static_cast<DeviceImage*>(mapped);
        return S_OK;
    }

    // A writer that died holding the lock may have left a property half written: the device
    // starts again from its power-on state, as hardware does after a glitch.
    void RecoverLocked() {
        if (m_image && m_image->writing) PowerOn(*m_image, m_config, m_configHash);
    }

    const std::string m_folder;
    const DeviceConfig m_config;
    const uint64_t m_configHash;
    std::mutex m_threads;
    int m_fd = -1;
    DeviceImage* m_image = nullptr;
};

struct OpenStores {
    std::mutex lock;
    std::map<std::tuple<std::string, uint64_t>, std::weak_ptr<SharedDeviceStore>> stores;
};

OpenStores& Stores() {
    static OpenStores open;
    return open;
}

} // namespace

HRESULT OpenSharedDeviceStore(const std::string& folder, const DeviceConfig& config, uint64_t configHash,
                              std::shared_ptr<DeviceStore>* store) {
    OpenStores& open = Stores();
    std::lock_guard hold(open.lock);
    std::weak_ptr<SharedDeviceStore>& slot = open.stores[{folder, configHash}];
    if (auto existing = slot.lock()) {
        *store = existing;
        return S_OK;
    }
    auto created = std::make_shared<SharedDeviceStore>(folder, config, configHash);
    if (HRESULT hr = created->Open(); FAILED(hr)) return hr;
    slot = created;
    *store = created;
    return S_OK;
}

} // namespace host
