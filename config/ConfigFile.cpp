#include "ConfigFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qvc {

namespace fs = std::filesystem;

namespace {

// Owns one POSIX file descriptor.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

// Moves exactly `size` bytes with read(2) or write(2), going on after an
// interrupted call; false on an error or an early end of file.
template <typename Byte, typename Transfer>
bool TransferAll(int fd, Byte* data, std::size_t size, Transfer transfer) {
    while (size > 0) {
        const ssize_t n = transfer(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t size) {
    return TransferAll(fd, data, size, ::read);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    return TransferAll(fd, data, size, ::write);
}

// Creates a new, empty temporary file beside `target` (mode 0666 less the
// umask, like any new file). Sets `tmpPath` to its name.
Fd CreateTemporary(const fs::path& target, fs::path& tmpPath) {
    static unsigned counter = 0;
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    // Keep the name well inside the file-name limit whatever the target's is.
    const std::string stem = target.filename().string().substr(0, 64);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = folder / ("." + stem + ".qvc-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter++) + ".tmp");
        const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return Fd(fd);
        }
    }
    return Fd(-1);
}

// The file a save writes: `path` itself, or the end of its chain of symbolic
// links, which need not exist yet. Empty for a loop or a link that cannot be
// read.
fs::path SaveTarget(const fs::path& path) {
    fs::path target = path;
    std::error_code ec;
    for (int hop = 0; hop < 40; ++hop) {
        if (!fs::is_symlink(fs::symlink_status(target, ec))) {
            return target;
        }
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            return {};
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return {};
}

// Whether a save may change `path`: this user may write it, and it has a write
// permission bit at all. A file or folder without any is read-only for
// everyone, root included, as editors treat it; access(2) alone lets root
// write anything.
bool MayWrite(const fs::path& path, const struct stat& info) {
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Rewrites an existing file through its own inode. It is not truncated on
// opening, so a failure before the first byte leaves it whole; its length is
// set once the bytes are in.
bool WriteInPlace(const fs::path& target, const ConfigImage& image) {
    Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    bool ok = fd.valid() && WriteAll(fd.get(), image.bytes.data(), image.bytes.size()) &&
              ::ftruncate(fd.get(), static_cast<off_t>(image.bytes.size())) == 0 &&
              ::fsync(fd.get()) == 0;
    return fd.Close() && ok;
}

// Writes a temporary file beside the target, flushes it to the disk and
// renames it over the target, so that the target is replaced whole or not at
// all. `existing` is the target's status when there is one: its permission
// bits carry over.
bool WriteReplacing(const fs::path& target, const ConfigImage& image,
                    const struct stat* existing) {
    fs::path tmpPath;
    Fd fd = CreateTemporary(target, tmpPath);
    if (!fd.valid()) {
        return false;
    }
    bool ok = WriteAll(fd.get(), image.bytes.data(), image.bytes.size());
    if (ok && existing != nullptr) {
        ok = ::fchmod(fd.get(), existing->st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(tmpPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpPath.c_str());
    }
    return ok;
}

} // namespace

ConfigReadResult ReadConfigFile(const fs::path& path, ConfigImage& image) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        return ConfigReadResult::CannotOpen;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return ConfigReadResult::CannotOpen;
    }
    if (info.st_size != static_cast<off_t>(ConfigImage::kSize)) {
        return ConfigReadResult::BadSize;
    }
    std::array<std::uint8_t, ConfigImage::kSize> buffer{};
    if (!ReadAll(fd.get(), buffer.data(), buffer.size())) {
        return ConfigReadResult::CannotOpen;
    }
    image.bytes = buffer;
    return ConfigReadResult::Ok;
}

const char* ConfigReadErrorText(ConfigReadResult result) {
    switch (result) {
    case ConfigReadResult::Ok:
        return nullptr;
    case ConfigReadResult::CannotOpen:
        return kConfigOpenErrorText;
    case ConfigReadResult::BadSize:
        return kConfigSizeErrorText;
    }
    return kConfigOpenErrorText;
}

bool WriteConfigFile(const fs::path& path, const ConfigImage& image) {
    const fs::path target = SaveTarget(path);
    if (!target.has_filename()) {
        return false;
    }
    // An existing target must be a plain file this user may write.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        return false;
    }
    if (exists && (!S_ISREG(existing.st_mode) || !MayWrite(target, existing))) {
        return false;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) {
        return false;
    }
    if (!MayWrite(folder, folderInfo)) {
        // No new name can go into the folder: an existing file is rewritten
        // where it is, a new one cannot be made.
        return exists && WriteInPlace(target, image);
    }
    return WriteReplacing(target, image, exists ? &existing : nullptr);
}

} // namespace qvc
