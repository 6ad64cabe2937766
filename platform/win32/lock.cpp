// Locks on Windows: critical sections, which their holder may enter again.
#include "platform/lock.h"

#include <windows.h>

namespace vorn::platform {

struct CriticalSection::State {
  CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : state_(std::make_unique<State>()) {
  ::InitializeCriticalSection(&state_->section);
}
CriticalSection::~CriticalSection() { ::DeleteCriticalSection(&state_->section); }
void CriticalSection::lock() { ::EnterCriticalSection(&state_->section); }
void CriticalSection::unlock() { ::LeaveCriticalSection(&state_->section); }

struct RecursiveCriticalSection::State {
  CRITICAL_SECTION section;
};

RecursiveCriticalSection::RecursiveCriticalSection() : state_(std::make_unique<State>()) {
  ::InitializeCriticalSection(&state_->section);
}
RecursiveCriticalSection::~RecursiveCriticalSection() { ::DeleteCriticalSection(&state_->section); }
void RecursiveCriticalSection::lock() { ::EnterCriticalSection(&state_->section); }
void RecursiveCriticalSection::unlock() { ::LeaveCriticalSection(&state_->section); }

}  // namespace vorn::platform
