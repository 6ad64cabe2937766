// Threads on Windows: CreateThread, and QueueUserAPC for the calls queued to
// a thread.
//
// Queued calls wait in a list of the thread's own; the APC only tells the
// thread to run that list. So a call queued to a thread that ends before its
// next alertable wait is freed with the list instead of being lost with the
// APC, and a call queued before the thread began runs in its first alertable
// wait (Windows would run an early APC before the thread's routine).
#include "platform/thread.h"

#include <windows.h>

#include <deque>
#include <mutex>
#include <utility>

#include "platform/error.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/waitable_handle.h"

namespace vorn::platform {
namespace {

struct ThreadState {
  std::function<void()> routine;
  std::mutex lock;
  std::deque<std::function<void()>> calls;  // guarded by lock
  bool started = false;                     // guarded by lock
};

// The APC: runs the calls queued so far, once the thread's routine has begun.
void WINAPI runQueuedCalls(ULONG_PTR argument) {
  auto& state = *reinterpret_cast<ThreadState*>(argument);
  std::deque<std::function<void()>> due;
  {
    std::lock_guard guard(state.lock);
    if (!state.started) return;  // threadStart queues the run again
    due.swap(state.calls);
  }
  for (auto& call : due) call();
}

DWORD WINAPI threadStart(LPVOID argument) {
  // The thread keeps its state alive for as long as an APC can run on it.
  const std::shared_ptr<ThreadState> state =
      std::move(*std::unique_ptr<std::shared_ptr<ThreadState>>(static_cast<std::shared_ptr<ThreadState>*>(argument)));
  bool pending = false;
  {
    std::lock_guard guard(state->lock);
    state->started = true;
    pending = !state->calls.empty();
  }
  if (pending) ::QueueUserAPC(runQueuedCalls, ::GetCurrentThread(), reinterpret_cast<ULONG_PTR>(state.get()));
  state->routine();
  return 0;
}

class Win32Thread final : public Thread, public win32::WaitableHandle {
 public:
  Win32Thread(win32::SharedHandle handle, std::shared_ptr<ThreadState> state)
      : handle_(std::move(handle)), state_(std::move(state)) {}

  win32::SharedHandle sharedHandle() const override { return handle_; }

  bool queueCall(std::function<void()> call) override {
    {
      std::lock_guard guard(state_->lock);
      state_->calls.push_back(std::move(call));
    }
    if (::QueueUserAPC(runQueuedCalls, handle_->get(), reinterpret_cast<ULONG_PTR>(state_.get()))) return true;
    const win32::LastErrorKeeper failure;  // the thread has ended: nothing queued will run
    std::lock_guard guard(state_->lock);
    state_->calls.clear();
    return false;
  }

 private:
  win32::SharedHandle handle_;
  std::shared_ptr<ThreadState> state_;
};

}  // namespace

std::uint32_t createThread(std::function<void()> routine, std::unique_ptr<Thread>& thread) {
  thread.reset();
  auto state = std::make_shared<ThreadState>();
  state->routine = std::move(routine);
  auto startArgument = std::make_unique<std::shared_ptr<ThreadState>>(state);
  const HANDLE handle = ::CreateThread(nullptr, 0, threadStart, startArgument.get(), 0, nullptr);
  if (handle == nullptr) {
    const win32::LastErrorKeeper failure;
    return failure.code();
  }
  startArgument.release();  // the new thread owns it now
  thread = std::make_unique<Win32Thread>(win32::shareHandle(handle), std::move(state));
  return kErrorSuccess;
}

}  // namespace vorn::platform
