// Files that a document is written under until it is complete: hidden, in
// the folder of the final file so that the final rename is atomic, and named
// after the writing process so that two writers never share one and a
// leftover of a writer that is gone can be told from work in progress.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::platform::posix {

// ".<final name>.<process id>.part".
std::string partialFileName(std::string_view finalName, pid_t writer);

// The writer named by a partial file name; nullopt for any other name.
std::optional<pid_t> partialFileWriter(std::string_view name);

// Removes the partial files in `folder` whose writer no longer runs (a killed
// process leaves its partial file behind). Files of this process and of
// running processes stay. Failures are ignored: the sweep is housekeeping.
void sweepAbandonedPartialFiles(const std::filesystem::path& folder);

}  // namespace vorn::platform::posix
