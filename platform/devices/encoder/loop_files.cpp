#include "platform/devices/encoder/loop_files.h"

#include "host/file_io.h"
#include "host/host_root.h"
#include "platform/devices/encoder/encoder_module.h"
#include "platform/devices/encoder/loop_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace host::encoder {
namespace {

constexpr char kMagic[8] = {'Y', 'R', 'A', 'L', 'O', 'O', 'P', '1'};
// Raised whenever what the encoder makes of the same settings changes (picture, tone, muxing).
constexpr int kLoopFormat = 2;
constexpr size_t kLongestKey = 4096;

bool ReadAll(int fd, void* data, size_t size) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (size) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

// None without a host root: loops are then kept in memory only, never under "/".
std::string LoopFolder() {
    const std::string root = HostRootPath();
    return root.empty() ? std::string() : root + "/loops";
}

std::string LoopKey(const EncoderSettings& s) {
    char head[256];
    std::snprintf(head, sizeof head,
                  "format=%d codec=%u size=%dx%d rate=%d/%d kbps=%d audio=%d hz=%d volume=%d name=",
                  kLoopFormat, EncoderCodecVersion(), s.width, s.height, s.frameRate.num, s.frameRate.den,
                  s.bitrateKbps, s.audioEnabled ? 1 : 0, s.sampleRateHz, s.volume);
    return head + s.deviceName;
}

std::string LoopFilePath(const EncoderSettings& settings) {
    const std::string folder = LoopFolder();
    if (folder.empty()) return folder;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.loop",
                  static_cast<unsigned long long>(Fnv1a(LoopKey(settings))));
    return folder + "/" + name;
}

std::shared_ptr<const EncodedLoop> LoadLoopFile(const EncoderSettings& settings) {
    if (!ValidateSettings(settings).ok()) return nullptr;
    const std::string path = LoopFilePath(settings);
    if (path.empty()) return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
        static_cast<uint64_t>(st.st_size) > kLongestLoopFile)
        return nullptr;

    char magic[sizeof kMagic];
    uint32_t keySize = 0;
    if (!ReadAll(fd, magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0 ||
        !ReadAll(fd, &keySize, sizeof keySize) || keySize > kLongestKey)
        return nullptr;
    std::string key(keySize, '\0');
    uint64_t byteCount = 0;
    if (!ReadAll(fd, key.data(), keySize) || key != LoopKey(settings) ||
        !ReadAll(fd, &byteCount, sizeof byteCount))
        return nullptr;
    const uint64_t header = sizeof kMagic + sizeof keySize + keySize + sizeof byteCount;
    if (byteCount != static_cast<uint64_t>(st.st_size) - header) return nullptr;

    auto loop = std::make_shared<EncodedLoop>(settings, LoopPlan::For(settings));
    loop->bytes.resize(byteCount);
    if (!ReadAll(fd, loop->bytes.data(), loop->bytes.size())) return nullptr;
    if (!IndexLoop(*loop).ok()) return nullptr;
    return loop;
}

bool SaveLoopFile(const EncodedLoop& loop) {
    static std::atomic<unsigned> serial{0};
    if (LoopFolder().empty() || !MakeDirectories(LoopFolder())) return false;
    const std::string path = LoopFilePath(loop.settings);
    const std::string temporary =
        path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(serial.fetch_add(1));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    const std::string key = LoopKey(loop.settings);
    const auto keySize = static_cast<uint32_t>(key.size());
    const auto byteCount = static_cast<uint64_t>(loop.bytes.size());
    bool written = WriteAll(fd, kMagic, sizeof kMagic) && WriteAll(fd, &keySize, sizeof keySize) &&
                   WriteAll(fd, key.data(), key.size()) && WriteAll(fd, &byteCount, sizeof byteCount) &&
                   WriteAll(fd, loop.bytes.data(), loop.bytes.size());
    written = ::close(fd) == 0 && written;
    // Readers see the old file or the whole new one, never a part.
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace host::encoder
