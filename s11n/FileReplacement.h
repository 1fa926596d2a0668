#pragma once

#include <filesystem>
#include <string_view>

namespace s11n::Internal {

// Puts the content in place of the file: it is written to a new file beside it, flushed to
// the disk and then renamed over the old one, so that a failure at any step (a full disk)
// leaves the old file whole and no new file behind. A symbolic link stays a link: the file
// it leads to is replaced. The new file keeps the old one's permissions. Throws
// s11n_exception: CannotOpen when no file can be made there, CannotWrite for the rest.
void replaceFile(const std::filesystem::path& file, std::string_view content);

} // namespace s11n::Internal
