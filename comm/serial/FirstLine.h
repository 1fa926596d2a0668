#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// The first line of a small text file from outside (a port-map entry, an attribute of the
// kernel's device tree), read without trusting its size: a huge or sparse file costs no more
// than its first few kilobytes.
namespace KelComm::Serial::Internal {

constexpr std::size_t firstLineLimit_bytes = 4096;

struct FirstLine {
    enum class Status { Read, TooLong, Unreadable };
    Status status = Status::Unreadable;
    // Without its line end (LF or CR LF); empty unless read.
    std::string text;
    // Why an unreadable file could not be read: an errno.
    int error = 0;
};

// Reads at most firstLineLimit_bytes of a regular file; a line that does not end within them
// is TooLong. With followLinks false a symbolic link is Unreadable (it is no entry of its own).
FirstLine readFirstLine(const std::filesystem::path& file, bool followLinks);

// UTF-8 text from outside with each control character (C0, DEL, C1) replaced by U+FFFD, so
// that it cannot steer a terminal or break a tab-separated line it is printed in.
std::string printable(std::string_view text);

} // namespace KelComm::Serial::Internal
