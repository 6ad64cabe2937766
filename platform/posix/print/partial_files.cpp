#include "platform/posix/print/partial_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <memory>

namespace vorn::platform::posix {
namespace {

constexpr std::string_view kSuffix = ".part";

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool processGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

std::string partialFileName(std::string_view finalName, pid_t writer) {
  return "." + std::string(finalName) + "." + std::to_string(writer) + std::string(kSuffix);
}

std::optional<pid_t> partialFileWriter(std::string_view name) {
  if (name.size() <= kSuffix.size() + 1 || name.front() != '.' || !name.ends_with(kSuffix)) return std::nullopt;
  name.remove_suffix(kSuffix.size());
  const auto dot = name.rfind('.');
  if (dot == 0 || dot == std::string_view::npos) return std::nullopt;
  const std::string_view digits = name.substr(dot + 1);
  pid_t pid = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
  if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || pid <= 0) return std::nullopt;
  return pid;
}

void sweepAbandonedPartialFiles(const std::filesystem::path& folder) {
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    const auto writer = partialFileWriter(entry->d_name);
    if (!writer || *writer == self || !processGone(*writer)) continue;
    ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
  }
}

}  // namespace vorn::platform::posix
