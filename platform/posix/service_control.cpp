// The service control manager's client side on POSIX: the database folders
// of service_database.h, the start of service_launch.h and the control
// channel of control_channel.h. Service names are matched exactly.
//
// Access as the default access lists of Windows grant it, checked where an
// operation needs it rather than when a handle is opened (so that every user
// reaches the control pipe, whose own rules apply): creating, starting and
// deleting are for root and the owner of the database, the service's
// dispatcher checks its controls itself.
#include "platform/service_control.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "platform/error.h"
#include "platform/posix/control_channel.h"
#include "platform/posix/manager_events.h"
#include "platform/posix/root.h"
#include "platform/posix/seqpacket.h"
#include "platform/posix/service_database.h"
#include "platform/posix/service_launch.h"

namespace vorn::platform {
namespace {

using posix::ServiceFolder;
using posix::ServiceRegistration;
using posix::UniqueFd;

std::uint32_t result(std::uint32_t code) {
  if (code != kErrorSuccess) setLastError(code);
  return code;
}

// Whether the caller administers the services of the database in `services`.
bool administers(const std::filesystem::path& services) {
  struct stat info {};
  return ::geteuid() == 0 || (::stat(services.c_str(), &info) == 0 && info.st_uid == ::geteuid());
}

bool isStopped(const ServiceFolder& folder) {
  ServiceStatus status;
  return folder.currentStatus(status) == kErrorSuccess && status.dwCurrentState == kServiceStopped;
}

// A registration deleted while its service ran goes when the service stops;
// one whose service ended without reporting that goes when it is next looked
// at. True when `folder` held such a registration (now gone or still going).
bool isDeletedRegistration(const ServiceFolder& folder) {
  ServiceRegistration registration;
  if (folder.readConfig(registration) != kErrorSuccess || !registration.deleted) return false;
  if (isStopped(folder)) folder.remove();
  return true;
}

class PosixServiceHandle final : public ServiceHandle {
 public:
  explicit PosixServiceHandle(ServiceFolder folder) : folder_(std::move(folder)) {}

  std::uint32_t start() override {
    UniqueFd lock;
    if (const std::uint32_t error = folder_.lock(lock)) return result(error);
    ServiceRegistration registration;
    if (const std::uint32_t error = folder_.readConfig(registration)) return result(error);
    if (registration.deleted) return result(kErrorServiceMarkedForDelete);
    posix::RecordedStatus recorded;
    if (const std::uint32_t error = folder_.readStatus(recorded)) return result(error);
    ServiceStatus status;
    if (const std::uint32_t error = folder_.currentStatus(status)) return result(error);
    if (status.dwCurrentState != kServiceStopped) return result(kErrorServiceAlreadyRunning);
    // Its last run ended without reporting that it stopped: a crash, or a kill.
    if (recorded.status.dwCurrentState != kServiceStopped) {
      posix::reportManagerEvent(folder_.name(), "ended without stopping", std::to_string(recorded.pid));
    }
    return result(posix::launchService(folder_, registration));
  }

