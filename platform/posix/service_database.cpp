#include "platform/posix/service_database.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/json_object.h"
#include "platform/posix/root.h"

namespace vorn::platform::posix {
namespace {

constexpr std::size_t kMaxNameLength = 256;  // as Windows limits service names
// Room for any status record: seven fields, a pid and a start time.
constexpr std::size_t kStatusFileSize = 512;
constexpr const char* kStatusName = "status";
constexpr const char* kSpareName = ".status.spare";

std::optional<std::string> readWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(content).str();
}

std::optional<std::uint32_t> field32(const JsonObject& object, std::string_view key) {
  const auto value = object.integer(key);
  if (!value || *value < 0 || *value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

// Takes flock(2) on `fd`, retrying when a signal interrupts the wait.
std::uint32_t lockExclusive(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return win32FromErrno(errno);
  }
  return kErrorSuccess;
}

// The spare is made once, with its blocks; from then on each report is
// written over it and swapped with the status file.
std::uint32_t writeStatusRecord(int folder, const std::string& record) {
  UniqueFd spare(::openat(folder, kSpareName, O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (spare && (::fstat(spare.get(), &info) != 0 || !S_ISREG(info.st_mode))) return kErrorAccessDenied;
  if (spare && static_cast<std::size_t>(info.st_size) != kStatusFileSize) {
    // Left by another scheme: made again at the right size.
    spare.reset();
    if (::unlinkat(folder, kSpareName, 0) != 0 && errno != ENOENT) return win32FromErrno(errno);
  } else if (!spare && errno != ENOENT) {
    return win32FromErrno(errno);
  }
  if (!spare) {
    if (const int error = openStateFile(folder, kSpareName, O_RDWR, spare)) return win32FromErrno(error);
    if (const int error = ::posix_fallocate(spare.get(), 0, kStatusFileSize)) {
      ::unlinkat(folder, kSpareName, 0);
      return win32FromErrno(error);
    }
  }
  std::size_t done = 0;
  while (done < record.size()) {
    const ssize_t n = ::pwrite(spare.get(), record.data() + done, record.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? win32FromErrno(errno) : kErrorDiskFull;
    done += static_cast<std::size_t>(n);
  }
  if (::fdatasync(spare.get()) != 0) return win32FromErrno(errno);
  if (::renameat2(folder, kSpareName, folder, kStatusName, RENAME_EXCHANGE) == 0) return kErrorSuccess;
  // No status yet, or a file system that cannot swap: the spare becomes the
  // status, and the next report makes a new spare.
  if (errno != ENOENT && errno != EINVAL) return win32FromErrno(errno);
  if (::renameat(folder, kSpareName, folder, kStatusName) != 0) return win32FromErrno(errno);
  return kErrorSuccess;
}

}  // namespace

std::optional<std::uint64_t> processStartTime(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  const auto stat = readWholeFile("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return std::nullopt;
  // "pid (comm) state ppid …": the command may hold blanks and parentheses,
  // so the fields are counted after its last ')'.
  const std::size_t close = stat->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat->substr(close + 1));
  std::string state;
  fields >> state;
  if (state == "Z" || state == "X") return std::nullopt;
  std::string field;
  for (int index = 4; index <= 22 && fields >> field; ++index) {
    if (index < 22) continue;
    std::uint64_t startTime = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), startTime);
    if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
    return startTime;
  }
  return std::nullopt;
}

std::uint32_t ServiceFolder::locate(std::string_view name, ServiceFolder& folder) {
  if (name.empty() || name.size() > kMaxNameLength || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\\\0", 3)) != name.npos) {
    return kErrorInvalidName;
  }
  std::filesystem::path services;
  if (const std::uint32_t error = rootFolder("services", services)) return error;
  folder.name_ = std::string(name);
  folder.path_ = services / utf8FromAnsi(name);
  return kErrorSuccess;
}

std::uint32_t ServiceFolder::create() const {
  if (::mkdir(path_.c_str(), 0755) != 0) return errno == EEXIST ? kErrorServiceExists : win32FromErrno(errno);
  if (::chmod(path_.c_str(), 0755) != 0) return win32FromErrno(errno);  // whatever the umask
  return kErrorSuccess;
}

void ServiceFolder::remove() const {
  std::error_code ignored;  // a folder gone already, or going meanwhile, is what is wanted
  std::filesystem::remove_all(path_, ignored);
}

std::uint32_t ServiceFolder::readConfig(ServiceRegistration& registration) const {
  const auto text = readWholeFile(path_ / "config");
  if (!text) return kErrorServiceDoesNotExist;
  const auto object = JsonObject::parse(*text);
  if (!object) return kErrorBadDb;
  const std::string* displayName = object->text("DisplayName");
  const std::string* imagePath = object->text("ImagePath");
  const auto type = field32(*object, "Type");
  const auto start = field32(*object, "Start");
  const auto errorControl = field32(*object, "ErrorControl");
  if (displayName == nullptr || imagePath == nullptr || !type || !start || !errorControl) return kErrorBadDb;
  registration.displayName = ansiFromUtf8(*displayName);
  registration.imagePath = ansiFromUtf8(*imagePath);
  registration.serviceType = *type;
  registration.startType = *start;
  registration.errorControl = *errorControl;
  registration.deleted = object->boolean("Deleted").value_or(false);
  return kErrorSuccess;
}

std::uint32_t ServiceFolder::writeConfig(const ServiceRegistration& registration) const {
  JsonObject object;
  object.set("DisplayName", utf8FromAnsi(registration.displayName));
  object.set("ImagePath", utf8FromAnsi(registration.imagePath));
  object.set("Type", std::int64_t{registration.serviceType});
  object.set("Start", std::int64_t{registration.startType});
  object.set("ErrorControl", std::int64_t{registration.errorControl});
  if (registration.deleted) object.set("Deleted", true);
  return writeFile("config", object.serialize());
}

std::uint32_t ServiceFolder::readStatus(RecordedStatus& recorded) const {
  recorded = RecordedStatus{};
  recorded.status.dwServiceType = kServiceWin32OwnProcess;
  recorded.status.dwCurrentState = kServiceStopped;
  const auto text = readWholeFile(path_ / "status");
  if (!text) return kErrorSuccess;
  const auto object = JsonObject::parse(*text);
  if (!object) return kErrorBadDb;
  const std::pair<const char*, std::uint32_t ServiceStatus::*> fields[] = {
      {"dwServiceType", &ServiceStatus::dwServiceType},
      {"dwCurrentState", &ServiceStatus::dwCurrentState},
      {"dwControlsAccepted", &ServiceStatus::dwControlsAccepted},
      {"dwWin32ExitCode", &ServiceStatus::dwWin32ExitCode},
      {"dwServiceSpecificExitCode", &ServiceStatus::dwServiceSpecificExitCode},
      {"dwCheckPoint", &ServiceStatus::dwCheckPoint},
      {"dwWaitHint", &ServiceStatus::dwWaitHint},
  };
  for (const auto& [key, member] : fields) {
    const auto value = field32(*object, key);
    if (!value) return kErrorBadDb;
    recorded.status.*member = *value;
  }
  const auto pid = object->integer("pid");
  const auto startTime = object->integer("startTime");
  if (!pid || *pid < 0 || *pid > std::numeric_limits<pid_t>::max() || !startTime || *startTime < 0) return kErrorBadDb;
  recorded.pid = static_cast<pid_t>(*pid);
  recorded.startTime = static_cast<std::uint64_t>(*startTime);
  return kErrorSuccess;
}

std::uint32_t ServiceFolder::writeStatus(const RecordedStatus& recorded, pid_t unlessPid) const {
  UniqueFd folder(::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) return errno == ENOENT ? kErrorServiceDoesNotExist : win32FromErrno(errno);
  if (const std::uint32_t error = lockExclusive(folder.get())) return error;
  if (unlessPid != 0) {
    RecordedStatus current;
    if (readStatus(current) == kErrorSuccess && current.pid == unlessPid) return kErrorSuccess;
  }
  const ServiceStatus& status = recorded.status;
  JsonObject object;
  object.set("dwServiceType", std::int64_t{status.dwServiceType});
  object.set("dwCurrentState", std::int64_t{status.dwCurrentState});
  object.set("dwControlsAccepted", std::int64_t{status.dwControlsAccepted});
  object.set("dwWin32ExitCode", std::int64_t{status.dwWin32ExitCode});
  object.set("dwServiceSpecificExitCode", std::int64_t{status.dwServiceSpecificExitCode});
  object.set("dwCheckPoint", std::int64_t{status.dwCheckPoint});
  object.set("dwWaitHint", std::int64_t{status.dwWaitHint});
  object.set("pid", std::int64_t{recorded.pid});
  object.set("startTime", static_cast<std::int64_t>(recorded.startTime));
  std::string record = object.serialize();
  if (record.size() >= kStatusFileSize) return kErrorInsufficientBuffer;
  record.resize(kStatusFileSize - 1, ' ');
  record += '\n';
  return writeStatusRecord(folder.get(), record);
}

std::uint32_t ServiceFolder::writePidFile(pid_t pid) const { return writeFile("pid", std::to_string(pid) + "\n"); }

std::uint32_t ServiceFolder::currentStatus(ServiceStatus& status) const {
  RecordedStatus recorded;
  if (const std::uint32_t error = readStatus(recorded)) return error;
  status = recorded.status;
  if (status.dwCurrentState != kServiceStopped && processStartTime(recorded.pid) != recorded.startTime) {
    // The process ended without reporting it (or its pid now names another).
    status.dwCurrentState = kServiceStopped;
    status.dwControlsAccepted = 0;
    status.dwCheckPoint = 0;
    status.dwWaitHint = 0;
  }
  return kErrorSuccess;
}

std::uint32_t ServiceFolder::lock(UniqueFd& held) const {
  UniqueFd fd;
  if (const int error = openStateFile(AT_FDCWD, (path_ / "lock").c_str(), O_RDWR, fd)) {
    return error == ENOENT ? kErrorServiceDoesNotExist : win32FromErrno(error);
  }
  if (const std::uint32_t error = lockExclusive(fd.get())) return error;
  held = std::move(fd);
  return kErrorSuccess;
}

std::uint32_t ServiceFolder::writeFile(const char* fileName, const std::string& content) const {
  std::string temporary = (path_ / ("." + std::string(fileName) + ".XXXXXX")).native();
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) return errno == ENOENT ? kErrorServiceDoesNotExist : win32FromErrno(errno);
  const auto fail = [&](int error) {
    ::unlink(temporary.c_str());
    return win32FromErrno(error);
  };
  if (::fchmod(fd.get(), 0644) != 0) return fail(errno);
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd.get(), content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (::close(fd.release()) != 0) return fail(errno);
  if (::rename(temporary.c_str(), (path_ / fileName).c_str()) != 0) return fail(errno);
  return kErrorSuccess;
}

}  // namespace vorn::platform::posix
