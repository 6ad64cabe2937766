// Waitable timers on Windows: CreateWaitableTimerA, SetWaitableTimer with a
// completion routine, CancelWaitableTimer.
//
// Each arming is a "shot" that the completion routine receives through its
// argument. Arming again or cancelling marks the earlier shots dead, so that
// a routine Windows had already queued for them does nothing. The state the
// queued routines point to outlives the timer object: destroying the timer
// queues, behind them on each arming thread, a call that lets go of it.
#include "platform/waitable_timer.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/win32/unique_handle.h"

namespace vorn::platform {
namespace {

struct TimerState;

struct Shot {
  TimerState* owner = nullptr;
  std::function<void()> routine;
  bool live = true;
};

struct TimerState {
  std::mutex lock;
  std::vector<std::unique_ptr<Shot>> shots;  // guarded by lock
  std::vector<DWORD> armingThreadIds;        // guarded by lock
  std::vector<win32::UniqueHandle> armingThreads;

  void killShots() {
    for (auto& shot : shots) shot->live = false;
  }
};

void CALLBACK timerRoutine(LPVOID argument, DWORD, DWORD) {
  auto* shot = static_cast<Shot*>(argument);
  TimerState& state = *shot->owner;
  std::function<void()> routine;
  {
    std::lock_guard guard(state.lock);
    if (shot->live) routine = std::move(shot->routine);
    std::erase_if(state.shots, [shot](const auto& s) { return s.get() == shot; });
  }
  if (routine) routine();
}

void WINAPI releaseState(ULONG_PTR argument) {
  std::unique_ptr<std::shared_ptr<TimerState>>(reinterpret_cast<std::shared_ptr<TimerState>*>(argument)).reset();
}

class Win32WaitableTimer final : public WaitableTimer {
 public:
  explicit Win32WaitableTimer(HANDLE timer) : timer_(timer), state_(std::make_shared<TimerState>()) {}

  ~Win32WaitableTimer() override {
    {
      std::lock_guard guard(state_->lock);
      state_->killShots();
      ::CancelWaitableTimer(timer_.get());
    }
    timer_.reset();
    for (const auto& thread : state_->armingThreads) {
      auto keep = std::make_unique<std::shared_ptr<TimerState>>(state_);
      // A thread that has ended runs nothing more: then there is nothing to wait for.
      if (::QueueUserAPC(releaseState, thread.get(), reinterpret_cast<ULONG_PTR>(keep.get()))) keep.release();
    }
  }
  Win32WaitableTimer(const Win32WaitableTimer&) = delete;
  Win32WaitableTimer& operator=(const Win32WaitableTimer&) = delete;

  bool set(std::int64_t dueTime, std::function<void()> routine) override {
    if (dueTime > 0) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    // Relative times are negative; a short one must stay relative when scaled.
    LARGE_INTEGER due{};
    due.QuadPart = dueTime / static_cast<std::int64_t>(timeScale());
    if (dueTime < 0 && due.QuadPart == 0) due.QuadPart = -1;

    DWORD failure = ERROR_SUCCESS;
    {
      std::lock_guard guard(state_->lock);
      if (rememberArmingThread()) {
        state_->killShots();
        auto shot = std::make_unique<Shot>();
        shot->owner = state_.get();
        shot->routine = std::move(routine);
        if (::SetWaitableTimer(timer_.get(), &due, 0, timerRoutine, shot.get(), FALSE)) {
          state_->shots.push_back(std::move(shot));
        } else {
          failure = ::GetLastError();
        }
      } else {
        failure = ::GetLastError();
      }
    }
    // Set after the lock is left, which may overwrite the last error.
    if (failure != ERROR_SUCCESS) ::SetLastError(failure);
    return failure == ERROR_SUCCESS;
  }

  bool cancel() override {
    DWORD failure = ERROR_SUCCESS;
    {
      std::lock_guard guard(state_->lock);
      state_->killShots();
      if (!::CancelWaitableTimer(timer_.get())) failure = ::GetLastError();
    }
    if (failure != ERROR_SUCCESS) ::SetLastError(failure);
    return failure == ERROR_SUCCESS;
  }

 private:
  // A handle to the calling thread, through which the destructor reaches it.
  bool rememberArmingThread() {
    const DWORD id = ::GetCurrentThreadId();
    if (std::ranges::find(state_->armingThreadIds, id) != state_->armingThreadIds.end()) return true;
    win32::UniqueHandle thread(::OpenThread(THREAD_SET_CONTEXT, FALSE, id));
    if (!thread) return false;
    state_->armingThreadIds.push_back(id);
    state_->armingThreads.push_back(std::move(thread));
    return true;
  }

  win32::UniqueHandle timer_;
  std::shared_ptr<TimerState> state_;
};

}  // namespace

std::uint32_t createWaitableTimer(bool manualReset, std::unique_ptr<WaitableTimer>& timer) {
  timer.reset();
  const HANDLE handle = ::CreateWaitableTimerA(nullptr, manualReset, nullptr);
  if (handle == nullptr) {
    const win32::LastErrorKeeper failure;
    return failure.code();
  }
  timer = std::make_unique<Win32WaitableTimer>(handle);
  return kErrorSuccess;
}

}  // namespace vorn::platform
