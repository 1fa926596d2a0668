#include "comm/serial/ServerLock.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KelComm::Serial::Internal {

namespace {
constexpr std::size_t hostNameBound = 200;
constexpr mode_t privateFolder = 0700;
constexpr mode_t privateFile = 0600;

// Only its owner can put a file, or a link, in it.
bool ownPrivateFolder(const struct stat& found)
{
    return S_ISDIR(found.st_mode) && found.st_uid == getuid() && !(found.st_mode & (S_IWGRP | S_IWOTH));
}

// The runtime folder, or one under /tmp that only this user can use; empty with errno set
// when neither is safe to use.
std::string lockFolder()
{
    // A runtime folder that is gone, or another user's kept across su, would fail every open.
    struct stat found{};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && stat(runtime, &found) == 0 && ownPrivateFolder(found))
        return runtime;
    const std::string folder = "/tmp/kelcomm-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), privateFolder) != 0 && errno != EEXIST)
        return {};
    // Someone else's folder, or a link planted in its place, is not ours to lock in.
    if (lstat(folder.c_str(), &found) != 0)
        return {};
    if (!ownPrivateFolder(found)) {
        errno = EACCES;
        return {};
    }
    return folder;
}
} // namespace

std::string serverLockPath(const NetworkAddress& address)
{
    // The host comes from a file: only harmless characters reach the file name.
    std::string host;
    for (const char c : address.host.substr(0, hostNameBound)) {
        const auto byte = static_cast<unsigned char>(c);
        host.push_back(std::isalnum(byte) || c == '.' || c == '-' ? static_cast<char>(std::tolower(byte)) : '_');
    }
    const std::string folder = lockFolder();
    if (folder.empty())
        return {};
    return folder + "/kelcomm-" + host + "_" + std::to_string(address.port) + ".lock";
}

int lockServerLine(const NetworkAddress& address)
{
    const std::string path = serverLockPath(address);
    if (path.empty())
        return -1;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, privateFile);
    if (fd < 0)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace KelComm::Serial::Internal
