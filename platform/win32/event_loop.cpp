// The event loop on Windows: a message-only window and its message loop.
//   - post() queues the task and posts a private message to the window
//     (PostMessageA is safe from any thread);
//   - a Winsock socket is watched with WSAAsyncSelect, under a message number
//     of the watch's own, so that a notification still queued for a socket
//     that is no longer watched (whose handle value a new socket may have
//     taken) reaches nobody. A notification only wakes the loop: readiness is
//     then asked of the socket with select, which also covers FD_WRITE coming
//     once per blocked send (a watch that asks for kWritable is checked at
//     once) and FD_READ/FD_ACCEPT/FD_CLOSE coming once per state change (after
//     each call of its handler a watch is checked again until nothing is
//     ready, as a level-triggered poll would report it);
//   - a named-pipe stream is watched through the events of its overlapped
//     operations, which MsgWaitForMultipleObjectsEx waits for (alertable)
//     together with the window's messages;
//   - an event is watched through its handle (shared with the Event object,
//     so that it may be closed while watched), which the same wait waits for;
//   - one-shot timers share one window timer (SetTimer), see loop_timers.h;
//   - WM_CLOSE, WM_ENDSESSION and the console control events run the
//     termination request; quit() is PostQuitMessage, and run() returns the
//     code that WM_QUIT carries.
// The loop belongs to the thread that creates it: run() must be called there.
#include "platform/event_loop.h"

#include "platform/event.h"
#include "platform/socket.h"
#include "platform/task_queue.h"
#include "platform/win32/console_control.h"
#include "platform/win32/loop_sources.h"
#include "platform/win32/loop_timers.h"
#include "platform/win32/message_window.h"
#include "platform/win32/waitable_handle.h"
#include "platform/win32/winsock.h"

#include <atomic>
#include <map>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace vorn::platform {
namespace {

static_assert(sizeof(WPARAM) >= sizeof(EventLoop::WatchId), "a watch id travels in a message's WPARAM");

constexpr UINT kTasksMessage = WM_APP;          // posted tasks wait
constexpr UINT kWakeMessage = WM_APP + 1;       // quit() from another thread
constexpr UINT kCheckMessage = WM_APP + 2;      // ask a socket watch's readiness; WPARAM: the watch id
constexpr UINT kFirstSocketMessage = WM_APP + 0x100;
constexpr UINT kSocketMessages = 0x3E00;        // up to 0xBEFF, below the registered messages

class Win32EventLoop final : public EventLoop, private win32::WindowMessages {
 public:
  Win32EventLoop() : thread_(::GetCurrentThreadId()), window_(*this) { timers_.emplace(window_.handle()); }

  ~Win32EventLoop() override {
    consoleRoute_.reset();
    timers_.reset();
  }

  void post(Task task) override {
    if (!tasks_.push(std::move(task))) return;
    // A full message queue loses the wake only: run() also looks at the tasks
    // every time round.
    if (!::PostMessageA(window_.handle(), kTasksMessage, 0, 0)) tasks_.wakeLost();
  }

  WatchId watch(StreamSocket& socket, unsigned interest, ReadyHandler handler) override {
    return add(socket, interest, std::move(handler));
  }

  WatchId watch(StreamListener& listener, ReadyHandler handler) override {
    return add(listener, kReadable, std::move(handler));
  }

  WatchId watch(Event& event, Task task) override {
    win32::SharedHandle handle = win32::sharedHandleOf(&event);
    if (!handle) throw std::invalid_argument("EventLoop::watch: not an event of this platform");
    const WatchId id = nextId_++;
    watches_.emplace(id, Watch{.event = std::move(handle),
                               .handler = std::make_shared<ReadyHandler>([task = std::move(task)](unsigned) {
                                 task();
                               })});
    return id;
  }

  void modify(WatchId id, unsigned interest) override {
    const auto it = watches_.find(id);
    if (it == watches_.end()) return;
    const bool more = (interest & ~it->second.interest) != 0;
    it->second.interest = interest;
    // A socket notifies only on a change; what is ready already must be asked for.
    if (more && it->second.socket != INVALID_SOCKET) postCheck(id);
  }

  void unwatch(WatchId id) override {
    if (timers_->cancel(id)) return;
    const auto it = watches_.find(id);
    if (it == watches_.end()) return;
    if (it->second.socket != INVALID_SOCKET) {
      ::WSAAsyncSelect(it->second.socket, window_.handle(), 0, 0);
      window_.dropQueued(it->second.message, it->second.message);
      socketSlots_[it->second.message - kFirstSocketMessage] = 0;
    }
    watches_.erase(it);
  }

