// The service side of the service control manager on POSIX. A process
// started by StartServiceA carries VORNPRINT_SERVICE=<name>; its dispatcher
// listens on the service's control socket, runs the service's main routine on
// a thread of its own and serves the controls on the calling (main) thread,
// where the handler runs. SIGTERM and SIGINT are blocked in the process and
// taken through a signalfd: the first reaches the handler as a shutdown,
// later ones are ignored. SIGPIPE is ignored for the process.
//
// Access is that of a service's default access list on Windows: anyone may
// interrogate the service; every other control is only for root and the
// service's own user (the peer's SO_PEERCRED), others are answered
// kErrorAccessDenied and the handler never sees their control.
//
// Connections wait side by side, each with a short time to send its control,
// so a silent client delays nobody; a control whose sender has gone is not
// carried out. Connections of other users that have not sent their control
// are limited, per user and in all; root's and the service user's never are.
//
// The status the service reports is kept here and answers every control; it
// is recorded in the status file only when it changed. A record that cannot
// be written is an event of the manager, never a refused report.
#include "platform/service_dispatcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/control_channel.h"
#include "platform/posix/manager_events.h"
#include "platform/posix/seqpacket.h"
#include "platform/posix/service_database.h"

namespace vorn::platform {
namespace {

using posix::UniqueFd;

// How long a connected client has to send its control code (real time): a
// client of ours sends it as soon as it is connected.
constexpr std::uint32_t kRequestTimeoutMs = 1000;
// Connections not yet served, of one user who is neither root nor the
// service's user, and of all such users together.
constexpr std::size_t kWaitingPerUser = 2;
constexpr std::size_t kWaitingOthersMax = 32;
// Connections taken from the backlog in one pass of the loop.
constexpr int kAcceptsPerPass = 64;

// A connection that has not sent its control yet.
struct WaitingClient {
  UniqueFd socket;
  uid_t uid = 0;
  bool privileged = false;
  posix::Deadline deadline;
};

class PosixServiceDispatcher final : public ServiceDispatcher {
 public:
  std::uint32_t run(std::string_view serviceName, ServiceMain main) override;
  std::uint32_t registerControlHandler(std::string_view serviceName, ControlHandler handler) override;
  bool setServiceStatus(const ServiceStatus& status) override;

 private:
  std::uint32_t prepare(UniqueFd& listener, UniqueFd& signals);
  void acceptClients(int listener);
  void serveControl(const WaitingClient& client);
  int pollTimeoutMs() const;
  void recordStatus(const ServiceStatus& status);
  void takeSignals(int signals);
  void deliverShutdown();
  void wake();

  std::mutex mutex_;
  bool started_ = false;
  bool stopped_ = false;
  bool shutdownSignalled_ = false;
  bool shutdownDelivered_ = false;
  std::string serviceName_;
  posix::ServiceFolder folder_;
  posix::SocketFile control_;
  UniqueFd wakeEvent_;
  std::uint64_t startTime_ = 0;
  ControlHandler handler_;
  ServiceStatus status_{};
  bool attempted_ = false;  // attemptedStatus_ was written last, or tried
  ServiceStatus attemptedStatus_{};
  bool recordFailing_ = false;
  std::vector<WaitingClient> waiting_;  // the main thread's own
};

std::uint32_t fail(std::uint32_t code) {
  setLastError(code);
  return code;
}

std::uint32_t PosixServiceDispatcher::run(std::string_view /*serviceName*/, ServiceMain main) {
  // The process holds one service of its own: the one it was started as.
  UniqueFd listener;
  UniqueFd signals;
  if (const std::uint32_t error = prepare(listener, signals)) return fail(error);
  try {
    std::thread([main = std::move(main), arguments = std::vector<std::string>{serviceName_}] { main(arguments); }).detach();
  } catch (const std::system_error&) {
    control_.removeBound();
    return fail(kErrorNotEnoughMemory);
  }

  std::vector<pollfd> watched;
  for (;;) {
    watched.assign({{listener.get(), POLLIN, 0}, {signals.get(), POLLIN, 0}, {wakeEvent_.get(), POLLIN, 0}});
    for (const WaitingClient& client : waiting_) watched.push_back({client.socket.get(), POLLIN, 0});
    if (::poll(watched.data(), watched.size(), pollTimeoutMs()) < 0 && errno != EINTR) {
      // Controls can no longer be taken: the dispatcher gives up the service.
      const std::uint32_t error = win32FromErrno(errno);
      control_.removeBound();
      return fail(error);
    }
    if (watched[2].revents != 0) {
      std::uint64_t count = 0;
      // Nothing to read (EAGAIN) only means another pass already took it.
      static_cast<void>(::read(wakeEvent_.get(), &count, sizeof count));
    }
    if (watched[1].revents != 0) takeSignals(signals.get());
    deliverShutdown();
    // Each client that sent its control (or went) is served, each that stayed
    // silent too long is dropped; the others wait on.
    const auto now = std::chrono::steady_clock::now();
    std::vector<WaitingClient> still;
    for (std::size_t i = 0; i < waiting_.size(); ++i) {
      if (watched[3 + i].revents != 0) {
        serveControl(waiting_[i]);
      } else if (now < waiting_[i].deadline) {
        still.push_back(std::move(waiting_[i]));
      }
    }
    waiting_ = std::move(still);
    if (watched[0].revents != 0) acceptClients(listener.get());
    std::lock_guard lock(mutex_);
    if (stopped_) return kErrorSuccess;
  }
}

int PosixServiceDispatcher::pollTimeoutMs() const {
  if (waiting_.empty()) return -1;
  const auto next = std::min_element(waiting_.begin(), waiting_.end(), [](const auto& a, const auto& b) {
                      return a.deadline < b.deadline;
                    })->deadline;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count() + 1, 0, kRequestTimeoutMs + 1));
}

