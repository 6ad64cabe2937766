// The service control manager on Windows, as a controlling program sees it:
// OpenSCManagerA, CreateServiceA, OpenServiceA, StartServiceA, ControlService,
// QueryServiceStatus, DeleteService, CloseServiceHandle.
#include "platform/service_control.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/win32/service_status.h"

namespace vorn::platform {
namespace {

std::uint32_t failure() {
  const DWORD code = ::GetLastError();
  ::SetLastError(code);
  return code;
}

class ScHandle {
 public:
  explicit ScHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ScHandle() { ::CloseServiceHandle(handle_); }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

class Win32Service final : public ServiceHandle {
 public:
  explicit Win32Service(SC_HANDLE handle) : handle_(handle) {}

  std::uint32_t start() override { return ::StartServiceA(handle_.get(), 0, nullptr) ? kErrorSuccess : failure(); }

  std::uint32_t control(std::uint32_t control, ServiceStatus& status) override {
    SERVICE_STATUS reported{};
    const BOOL ok = ::ControlService(handle_.get(), control, &reported);
    const DWORD code = ok ? ERROR_SUCCESS : ::GetLastError();
    status = win32::fromWin32(reported);
    ::SetLastError(code);
    return code;
  }

  std::uint32_t queryStatus(ServiceStatus& status) override {
    SERVICE_STATUS reported{};
    if (!::QueryServiceStatus(handle_.get(), &reported)) return failure();
    status = win32::fromWin32(reported);
    return kErrorSuccess;
  }

  std::uint32_t remove() override { return ::DeleteService(handle_.get()) ? kErrorSuccess : failure(); }

 private:
  ScHandle handle_;
};

class Win32ServiceManager final : public ServiceManager {
 public:
  explicit Win32ServiceManager(SC_HANDLE handle) : handle_(handle) {}

  std::uint32_t createService(const ServiceConfig& config, std::uint32_t access,
                              std::unique_ptr<ServiceHandle>& service) override {
    service.reset();
    const SC_HANDLE created = ::CreateServiceA(
        handle_.get(), config.name.c_str(), config.displayName.c_str(), access, config.serviceType, config.startType,
        config.errorControl, config.binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (created == nullptr) return failure();
    service = std::make_unique<Win32Service>(created);
    return kErrorSuccess;
  }

  std::uint32_t openService(std::string_view name, std::uint32_t access,
                            std::unique_ptr<ServiceHandle>& service) override {
    service.reset();
    const std::string serviceName(name);
    const SC_HANDLE opened = ::OpenServiceA(handle_.get(), serviceName.c_str(), access);
    if (opened == nullptr) return failure();
    service = std::make_unique<Win32Service>(opened);
    return kErrorSuccess;
  }

 private:
  ScHandle handle_;
};

}  // namespace

std::uint32_t openServiceManager(std::uint32_t access, std::unique_ptr<ServiceManager>& manager) {
  manager.reset();
  const SC_HANDLE handle = ::OpenSCManagerA(nullptr, nullptr, access);
  if (handle == nullptr) return failure();
  manager = std::make_unique<Win32ServiceManager>(handle);
  return kErrorSuccess;
}

}  // namespace vorn::platform