  WatchId startTimer(std::uint32_t milliseconds, Task task) override {
    const WatchId id = nextId_++;
    timers_->start(id, milliseconds, std::move(task));
    return id;
  }

  void onTerminationRequest(Task task) override {
    terminationTask_ = std::move(task);
    if (!consoleRoute_) consoleRoute_.emplace(window_.handle());
  }

  void quit(int exitCode) override {
    exitCode_ = exitCode;
    quitting_ = true;
    // On another thread PostQuitMessage would end that thread's loop: wake
    // this one instead, which then sees the request.
    if (::GetCurrentThreadId() == thread_)
      ::PostQuitMessage(exitCode);
    else
      ::PostMessageA(window_.handle(), kWakeMessage, 0, 0);
  }

  int run() override {
    std::vector<HANDLE> handles;
    std::vector<WatchId> eventIds;  // the watches of handles[0, eventIds.size())
    for (;;) {
      MSG message;
      while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
      }
      // The queue is empty, WM_QUIT included: a request from another thread.
      if (quitting_) return exitCode_;
      tasks_.runAll(stopRunning());
      const bool busy = serviceStreams();
      DWORD timeout = timers_->waitLimit();
      if (timeout == 0) {  // due, without a window timer to say so
        timers_->runDue(stopRunning());
        timeout = timers_->waitLimit();
      }
      if (quitting_) continue;  // the next round takes WM_QUIT from the queue
      handles.clear();
      eventIds.clear();
      collectWaitHandles(handles, eventIds);
      const DWORD result = ::MsgWaitForMultipleObjectsEx(static_cast<DWORD>(handles.size()), handles.data(),
                                                          busy ? 0 : timeout, QS_ALLINPUT,
                                                          MWMO_ALERTABLE | MWMO_INPUTAVAILABLE);
      if (result == WAIT_FAILED)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "MsgWaitForMultipleObjectsEx");
      // The wait has reset an auto-reset event it returned.
      if (result - WAIT_OBJECT_0 < eventIds.size()) runEventWatch(eventIds[result - WAIT_OBJECT_0]);
    }
  }

 private:
  // Every kind of watched object comes down to this: a Winsock socket with its
  // notification message, or a stream with overlapped operations.
  struct Watch {
    win32::SharedHandle event;
    SOCKET socket = INVALID_SOCKET;
    UINT message = 0;
    win32::OverlappedObject* stream = nullptr;
    unsigned interest = 0;
    std::shared_ptr<ReadyHandler> handler;
  };

  template <typename Object>
  WatchId add(Object& object, unsigned interest, ReadyHandler handler) {
    Watch watch{
        .event = nullptr, .interest = interest, .handler = std::make_shared<ReadyHandler>(std::move(handler))};
    const WatchId id = nextId_++;
    if (auto* socket = win32::loopSourceOf<win32::WinsockObject>(object)) {
      watch.socket = socket->socketHandle();
      watch.message = takeSocketSlot(id);
      if (::WSAAsyncSelect(watch.socket, window_.handle(), watch.message, socket->selectEvents()) != 0) {
        socketSlots_[watch.message - kFirstSocketMessage] = 0;
        throw std::system_error(static_cast<int>(win32::lastSocketError()), std::system_category(),
                                "WSAAsyncSelect");
      }
      watches_.emplace(id, std::move(watch));
      postCheck(id);  // what is ready already brings no notification
      return id;
    }
    if (auto* stream = win32::loopSourceOf<win32::OverlappedObject>(object)) {
      watch.stream = stream;
      watches_.emplace(id, std::move(watch));
      return id;
    }
    throw std::invalid_argument("EventLoop::watch: not an object of this platform");
  }

  // A message number for a new socket watch: the next free one after the
  // last taken, so that numbers come back as late as possible.
  UINT takeSocketSlot(WatchId id) {
    for (UINT tried = 0; tried < kSocketMessages; ++tried) {
      const UINT slot = nextSlot_;
      nextSlot_ = (nextSlot_ + 1) % kSocketMessages;
      if (socketSlots_[slot] == 0) {
        socketSlots_[slot] = id;
        return kFirstSocketMessage + slot;
      }
    }
    throw std::length_error("EventLoop::watch: too many sockets watched");
  }

  void postCheck(WatchId id) {
    // Lost only with a full queue; the socket's next notification checks it too.
    ::PostMessageA(window_.handle(), kCheckMessage, static_cast<WPARAM>(id), 0);
  }

  bool onMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    result = 0;
    if (message >= kFirstSocketMessage && message < kFirstSocketMessage + kSocketMessages) {
      if (const WatchId id = socketSlots_[message - kFirstSocketMessage]) checkSocket(id);
      return true;
    }
    switch (message) {
      case kTasksMessage:
        tasks_.runAll(stopRunning());
        return true;
      case kCheckMessage:
        checkSocket(static_cast<WatchId>(wParam));
        return true;
      case kWakeMessage:
        return true;
      case WM_TIMER:
        if (wParam != win32::LoopTimers::kWindowTimerId) return false;
        timers_->runDue(stopRunning());
        return true;
      case WM_CLOSE:
        // Never DefWindowProc's DestroyWindow: the window lives as long as the loop.
        requestTermination();
        return true;
      case WM_QUERYENDSESSION:
        result = TRUE;
        return true;
      case WM_ENDSESSION:
        if (wParam) requestTermination();
        return true;
      default:
        return false;
    }
  }

  std::function<bool()> stopRunning() {
    return [this] { return quitting_.load(); };
  }

  void requestTermination() {
    if (terminationTask_) post(terminationTask_);
  }

  // Asks a socket watch's readiness and calls its handler when something is
  // ready; then checks again until nothing is.
  void checkSocket(WatchId id) {
    if (quitting_) return;
    const auto it = watches_.find(id);
    if (it == watches_.end() || it->second.socket == INVALID_SOCKET) return;
    const unsigned interest = it->second.interest;
    const unsigned ready = win32::selectReadiness(it->second.socket, interest, 0) & (interest | kReadable);
    if (ready == 0) return;
    auto handler = it->second.handler;  // keeps the handler alive if it unwatches itself
    (*handler)(ready);
    if (watches_.contains(id)) postCheck(id);
  }

  // Calls the handlers of the streams that are ready; true when any was called.
  bool serviceStreams() {
    std::vector<WatchId> ids;
    for (const auto& [id, watch] : watches_)
      if (watch.stream != nullptr) ids.push_back(id);
    bool called = false;
    for (const WatchId id : ids) {
      if (quitting_) break;
      const auto it = watches_.find(id);
      if (it == watches_.end()) continue;  // unwatched by an earlier handler
      const unsigned ready = it->second.stream->readyFor(it->second.interest);
      if (ready == 0) continue;
      auto handler = it->second.handler;
      (*handler)(ready);
      called = true;
    }
    return called;
  }

  // The watched events first (a wait returns the first signalled handle),
  // then the streams' operations.
  void collectWaitHandles(std::vector<HANDLE>& handles, std::vector<WatchId>& eventIds) const {
    for (const auto& [id, watch] : watches_) {
      if (!watch.event) continue;
      handles.push_back(watch.event->get());
      eventIds.push_back(id);
    }
    for (const auto& [id, watch] : watches_)
      if (watch.stream != nullptr) watch.stream->appendWaitHandles(handles);
    // MsgWaitForMultipleObjectsEx takes one handle fewer than the other waits.
    if (handles.size() > MAXIMUM_WAIT_OBJECTS - 1)
      throw std::length_error("EventLoop::run: too many streams and events watched");
  }

  void runEventWatch(WatchId id) {
    const auto it = watches_.find(id);
    if (it == watches_.end() || quitting_) return;
    auto handler = it->second.handler;  // keeps the task alive if it unwatches itself
    (*handler)(kReadable);
  }

  const DWORD thread_;
  std::optional<win32::ConsoleControlRoute> consoleRoute_;
  TaskQueue tasks_;
  std::map<WatchId, Watch> watches_;
  std::vector<WatchId> socketSlots_ = std::vector<WatchId>(kSocketMessages, 0);
  UINT nextSlot_ = 0;
  WatchId nextId_ = 1;
  Task terminationTask_;
  std::atomic<bool> quitting_ = false;  // quit() may come from another thread
  std::atomic<int> exitCode_ = 0;
  std::optional<win32::LoopTimers> timers_;  // made with the window, destroyed before it
  // Last: made when everything its messages reach exists, destroyed first.
  win32::MessageWindow window_;
};

}  // namespace

std::unique_ptr<EventLoop> createEventLoop() { return std::make_unique<Win32EventLoop>(); }

}  // namespace vorn::platform
