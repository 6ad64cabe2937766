// The host link component: the agent's side of the wire protocol, driven by
// the agent's event loop. Every event reaches the subscribed receivers on the
// loop's thread, never from inside Connect.
//
// Result codes it reports:
//   ConnectResult(-1, 0x80080000 | Winsock code) when the connection cannot be
//     made or is lost before the host answers (10061 refused, 10060 timed out,
//     also when no answer came within kAttachTimeoutMs, 11001 host not found,
//     10054 closed by the host);
//   ConnectResult(-1, kPipeNotFound) for a pipe link to another machine, or when
//     no pipe socket exists for the port;
//   Terminate(-1, 0x80080000 | Winsock code) when an accepted link is lost;
//   ConnectResult(-1, 0x8007000D) or Terminate(-1, 0x8007000D) (the data is
//     invalid) when the host breaks the wire protocol.
#pragma once

#include <memory>

#include "termlink/host_link.h"
#include "platform/error.h"
#include "platform/event_loop.h"

namespace vorn::termlink {

// The facility of network results: 0x80080000 | Winsock code.
constexpr platform::HRESULT networkResult(std::uint32_t winsockCode) {
  return static_cast<platform::HRESULT>(0x80080000u | (winsockCode & 0xFFFFu));
}
inline constexpr platform::HRESULT kProtocolError = static_cast<platform::HRESULT>(0x8007000Du);
// Unadvise with a cookie that names no subscription (CONNECT_E_NOCONNECTION).
inline constexpr platform::HRESULT kNoConnection = static_cast<platform::HRESULT>(0x80040200u);

// Back-pressure: while more than the high mark of output waits for a host
// that reads slowly, the link reads nothing more from it (the socket's own
// flow control then slows the host down) and goes on once the output has
// drained to the low mark. No message written is ever dropped for it.
inline constexpr std::size_t kOutputHighMark = std::size_t{256} << 10;
inline constexpr std::size_t kOutputLowMark = std::size_t{64} << 10;
// A last guard for writers that ignore the pause: never reached by one
// acknowledgement per message read.
inline constexpr std::size_t kMaxPendingOutput = std::size_t{4} << 20;

// An attach request (the connection and the host's answer) gets this long,
// on the platform's time scale, before it ends with
// ConnectResult(-1, networkResult(10060)).
inline constexpr std::uint32_t kAttachTimeoutMs = 60000;

class TermLinkFactory final : public HostLinkFactory {
 public:
  explicit TermLinkFactory(platform::EventLoop& loop) : loop_(loop) {}
  platform::HRESULT create(std::unique_ptr<HostLink>& link) override;

 private:
  platform::EventLoop& loop_;
};

}  // namespace vorn::termlink
