// Named mutexes on Windows: CreateMutexA in the "Global\" namespace, so that
// processes of every session share it.
#include "platform/named_mutex.h"

#include <windows.h>

#include <string>

#include "platform/error.h"
#include "platform/wait.h"
#include "platform/win32/unique_handle.h"

namespace vorn::platform {
namespace {

class Win32Mutex final : public NamedMutex {
 public:
  explicit Win32Mutex(win32::UniqueHandle handle) : handle_(std::move(handle)) {}

  ~Win32Mutex() override {
    if (owned_) ::ReleaseMutex(handle_.get());
  }

  std::uint32_t tryAcquire() override {
    const DWORD result = ::WaitForSingleObject(handle_.get(), 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
      owned_ = true;
      return kWaitObject0;
    }
    return result == WAIT_TIMEOUT ? kWaitTimeout : kWaitFailed;
  }

 private:
  win32::UniqueHandle handle_;
  bool owned_ = false;
};

class Win32Mutexes final : public NamedMutexes {
 public:
  std::uint32_t create(std::string_view name, std::unique_ptr<NamedMutex>& mutex) override {
    mutex.reset();
    const std::string fullName = "Global\\" + std::string(name);
    win32::UniqueHandle handle(::CreateMutexA(nullptr, FALSE, fullName.c_str()));
    if (!handle) return static_cast<std::uint32_t>(::GetLastError());
    mutex = std::make_unique<Win32Mutex>(std::move(handle));
    return kErrorSuccess;
  }
};

}  // namespace

NamedMutexes& systemNamedMutexes() {
  static Win32Mutexes mutexes;  // stateless: every mutex is the system's
  return mutexes;
}

}  // namespace vorn::platform