// Everything run() needs before the service's thread starts: the service's
// registration, the signal mask that the thread inherits, the control socket.
std::uint32_t PosixServiceDispatcher::prepare(UniqueFd& listener, UniqueFd& signals) {
  std::lock_guard lock(mutex_);
  if (started_) return kErrorServiceAlreadyRunning;
  const char* name = std::getenv("VORNPRINT_SERVICE");
  posix::ServiceFolder folder;
  posix::ServiceRegistration registration;
  if (name == nullptr || posix::ServiceFolder::locate(ansiFromUtf8(name), folder) != kErrorSuccess ||
      folder.readConfig(registration) != kErrorSuccess) {
    return kErrorFailedServiceControllerConnect;  // not started by the manager: a console start
  }

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  if (const int error = ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr)) return win32FromErrno(error);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  if (::sigaction(SIGPIPE, &ignore, nullptr) != 0) return win32FromErrno(errno);
  signals = UniqueFd(::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC));
  wakeEvent_ = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!signals || !wakeEvent_) return win32FromErrno(errno);

  if (const std::uint32_t error = posix::SocketFile::open(folder.path(), posix::kControlSocketName, control_)) return error;
  if (const std::uint32_t error = control_.listen(listener)) return error;
  started_ = true;
  serviceName_ = folder.name();
  folder_ = std::move(folder);
  startTime_ = posix::processStartTime(::getpid()).value_or(0);
  return kErrorSuccess;
}

void PosixServiceDispatcher::acceptClients(int listener) {
  for (int taken = 0; taken < kAcceptsPerPass; ++taken) {
    UniqueFd socket(::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket) return;  // none left (or the client gave up meanwhile)
    ucred peer{};
    if (posix::peerCredentials(socket.get(), peer) != kErrorSuccess) continue;
    const bool privileged = posix::isPrivilegedUser(peer.uid);
    if (!privileged) {
      // Turned away at once: the client sees its connection closed.
      const auto others = std::count_if(waiting_.begin(), waiting_.end(), [](const auto& c) { return !c.privileged; });
      const auto same = std::count_if(waiting_.begin(), waiting_.end(), [&](const auto& c) { return c.uid == peer.uid; });
      if (static_cast<std::size_t>(others) >= kWaitingOthersMax || static_cast<std::size_t>(same) >= kWaitingPerUser)
        continue;
    }
    waiting_.push_back({std::move(socket), peer.uid, privileged, posix::deadlineAfter(kRequestTimeoutMs)});
  }
}

