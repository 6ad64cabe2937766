#include "termlink/term_link.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/socket.h"
#include "termlink/connect_string.h"
#include "termlink/frame_codec.h"

namespace vorn::termlink {
namespace {

using platform::equalsIgnoringCase;
using platform::HRESULT;

constexpr std::size_t kReadChunk = 64 * 1024;

class TermLink final : public HostLink {
 public:
  explicit TermLink(platform::EventLoop& loop) : loop_(loop), readBuffer_(kReadChunk) {}

  ~TermLink() override {
    cancelAttachTimer();
    closeSocket();
  }

  TermLink(const TermLink&) = delete;
  TermLink& operator=(const TermLink&) = delete;

  HRESULT WriteMessage(const Variant& message) override {
    if (message.vt != kVtByteArray) return platform::kEInvalidArg;
    if (state_ != State::attaching && state_ != State::attached) return networkResult(platform::kWsaENotConn);
    if (writeFailure_ != 0) return networkResult(writeFailure_);
    std::vector<std::uint8_t> frame;
    if (!encodeFrame(WriteFrame{{message.bytes.begin(), message.bytes.end()}}, frame))
      return platform::kEInvalidArg;
    if (pendingOutput() + frame.size() > kMaxPendingOutput) return networkResult(platform::kWsaENoBufs);
    outbox_.insert(outbox_.end(), frame.begin(), frame.end());
    // An acknowledgement written while frames are passed on goes out with
    // the others of the batch: one send for all, not one each.
    if (delivering_) return platform::kSOk;
    flush();
    if (writeFailure_ == 0) return platform::kSOk;
    // The loss is reported from the loop: the caller is inside WriteMessage.
    loop_.post([this, alive = std::weak_ptr<int>(alive_)] {
      if (!alive.expired() && (state_ == State::attaching || state_ == State::attached))
        connectionLost(writeFailure_);
    });
    return networkResult(writeFailure_);
  }

  HRESULT Connect(std::string_view connectString, std::int32_t arg1, std::int32_t arg2, std::int32_t arg3,
                  std::string_view printerId, std::int32_t deviceFlags, std::string_view forms) override {
    if (state_ != State::idle) return platform::kEUnexpected;
    const auto fields = ConnectFields::parse(connectString);
    if (!fields) return platform::kEInvalidArg;
    const auto commType = fields->get("CommType");
    const auto server = fields->get("Server");
    const auto portText = fields->get("Port");
    if (!commType || !server || !portText) return platform::kEInvalidArg;
    const auto port = parseDecimal(*portText);
    if (!port) return platform::kEInvalidArg;
    const bool overSocket = equalsIgnoringCase(*commType, "socket");
    if (!overSocket && !equalsIgnoringCase(*commType, "pipe")) return platform::kEInvalidArg;
    if (overSocket && (*port < 1 || *port > 65535)) return platform::kEInvalidArg;

    attach_ = AttachFrame{std::string(connectString), arg1, arg2, arg3, std::string(printerId), deviceFlags,
                          std::string(forms)};
    std::vector<std::uint8_t> probe;
    if (!encodeFrame(attach_, probe)) return platform::kEInvalidArg;

    state_ = State::connecting;
    attachTimer_ = loop_.startTimer(kAttachTimeoutMs, [this] { onAttachTimeout(); });
    if (overSocket)
      startTcp(*server, static_cast<std::uint16_t>(*port));
    else
      startPipe(*server, *port);
    return platform::kSOk;
  }

  HRESULT Advise(HostLinkEvents& events, std::uint32_t& cookie) override {
    cookie = nextCookie_++;
    subscribers_.emplace_back(cookie, &events);
    return platform::kSOk;
  }

  HRESULT Unadvise(std::uint32_t cookie) override {
    for (auto it = subscribers_.begin(); it != subscribers_.end(); ++it) {
      if (it->first == cookie) {
        subscribers_.erase(it);
        return platform::kSOk;
      }
    }
    return kNoConnection;
  }

 private:
  enum class State {
    idle,        // Connect not called yet
    connecting,  // transport connect under way
    attaching,   // ATTACH sent, waiting for the host's answer
    attached,    // the host accepted the printer
    closed,      // finished: failed, rejected, terminated or lost
  };

  // --- starting the transport ---

  void startTcp(const std::string& server, std::uint16_t port) {
    if (const std::uint32_t error = platform::resolveHost(server, port, addresses_)) {
      failLater(networkResult(error));
      return;
    }
    nextAddress_ = 0;
    tryNextAddress();
  }

  // Tries the resolved addresses in turn; reports the last failure once all have failed.
  void tryNextAddress() {
    while (nextAddress_ < addresses_.size()) {
      const std::uint32_t error = platform::startConnect(addresses_[nextAddress_++], socket_);
      if (error == 0) {
        watchSocket(platform::kWritable);
        return;
      }
      lastConnectError_ = error;
    }
    failLater(networkResult(lastConnectError_ != 0 ? lastConnectError_ : platform::kWsaHostNotFound));
  }

