// The service side of the service control manager on POSIX. A process
// started by StartServiceA carries VORNPRINT_SERVICE=<name>; its dispatcher
// listens on the service's control socket, runs the service's main routine on
// a thread of its own and serves one control at a time on the calling (main)
// thread, where the handler runs. SIGTERM and SIGINT are blocked in the
// process and taken through a signalfd: the first reaches the handler as a
// shutdown, later ones are ignored. SIGPIPE is ignored for the process.
#include "platform/service_dispatcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/errno_codes.h"
#include "platform/posix/control_channel.h"
#include "platform/posix/seqpacket.h"
#include "platform/posix/service_database.h"

namespace vorn::platform {
namespace {

using posix::UniqueFd;

// How long the dispatcher waits for a connected client's control code, and
// for room to answer it (real time).
constexpr std::uint32_t kClientTimeoutMs = 5000;

class PosixServiceDispatcher final : public ServiceDispatcher {
 public:
  std::uint32_t run(std::string_view serviceName, ServiceMain main) override;
  std::uint32_t registerControlHandler(std::string_view serviceName, ControlHandler handler) override;
  bool setServiceStatus(const ServiceStatus& status) override;

 private:
  std::uint32_t prepare(UniqueFd& listener, UniqueFd& signals);
  void serveControl(int listener);
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

  for (;;) {
    std::array<pollfd, 3> watched{{{listener.get(), POLLIN, 0}, {signals.get(), POLLIN, 0}, {wakeEvent_.get(), POLLIN, 0}}};
    if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR) {
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
    if (watched[0].revents != 0) serveControl(listener.get());
    std::lock_guard lock(mutex_);
    if (stopped_) return kErrorSuccess;
  }
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

void PosixServiceDispatcher::serveControl(int listener) {
  UniqueFd client(::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (!client) return;  // the client gave up meanwhile
  std::array<std::uint8_t, posix::kControlRequestSize> request{};
  std::size_t got = 0;
  // A start only checks that we listen, and sends nothing.
  if (posix::receiveMessage(client.get(), request, got, posix::deadlineAfter(kClientTimeoutMs)) != kErrorSuccess ||
      got != request.size()) {
    return;
  }
  const std::uint32_t control = posix::getLe32(request);

  ControlHandler handler;
  std::uint32_t state = 0;
  {
    std::lock_guard lock(mutex_);
    handler = handler_;
    state = status_.dwCurrentState;
  }
  std::uint32_t answer = kErrorSuccess;
  if (!handler) {
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
  // A client that has gone needs no answer.
  static_cast<void>(posix::sendMessage(client.get(), posix::encodeControlReply(answer, status), posix::deadlineAfter(kClientTimeoutMs)));
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
  posix::RecordedStatus recorded{status, ::getpid(), startTime_};
  const std::uint32_t error = folder_.writeStatus(recorded);
  if (stopping) {
    posix::ServiceRegistration registration;
    if (folder_.readConfig(registration) == kErrorSuccess && registration.deleted) folder_.remove();
    stopped_ = true;
    wake();
  }
  if (error != kErrorSuccess) {
    setLastError(error);
    return false;
  }
  return true;
}

}  // namespace

ServiceDispatcher& systemServiceDispatcher() {
  // The process's one connection to the manager.
  static PosixServiceDispatcher dispatcher;
  return dispatcher;
}

}  // namespace vorn::platform
