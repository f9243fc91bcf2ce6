#include "hive_store.h"

#include "hive_text.h"
#include "host/file_io.h"
#include "host/host_root.h"
#include "host/registry_store.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::reg {
namespace {

thread_local std::string t_lastError;

// Identifies one version of a hive file: a rename always brings a new inode and times.
struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};

    static FileId Of(const struct stat& st) {
        return FileId{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileId& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

struct CachedHive {
    bool valid = false;
    FileId id;
    Key root;
};

std::mutex g_lock;
std::map<std::string, CachedHive> g_cache; // by file path, so a changed host root is honoured

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    int Get() const { return m_fd; }
    // Closes now and reports the close's own failure (a deferred write error shows up here).
    bool Close() {
        int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void Reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

LONG Fail(LONG code, const std::string& what, int err) {
    t_lastError = what + ": " + std::strerror(err);
    return code;
}

LONG ReadError(int err) {
    switch (err) {
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_CANTREAD;
    }
}

LONG WriteError(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_CANTWRITE;
    }
}

const char* HiveFileName(HiveId hive) {
    switch (hive) {
    case HiveId::ClassesRoot: return "HKEY_CLASSES_ROOT.reg";
    case HiveId::CurrentUser: return "HKEY_CURRENT_USER.reg";
    case HiveId::LocalMachine: return "HKEY_LOCAL_MACHINE.reg";
    }
    return "unknown.reg";
}

// Empty when no host root is known: then there is no registry at all, rather than one in
// whatever folder the process happens to run from.
std::string RegistryDir() {
    std::string root = HostRootPath();
    return root.empty() ? root : root + "/registry";
}

// The folder of a hive's file, which also holds the lock and the temporary file.
std::string FolderOf(const std::string& hivePath) {
    return hivePath.substr(0, hivePath.rfind('/'));
}

LONG NoRoot() {
    t_lastError = "no place for the registry: " + HostRootProblem();
    return ERROR_PATH_NOT_FOUND;
}

// Brings the cache up to date with the file; a file that cannot be read or parsed is an
// error and never stands in as an empty hive.
LONG Load(const std::string& path, CachedHive& hive) {
    // Non-blocking, so that a FIFO put in the hive's place is refused below instead of
    // waiting for a writer with the registry lock held.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            hive.valid = false;
            return Fail(ReadError(errno), "cannot open " + path, errno);
        }
        if (!hive.valid || hive.id.exists) hive = CachedHive{true, FileId{}, Key{}};
        return ERROR_SUCCESS;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        hive.valid = false;
        return Fail(ReadError(errno), "cannot examine " + path, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        hive.valid = false;
        t_lastError = path + ": " + FileKindName(st.st_mode) + ", not a registry hive; move it aside";
        return ERROR_CANTREAD;
    }
    FileId id = FileId::Of(st);
    if (hive.valid && hive.id == id) return ERROR_SUCCESS;
    hive.valid = false;
    std::string text;
    bool tooLarge = size_t(st.st_size) > kMaxHiveBytes;
    if (!tooLarge && !ReadAtMost(fd.Get(), kMaxHiveBytes, &text, &tooLarge))
        return Fail(ReadError(errno), "cannot read " + path, errno);
    if (tooLarge) {
        t_lastError = path + ": larger than a registry hive may be (" + std::to_string(kMaxHiveBytes >> 20) +
                      " MiB); move it aside";
        return ERROR_CANTREAD;
    }
    HiveTextError why;
    Key root;
    if (!ReadHiveText(text, &root, &why)) {
        t_lastError = path + (why.line ? ":" + std::to_string(why.line) : std::string()) +
                      ": corrupt registry hive (" + why.reason +
                      "). Move the file aside; the registry then starts empty and modules must be registered "
                      "again.";
        return ERROR_BADDB;
    }
    hive.root = std::move(root);
    hive.id = id;
    hive.valid = true;
    return ERROR_SUCCESS;
}

// Replaces the hive file with `text`: temporary file, flushed, renamed. On failure the old
// file is untouched and the temporary file is removed.
LONG Store(const std::string& path, const std::string& text) {
    std::string temp = path + ".tmp";
    // A leftover temporary file goes first: whatever it is (a link, a FIFO), the new one is
    // made afresh and never opened through it.
    if (::unlink(temp.c_str()) != 0 && errno != ENOENT)
        return Fail(WriteError(errno), "cannot replace " + temp, errno);
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (fd.Get() < 0) return Fail(WriteError(errno), "cannot create " + temp, errno);
    int err = 0;
    // The new file keeps the permissions of the one it replaces.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::fchmod(fd.Get(), old.st_mode & 07777) != 0)
        err = errno;
    if (!err && !WriteAll(fd.Get(), text.data(), text.size()))
        err = errno;
    else if (::fsync(fd.Get()) != 0) err = errno;
    if (!fd.Close() && !err) err = errno;
    if (!err && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(temp.c_str());
        return Fail(WriteError(err), "cannot write " + path, err);
    }
    // The rename itself must reach the disk too.
    Fd dir(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
    return ERROR_SUCCESS;
}

// Holds the registry's advisory lock, shared with every process using the same root.
class FileLock {
public:
    LONG Acquire(const std::string& dir) {
        if (!MakeDirectories(dir)) return Fail(WriteError(errno), "cannot create " + dir, errno);
        std::string path = dir + "/.lock";
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) return Fail(WriteError(errno), "cannot open " + path, errno);
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) return Fail(WriteError(errno), "cannot lock " + path, errno);
        }
        return ERROR_SUCCESS;
    }
    ~FileLock() {
        if (m_fd >= 0) ::close(m_fd); // closing releases the lock
    }

private:
    int m_fd = -1;
};

} // namespace

std::string HiveFilePath(HiveId hive) {
    std::string dir = RegistryDir();
    return dir.empty() ? dir : dir + "/" + HiveFileName(hive);
}

LONG ReadHive(HiveId hive, const HiveReader& read) {
    std::lock_guard<std::mutex> hold(g_lock);
    std::string path = HiveFilePath(hive);
    if (path.empty()) return NoRoot();
    CachedHive& cached = g_cache[path];
    if (LONG err = Load(path, cached); err != ERROR_SUCCESS) return err;
    return read(cached.root);
}

LONG ChangeHive(HiveId hive, const HiveWriter& change) {
    std::lock_guard<std::mutex> hold(g_lock);
    std::string path = HiveFilePath(hive);
    if (path.empty()) return NoRoot();
    CachedHive& cached = g_cache[path];
    FileLock lock;
    if (LONG err = lock.Acquire(FolderOf(path)); err != ERROR_SUCCESS) return err;
    if (LONG err = Load(path, cached); err != ERROR_SUCCESS) return err;
    bool changed = false;
    LONG result = change(cached.root, changed);
    if (result != ERROR_SUCCESS || !changed) return result;
    // From here the cache no longer matches the disk until the store succeeds.
    cached.valid = false;
    if (LONG err = Store(path, WriteHiveText(cached.root)); err != ERROR_SUCCESS) return err;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        cached.id = FileId::Of(st);
        cached.valid = true;
    }
    return ERROR_SUCCESS;
}

} // namespace host::reg

namespace host {

std::string RegistryLastError() { return reg::t_lastError; }

} // namespace host
