// The service control manager, as a program that installs and controls
// services sees it.
// Stands for: OpenSCManagerA, CreateServiceA, OpenServiceA, StartServiceA,
// ControlService, QueryServiceStatus, DeleteService, CloseServiceHandle.
//
// Results are Win32 codes (0 on success); a failing call also sets the last
// error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vorn::platform {

// SERVICE_STATUS, field for field.
struct ServiceStatus {
  std::uint32_t dwServiceType = 0;
  std::uint32_t dwCurrentState = 0;
  std::uint32_t dwControlsAccepted = 0;
  std::uint32_t dwWin32ExitCode = 0;
  std::uint32_t dwServiceSpecificExitCode = 0;
  std::uint32_t dwCheckPoint = 0;
  std::uint32_t dwWaitHint = 0;

  friend bool operator==(const ServiceStatus&, const ServiceStatus&) = default;
};

// Service types, start types, error controls.
inline constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
inline constexpr std::uint32_t kServiceAutoStart = 2;
inline constexpr std::uint32_t kServiceDemandStart = 3;
inline constexpr std::uint32_t kServiceErrorNormal = 1;

// Service states (dwCurrentState).
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;

// Controls, and the accepted-controls bits.
inline constexpr std::uint32_t kServiceControlStop = 1;
inline constexpr std::uint32_t kServiceControlInterrogate = 4;
inline constexpr std::uint32_t kServiceControlShutdown = 5;
inline constexpr std::uint32_t kServiceAcceptStop = 1;
inline constexpr std::uint32_t kServiceAcceptShutdown = 4;

// Access rights.
inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;

// CreateServiceA's registration of a service (no load order group, tag,
// dependencies, account or password: it runs as the local system account).
struct ServiceConfig {
  std::string name;
  std::string displayName;
  std::uint32_t serviceType = kServiceWin32OwnProcess;
  std::uint32_t startType = kServiceAutoStart;
  std::uint32_t errorControl = kServiceErrorNormal;
  std::string binaryPath;  // the program file, as it is to be started
};

// An open service; destroying it closes the handle (CloseServiceHandle).
class ServiceHandle {
 public:
  virtual ~ServiceHandle() = default;

  // StartServiceA with no arguments: returns once the service's program has
  // connected to the manager (kErrorServiceAlreadyRunning 1056 when it runs;
  // kErrorServiceRequestTimeout 1053 when it does not connect in time).
  // Starting, deleting (and creating) are for those who administer services:
  // kErrorAccessDenied for others.
  virtual std::uint32_t start() = 0;

  // ControlService: sends `control` and fills `status` as it stands after the
  // service's handler ran. kErrorServiceNotActive (1062) when the service does
  // not run; kErrorServiceCannotAcceptCtrl (1061) for a stop while it is
  // start- or stop-pending; kErrorAccessDenied for any control but
  // interrogate from a caller who does not administer services.
  virtual std::uint32_t control(std::uint32_t control, ServiceStatus& status) = 0;

  // QueryServiceStatus: the status the service reported last (stopped when it
  // does not run).
  virtual std::uint32_t queryStatus(ServiceStatus& status) = 0;

  // DeleteService: a stopped service's registration goes now; a running
  // one's is marked and goes when it stops (meanwhile it cannot be opened,
  // 1060, nor created again, kErrorServiceMarkedForDelete 1072).
  virtual std::uint32_t remove() = 0;
};

// An open connection to the manager's database; destroying it closes it.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;

  // CreateServiceA: kErrorServiceExists (1073) when the name is registered
  // (the registration is left untouched).
  virtual std::uint32_t createService(const ServiceConfig& config, std::uint32_t access,
                                      std::unique_ptr<ServiceHandle>& service) = 0;

  // OpenServiceA: kErrorServiceDoesNotExist (1060) for a name not registered.
  virtual std::uint32_t openService(std::string_view name, std::uint32_t access,
                                    std::unique_ptr<ServiceHandle>& service) = 0;
};

// OpenSCManagerA(local machine, default database, access).
std::uint32_t openServiceManager(std::uint32_t access, std::unique_ptr<ServiceManager>& manager);

}  // namespace vorn::platform