  std::uint32_t control(std::uint32_t control, ServiceStatus& status) override {
    ServiceRegistration registration;
    if (const std::uint32_t error = folder_.readConfig(registration)) return result(error);
    posix::SocketFile file;
    if (const std::uint32_t error = posix::SocketFile::open(folder_.path(), posix::kControlSocketName, file)) {
      return result(error);
    }
    const posix::Deadline deadline = posix::deadlineAfter(posix::kControlAnswerTimeoutMs);
    UniqueFd socket;
    for (;;) {
      const std::uint32_t error = file.connect(socket);
      if (error == kErrorSuccess) break;
      if (error == kErrorFileNotFound) return result(kErrorServiceNotActive);
      if (error != kErrorPipeBusy) return result(error);
      if (std::chrono::steady_clock::now() >= deadline) return result(kErrorServiceRequestTimeout);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto request = posix::encodeControlRequest(control);
    std::array<std::uint8_t, posix::kControlReplySize> reply{};
    std::size_t got = 0;
    std::uint32_t error = posix::sendMessage(socket.get(), request, deadline);
    if (error == kErrorSuccess) error = posix::receiveMessage(socket.get(), reply, got, deadline);
    // The dispatcher went away meanwhile: the service has stopped.
    if (error == kErrorNoData || error == kErrorBrokenPipe) return result(kErrorServiceNotActive);
    if (error != kErrorSuccess || got != reply.size()) return result(kErrorServiceRequestTimeout);
    std::uint32_t answer = 0;
    posix::decodeControlReply(reply, answer, status);
    return result(answer);
  }

  std::uint32_t queryStatus(ServiceStatus& status) override { return result(folder_.currentStatus(status)); }

  std::uint32_t remove() override {
    UniqueFd lock;
    if (const std::uint32_t error = folder_.lock(lock)) return result(error);
    ServiceRegistration registration;
    if (const std::uint32_t error = folder_.readConfig(registration)) return result(error);
    if (registration.deleted) return result(kErrorServiceMarkedForDelete);
    if (isStopped(folder_)) {
      folder_.remove();
      return kErrorSuccess;
    }
    registration.deleted = true;
    if (const std::uint32_t error = folder_.writeConfig(registration)) return result(error);
    // The service may have stopped before it could see the mark; its
    // dispatcher removes the folder only when it sees it.
    if (isStopped(folder_)) folder_.remove();
    return kErrorSuccess;
  }

 private:
  ServiceFolder folder_;
};

class PosixServiceManager final : public ServiceManager {
 public:
  explicit PosixServiceManager(bool administrator) : administrator_(administrator) {}

  std::uint32_t createService(const ServiceConfig& config, std::uint32_t /*access*/,
                              std::unique_ptr<ServiceHandle>& service) override {
    if (!administrator_) return result(kErrorAccessDenied);  // also for a name that is registered
    if (config.binaryPath.empty()) return result(kErrorInvalidParameter);
    ServiceFolder folder;
    if (const std::uint32_t error = ServiceFolder::locate(config.name, folder)) return result(error);
    std::uint32_t created = folder.create();
    if (created == kErrorServiceExists && isDeletedRegistration(folder)) {
      created = folder.create();
      if (created == kErrorServiceExists) return result(kErrorServiceMarkedForDelete);
    }
    if (created != kErrorSuccess) return result(created);
    ServiceRegistration registration;
    registration.displayName = config.displayName;
    registration.imagePath = config.binaryPath;
    registration.serviceType = config.serviceType;
    registration.startType = config.startType;
    registration.errorControl = config.errorControl;
    if (const std::uint32_t error = folder.writeConfig(registration)) {
      folder.remove();
      return result(error);
    }
    service = std::make_unique<PosixServiceHandle>(std::move(folder));
    return kErrorSuccess;
  }

  std::uint32_t openService(std::string_view name, std::uint32_t /*access*/,
                            std::unique_ptr<ServiceHandle>& service) override {
    ServiceFolder folder;
    if (const std::uint32_t error = ServiceFolder::locate(name, folder)) {
      return result(error == kErrorInvalidName ? kErrorServiceDoesNotExist : error);
    }
    if (isDeletedRegistration(folder)) return result(kErrorServiceDoesNotExist);
    ServiceRegistration registration;
    if (const std::uint32_t error = folder.readConfig(registration)) return result(error);
    service = std::make_unique<PosixServiceHandle>(std::move(folder));
    return kErrorSuccess;
  }

 private:
  bool administrator_;
};

}  // namespace

std::uint32_t openServiceManager(std::uint32_t /*access*/, std::unique_ptr<ServiceManager>& manager) {
  std::filesystem::path services;
  if (const std::uint32_t error = rootFolder("services", services)) return result(error);
  manager = std::make_unique<PosixServiceManager>(administers(services));
  return kErrorSuccess;
}

}  // namespace vorn::platform
