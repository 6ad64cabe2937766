// Mutexes that processes share by name, machine-wide.
// Stands for: CreateMutexA (default security, not owned, the name in the
// "Global\" namespace), WaitForSingleObject on it without waiting,
// ReleaseMutex, CloseHandle.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace vorn::platform {

class NamedMutex {
 public:
  // Releases the mutex if this process owns it, and closes it. A process
  // that ends owning it releases it too (on Windows: abandons it).
  virtual ~NamedMutex() = default;

  // WaitForSingleObject(mutex, 0): kWaitObject0 when this process owns it now
  // (also after an owner that ended without releasing it), kWaitTimeout
  // while another process owns it, kWaitFailed with the last error set.
  virtual std::uint32_t tryAcquire() = 0;
};

class NamedMutexes {
 public:
  virtual ~NamedMutexes() = default;

  // CreateMutexA of `name` (case-sensitive; no backslash): 0 with `mutex`
  // set, or the Win32 code of the failure (also the last error).
  virtual std::uint32_t create(std::string_view name, std::unique_ptr<NamedMutex>& mutex) = 0;
};

// The machine's named mutexes (on POSIX: lock files under the platform root).
NamedMutexes& systemNamedMutexes();

}  // namespace vorn::platform
