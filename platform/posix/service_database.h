// The service control manager's database on POSIX: one folder a service,
// services/<name>/ under the platform root, holding
//   config   the registration, {"DisplayName":…,"ImagePath":…,"Type":16,
//            "Start":2,"ErrorControl":1} (and "Deleted":true once deleted
//            while running);
//   status   the last SERVICE_STATUS reported, with the service's "pid" and
//            "startTime" (the process start time, /proc/<pid>/stat field 22),
//            padded with blanks to a fixed size;
//   .status.spare  the record before it, the place of the next one;
//   pid      the running service's process id, for the system manager;
//   lock     flock(2) on it serialises starts and deletions;
//   control  the dispatcher's socket (see control_channel.h).
// config is replaced whole (temporary file and rename). A status report
// needs no new blocks, so that a full disk cannot refuse it: the record is
// written in place into the spare, whose size was fixed (and its blocks
// allocated) when it was made, and the two files change names in one step
// (RENAME_EXCHANGE). Either way a reader never sees half a file. Texts are
// stored as UTF-8 and handed to the system in the ANSI code page.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"
#include "platform/service_control.h"

namespace vorn::platform::posix {

// What config holds.
struct ServiceRegistration {
  std::string displayName;  // ANSI
  std::string imagePath;    // ANSI, as registered
  std::uint32_t serviceType = kServiceWin32OwnProcess;
  std::uint32_t startType = kServiceAutoStart;
  std::uint32_t errorControl = kServiceErrorNormal;
  bool deleted = false;
};

// What status holds: the status and the process that reported it.
struct RecordedStatus {
  ServiceStatus status;
  pid_t pid = 0;
  std::uint64_t startTime = 0;
};

// The start time (clock ticks after boot) of the running process `pid`;
// nothing when there is no such process or it has ended (a zombie).
std::optional<std::uint64_t> processStartTime(pid_t pid);

class ServiceFolder {
 public:
  // The folder of the service `name` (it need not exist). kErrorInvalidName
  // for a name that cannot be a folder name; the root's errors.
  static std::uint32_t locate(std::string_view name, ServiceFolder& folder);

  const std::string& name() const { return name_; }
  const std::filesystem::path& path() const { return path_; }

  // mkdir (mode 0755): kErrorServiceExists when the folder exists.
  std::uint32_t create() const;
  // The folder with everything in it goes; one already gone is fine.
  void remove() const;

  // kErrorServiceDoesNotExist without a folder or config; kErrorBadDb for a
  // config that is not a registration.
  std::uint32_t readConfig(ServiceRegistration& registration) const;
  std::uint32_t writeConfig(const ServiceRegistration& registration) const;

  // No file reads as stopped. A malformed file is kErrorBadDb.
  std::uint32_t readStatus(RecordedStatus& recorded) const;
  // Under the status lock: the service's reports and a start never overwrite
  // each other half-way. With `unlessPid`, nothing is written when the file
  // already holds that process's own report.
  std::uint32_t writeStatus(const RecordedStatus& recorded, pid_t unlessPid = 0) const;

  // Writes the pid file that a system manager supervising the service reads.
  std::uint32_t writePidFile(pid_t pid) const;

  // The status as the manager reports it: stopped when the recorded process
  // has ended (pid and start time together, so a reused pid is not it).
  std::uint32_t currentStatus(ServiceStatus& status) const;

  // Takes the folder's lock file (blocking); kErrorServiceDoesNotExist when
  // the folder has gone.
  std::uint32_t lock(UniqueFd& held) const;

 private:
  std::uint32_t writeFile(const char* fileName, const std::string& content) const;

  std::string name_;
  std::filesystem::path path_;
};

}  // namespace vorn::platform::posix
