#include "s11n/FileReplacement.h"

#include "s11n/S11nException.h"

#include <boost/format.hpp>

#include <atomic>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace s11n::Internal {

namespace fs = std::filesystem;

namespace {

// Links are followed as far as a system would before it gives up with ELOOP.
constexpr int maxLinkHops = 40;
// Names left by a process that died while saving may take a few tries to get past.
constexpr int maxNameTries = 100;

[[noreturn]] void failToOpen(const fs::path& file)
{
    throw s11n_exception((boost::wformat(KelBase::resStr(DocumentMessage::CannotOpen)) % file.wstring()).str());
}

[[noreturn]] void failToWrite() { throw s11n_exception(KelBase::resStr(DocumentMessage::CannotWrite)); }

fs::path followLinks(fs::path file)
{
    std::error_code error;
    for (int hop = 0; hop < maxLinkHops && fs::is_symlink(file, error); ++hop) {
        const fs::path target = fs::read_symlink(file, error);
        if (error)
            break;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file;
}

// A new file beside the target, made for this process alone.
int createBeside(const fs::path& target, fs::path& created)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < maxNameTries; ++attempt) {
        created = target.parent_path() / ("." + target.filename().string() + ".new-" + std::to_string(getpid()) +
                                          "-" + std::to_string(counter++));
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself last; the document is in place whether or not this succeeds.
void syncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

} // namespace

void replaceFile(const fs::path& file, std::string_view content)
{
    const fs::path target = followLinks(file);
    fs::path created;
    const int fd = createBeside(target, created);
    if (fd < 0)
        failToOpen(file);
    struct stat old {};
    bool complete = (::stat(target.c_str(), &old) != 0 || fchmod(fd, old.st_mode & 07777) == 0) &&
                    writeAll(fd, content) && fsync(fd) == 0;
    complete = close(fd) == 0 && complete;
    if (!complete || ::rename(created.c_str(), target.c_str()) != 0) {
        ::unlink(created.c_str());
        failToWrite();
    }
    syncFolder(target.parent_path());
}

} // namespace s11n::Internal