  void startPipe(const std::string& server, std::int32_t port) {
    if (!namesThisMachine(server)) {
      failLater(kPipeNotFound);
      return;
    }
    const std::uint32_t error = platform::startLocalConnect("termlink-" + std::to_string(port), socket_);
    if (error == 0) {
      watchSocket(platform::kWritable);
      return;
    }
    const bool missing = error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound ||
                         error == platform::kErrorFilenameExcedRange || error == platform::kErrorInvalidName;
    failLater(missing ? kPipeNotFound : networkResult(error));
  }

  // A failure found inside Connect is reported from the loop, after Connect returned.
  void failLater(HRESULT detail) {
    finish();
    loop_.post([this, alive = std::weak_ptr<int>(alive_), detail] {
      if (alive.expired()) return;
      deliver([detail](HostLinkEvents& e) { e.ConnectResult(-1, detail, 0, 0); });
    });
  }

  void watchSocket(unsigned interest) {
    watch_ = loop_.watch(*socket_, interest, [this](unsigned ready) { onReady(ready); });
  }

  void closeSocket() {
    if (watch_) loop_.unwatch(*watch_);
    watch_.reset();
    socket_.reset();
    outbox_.clear();
    outboxSent_ = 0;
    paused_ = false;
  }

  void cancelAttachTimer() {
    if (attachTimer_) loop_.unwatch(*attachTimer_);
    attachTimer_.reset();
  }

  // A host that never answers (or a connection that never completes) must
  // not hold the agent for ever.
  void onAttachTimeout() {
    attachTimer_.reset();
    if (state_ != State::connecting && state_ != State::attaching) return;
    finish();
    deliver([](HostLinkEvents& e) { e.ConnectResult(-1, networkResult(platform::kWsaETimedOut), 0, 0); });
  }

  // --- readiness ---

  void onReady(unsigned ready) {
    if (state_ == State::connecting) {
      onConnectProgress();
      return;
    }
    if ((ready & platform::kWritable) && !flushFromLoop()) return;
    if (paused_ && pendingOutput() <= kOutputLowMark && !resume()) return;
    if ((ready & platform::kReadable) && !paused_) readSome();
  }

  void onConnectProgress() {
    const std::uint32_t status = socket_->connectStatus();
    if (status == platform::kWsaEWouldBlock) return;
    if (status != 0) {
      closeSocket();
      lastConnectError_ = status;
      if (nextAddress_ < addresses_.size()) {
        tryNextAddress();
        return;
      }
      // Reported from here (already the loop), not posted.
      finish();
      deliver([detail = networkResult(status)](HostLinkEvents& e) { e.ConnectResult(-1, detail, 0, 0); });
      return;
    }
    state_ = State::attaching;
    encodeFrame(attach_, outbox_);
    loop_.modify(*watch_, platform::kReadable);
    flush();
    if (writeFailure_ != 0) connectionLost(writeFailure_);
  }

  // Sends what the socket takes now with one send call; asks for writable
  // readiness while anything is left. A failure is kept in writeFailure_ for
  // the caller to report.
  void flush() {
    if (!socket_ || writeFailure_ != 0) return;
    std::size_t sent = 0;
    const std::uint32_t error =
        socket_->send(std::span(outbox_).subspan(outboxSent_), sent);
    if (error != 0 && error != platform::kWsaEWouldBlock) {
      writeFailure_ = error;
      return;
    }
    outboxSent_ += sent;
    if (outboxSent_ == outbox_.size()) {
      outbox_.clear();
      outboxSent_ = 0;
    }
    updateInterest();
  }

  // Readable unless paused for back-pressure; writable while output waits.
  void updateInterest() {
    if (!watch_) return;
    loop_.modify(*watch_, (paused_ ? 0u : platform::kReadable) | (outbox_.empty() ? 0u : platform::kWritable));
  }

  // Ends the pause: first the frames read before it; false when the link
  // ended or went away meanwhile.
  bool resume() {
    paused_ = false;
    if (!deliverBatch()) return false;
    updateInterest();
    return true;
  }

  // flush from a writable notification; false when the link ended.
  bool flushFromLoop() {
    flush();
    if (writeFailure_ == 0) return true;
    connectionLost(writeFailure_);
    return false;
  }

  std::size_t pendingOutput() const { return outbox_.size() - outboxSent_; }

  void readSome() {
    std::size_t got = 0;
    const std::uint32_t error = socket_->receive(readBuffer_, got);
    if (error == platform::kWsaEWouldBlock) return;
    if (error != 0) {
      connectionLost(error);
      return;
    }
    if (got == 0) {
      connectionLost(platform::kWsaEConnReset);  // the host closed the connection
      return;
    }
    decoder_.append(std::span(readBuffer_).first(got));
    deliverBatch();
  }

