// Locks between the threads of this process.
// Stands for: InitializeCriticalSection, EnterCriticalSection,
// LeaveCriticalSection, DeleteCriticalSection.
//
// Both meet the standard's BasicLockable requirements, so std::lock_guard and
// std::unique_lock take them.
#pragma once

#include <memory>

namespace vorn::platform {

// A critical section that the thread holding it does not enter again.
class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void lock();
  void unlock();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A critical section that the thread holding it may enter again (each entry
// is left once).
class RecursiveCriticalSection {
 public:
  RecursiveCriticalSection();
  ~RecursiveCriticalSection();
  RecursiveCriticalSection(const RecursiveCriticalSection&) = delete;
  RecursiveCriticalSection& operator=(const RecursiveCriticalSection&) = delete;

  void lock();
  void unlock();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vorn::platform