void PosixServiceDispatcher::serveControl(const WaitingClient& client) {
  std::array<std::uint8_t, posix::kControlRequestSize> request{};
  std::size_t got = 0;
  // Ready to read: nothing waits here. A start only checks that we listen,
  // and sends nothing.
  if (posix::receiveMessage(client.socket.get(), request, got, std::chrono::steady_clock::now()) != kErrorSuccess ||
      got != request.size()) {
    return;
  }
  // A control whose sender has given up is not carried out.
  if (posix::peerHasGone(client.socket.get())) return;
  const std::uint32_t control = posix::getLe32(request);

  ControlHandler handler;
  std::uint32_t state = 0;
  {
    std::lock_guard lock(mutex_);
    handler = handler_;
    state = status_.dwCurrentState;
  }
  std::uint32_t answer = kErrorSuccess;
  if (!client.privileged && control != kServiceControlInterrogate) {
    answer = kErrorAccessDenied;
  } else if (!handler) {
    answer = kErrorServiceCannotAcceptCtrl;
  } else if (control == kServiceControlStop && (state == kServiceStartPending || state == kServiceStopPending)) {
    answer = kErrorServiceCannotAcceptCtrl;  // as Windows refuses it
  } else {
    handler(control);
  }

  ServiceStatus status;
  {
    std::lock_guard lock(mutex_);
    status = status_;
  }
  // The answer fits the empty socket buffer; a client that has gone needs none.
  static_cast<void>(posix::sendMessage(client.socket.get(), posix::encodeControlReply(answer, status),
                                       std::chrono::steady_clock::now()));
}

void PosixServiceDispatcher::takeSignals(int signals) {
  signalfd_siginfo info{};
  while (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    std::lock_guard lock(mutex_);
    shutdownSignalled_ = true;
  }
}

// The first SIGTERM or SIGINT, once a handler is there to take it.
void PosixServiceDispatcher::deliverShutdown() {
  ControlHandler handler;
  {
    std::lock_guard lock(mutex_);
    if (!shutdownSignalled_ || shutdownDelivered_ || !handler_ || stopped_) return;
    shutdownDelivered_ = true;
    handler = handler_;
  }
  handler(kServiceControlShutdown);
}

void PosixServiceDispatcher::wake() {
  const std::uint64_t one = 1;
  // A full counter already wakes the loop.
  if (wakeEvent_) static_cast<void>(::write(wakeEvent_.get(), &one, sizeof one));
}

std::uint32_t PosixServiceDispatcher::registerControlHandler(std::string_view serviceName, ControlHandler handler) {
  std::lock_guard lock(mutex_);
  if (!started_ || stopped_ || serviceName != serviceName_) return fail(kErrorServiceDoesNotExist);
  handler_ = std::move(handler);
  wake();  // a shutdown signalled before now is delivered
  return kErrorSuccess;
}

bool PosixServiceDispatcher::setServiceStatus(const ServiceStatus& status) {
  std::lock_guard lock(mutex_);
  if (!handler_ || stopped_) {
    setLastError(kErrorInvalidHandle);
    return false;
  }
  status_ = status;
  const bool stopping = status.dwCurrentState == kServiceStopped;
  // Once stopped nobody may reach the control socket: a new start must find
  // it free before it reads the status as stopped.
  if (stopping) control_.removeBound();
  recordStatus(status);
  if (stopping) {
    posix::ServiceRegistration registration;
    if (folder_.readConfig(registration) == kErrorSuccess && registration.deleted) folder_.remove();
    stopped_ = true;
    wake();
  }
  return true;
}

// The caller holds the lock. A failed record does not refuse the report,
// which answers every control from now on; QueryServiceStatus reads the
// last record that was written. One event a run of failures.
void PosixServiceDispatcher::recordStatus(const ServiceStatus& status) {
  if (attempted_ && attemptedStatus_ == status) return;  // an interrogation, say: nothing new to write
  attempted_ = true;
  attemptedStatus_ = status;
  const std::uint32_t error = folder_.writeStatus(posix::RecordedStatus{status, ::getpid(), startTime_});
  if (error != kErrorSuccess && !recordFailing_)
    posix::reportManagerEvent(serviceName_, "could not record the service status", std::to_string(error));
  recordFailing_ = error != kErrorSuccess;
}

}  // namespace

ServiceDispatcher& systemServiceDispatcher() {
  // The process's one connection to the manager.
  static PosixServiceDispatcher dispatcher;
  return dispatcher;
}

}  // namespace vorn::platform
