// Whole-file reads, atomic replacement and set-aside on POSIX file systems.
#include "platform/linux/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

#include <system_error>

namespace veska::platform::AtomicFile {

namespace {

// Closes the descriptor when the scope ends.
struct Fd {
    int value = -1;
    explicit Fd(int fd) : value(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (value >= 0) ::close(value);
    }
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool readAll(int fd, std::size_t maxBytes, std::string& out, bool& tooLarge) {
    char buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        out.append(buffer, static_cast<std::size_t>(got));
        if (out.size() > maxBytes) {
            tooLarge = true;
            return true;
        }
    }
}

void syncDirectory(const std::filesystem::path& directory) {
    Fd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.value >= 0) ::fsync(dir.value);
}

// rename without replacing; falls back to link + unlink where the file system lacks the flag.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    return ::unlink(from.c_str());
}

}  // namespace

ReadResult read(const std::filesystem::path& path, std::size_t maxBytes) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.value < 0) return {errno == ENOENT ? ReadStatus::missing : ReadStatus::failed, {}};
    struct stat info{};
    if (::fstat(fd.value, &info) != 0 || !S_ISREG(info.st_mode)) return {ReadStatus::failed, {}};
    ReadResult result;
    bool tooLarge = false;
    if (!readAll(fd.value, maxBytes, result.bytes, tooLarge)) return {ReadStatus::failed, {}};
    if (tooLarge) return {ReadStatus::tooLarge, {}};
    result.status = ReadStatus::ok;
    return result;
}

bool write(const std::filesystem::path& path, std::string_view bytes, mode_t mode) {
    std::string temporary = path.string() + ".tmp-XXXXXX";
    int raw = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (raw < 0) return false;
    bool ok;
    {
        Fd fd(raw);
        ok = ::fchmod(fd.value, mode) == 0 && writeAll(fd.value, bytes) && ::fsync(fd.value) == 0;
        if (::close(fd.value) != 0) ok = false;
        fd.value = -1;
    }
    if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncDirectory(path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path());
    return true;
}

std::optional<std::filesystem::path> moveAside(const std::filesystem::path& path, std::string_view suffix,
                                               int maxTries) {
    for (int n = 1; n <= maxTries; ++n) {
        std::filesystem::path target = path.string() + "." + std::string(suffix) + "-" + std::to_string(n);
        if (renameNoReplace(path, target) == 0) return target;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

bool ensureDirectory(const std::filesystem::path& directory, mode_t mode) {
    std::error_code error;
    if (std::filesystem::is_directory(directory, error)) return true;
    if (directory.has_parent_path() && directory.parent_path() != directory) {
        if (!ensureDirectory(directory.parent_path(), mode)) return false;
    }
    if (::mkdir(directory.c_str(), mode) == 0 || errno == EEXIST) {
        return std::filesystem::is_directory(directory, error);
    }
    return false;
}

}  // namespace veska::platform::AtomicFile
