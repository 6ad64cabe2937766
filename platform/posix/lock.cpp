// Critical sections on POSIX: the standard mutexes.
#include "platform/lock.h"

#include <mutex>

namespace vorn::platform {

struct CriticalSection::State {
  std::mutex mutex;
};

CriticalSection::CriticalSection() : state_(std::make_unique<State>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::lock() { state_->mutex.lock(); }
void CriticalSection::unlock() { state_->mutex.unlock(); }

struct RecursiveCriticalSection::State {
  std::recursive_mutex mutex;
};

RecursiveCriticalSection::RecursiveCriticalSection() : state_(std::make_unique<State>()) {}
RecursiveCriticalSection::~RecursiveCriticalSection() = default;
void RecursiveCriticalSection::lock() { state_->mutex.lock(); }
void RecursiveCriticalSection::unlock() { state_->mutex.unlock(); }

}  // namespace vorn::platform