  // Passes on the frames decoded so far, then sends what their receivers
  // wrote meanwhile; false when the link ended or the component went away.
  bool deliverBatch() {
    const std::weak_ptr<int> alive = alive_;
    delivering_ = true;
    const bool goOn = deliverDecoded();
    if (alive.expired()) return false;
    delivering_ = false;
    return goOn && flushFromLoop();
  }

  // Passes on the frames decoded so far, one at a time, and pauses (keeping
  // the rest) while too much output waits; false when the link ended or the
  // component went away.
  bool deliverDecoded() {
    Frame frame;
    for (;;) {
      if (pendingOutput() >= kOutputHighMark) flush();  // what the socket takes does not wait
      if (writeFailure_ != 0) return true;             // reported by the batch's own flush
      if (pendingOutput() >= kOutputHighMark) {
        paused_ = true;
        updateInterest();
        return true;
      }
      const auto status = decoder_.next(frame);
      if (status == FrameDecoder::Status::incomplete) return true;
      if (status == FrameDecoder::Status::error) {
        protocolError();
        return false;
      }
      if (!handleFrame(frame)) return false;
    }
  }

  // Passes one host frame on; false when nothing more may be read.
  bool handleFrame(Frame& frame) {
    if (auto* result = std::get_if<ConnectResultFrame>(&frame)) {
      if (state_ != State::attaching) return protocolError(), false;
      cancelAttachTimer();
      const ConnectResultFrame r = *result;
      if (r.code == 0)
        state_ = State::attached;
      else
        finish();  // a rejected printer gets nothing more from this link
      return deliver([&r](HostLinkEvents& e) { e.ConnectResult(r.code, r.detail, r.extra1, r.extra2); }) &&
             state_ != State::closed;
    }
    if (auto* print = std::get_if<PrintFrame>(&frame)) {
      const Variant message{kVtByteArray, print->message};
      return deliver([&message](HostLinkEvents& e) { e.ReadMessage(message); }) && state_ != State::closed;
    }
    if (std::holds_alternative<IdleFrame>(frame))
      return deliver([](HostLinkEvents& e) { e.PrinterIdle(); }) && state_ != State::closed;
    if (auto* terminate = std::get_if<TerminateFrame>(&frame)) {
      const TerminateFrame t = *terminate;
      finish();
      deliver([&t](HostLinkEvents& e) { e.Terminate(t.reason, t.detail); });
      return false;
    }
    // ATTACH and WRITE travel only from the agent to the host.
    protocolError();
    return false;
  }

  void connectionLost(std::uint32_t code) { endWith(networkResult(code)); }
  void protocolError() { endWith(kProtocolError); }

  // Ends the link and tells the receivers in the form the state calls for.
  void endWith(HRESULT detail) {
    const State before = state_;
    finish();
    if (before == State::attaching)
      deliver([detail](HostLinkEvents& e) { e.ConnectResult(-1, detail, 0, 0); });
    else if (before == State::attached)
      deliver([detail](HostLinkEvents& e) { e.Terminate(-1, detail); });
  }

  void finish() {
    cancelAttachTimer();
    closeSocket();
    state_ = State::closed;
  }

  // Calls every current subscriber; false when the component was destroyed
  // by one of them (then nothing of it may be touched).
  template <typename Call>
  bool deliver(Call&& call) {
    const std::weak_ptr<int> alive = alive_;
    std::vector<std::uint32_t> cookies;
    for (const auto& entry : subscribers_) cookies.push_back(entry.first);
    for (const std::uint32_t cookie : cookies) {
      HostLinkEvents* receiver = nullptr;
      for (const auto& entry : subscribers_)
        if (entry.first == cookie) receiver = entry.second;
      if (receiver == nullptr) continue;  // unsubscribed by an earlier receiver
      call(*receiver);
      if (alive.expired()) return false;
    }
    return true;
  }

  platform::EventLoop& loop_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::vector<std::pair<std::uint32_t, HostLinkEvents*>> subscribers_;
  std::uint32_t nextCookie_ = 1;

  State state_ = State::idle;
  AttachFrame attach_;
  std::vector<platform::SocketAddress> addresses_;
  std::size_t nextAddress_ = 0;
  std::uint32_t lastConnectError_ = 0;

  std::unique_ptr<platform::StreamSocket> socket_;
  std::optional<platform::EventLoop::WatchId> watch_;
  std::optional<platform::EventLoop::WatchId> attachTimer_;
  bool paused_ = false;      // reading stopped until the output drains
  bool delivering_ = false;  // frames being passed on: writes wait for the batch's end
  std::vector<std::uint8_t> readBuffer_;
  FrameDecoder decoder_;
  std::vector<std::uint8_t> outbox_;
  std::size_t outboxSent_ = 0;
  std::uint32_t writeFailure_ = 0;
};

}  // namespace

HRESULT TermLinkFactory::create(std::unique_ptr<HostLink>& link) {
  link = std::make_unique<TermLink>(loop_);
  return platform::kSOk;
}

}  // namespace vorn::termlink
