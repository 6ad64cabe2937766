// The control channel between the service control manager's clients and a
// running service's dispatcher: the SOCK_SEQPACKET socket `control` in the
// service's folder. A client sends a control code (4 bytes, little-endian);
// the dispatcher answers with a result (4 bytes LE, 0 or a Win32 code) and
// the SERVICE_STATUS as it stands after the handler ran (seven LE 32-bit
// fields, 28 bytes).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/service_control.h"

namespace vorn::platform::posix {

inline constexpr const char* kControlSocketName = "control";
inline constexpr std::size_t kControlRequestSize = 4;
inline constexpr std::size_t kControlReplySize = 4 + 7 * 4;
// How long a client waits for the dispatcher's answer (real time).
inline constexpr std::uint32_t kControlAnswerTimeoutMs = 30000;

inline void putLe32(std::span<std::uint8_t, 4> out, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint32_t getLe32(std::span<const std::uint8_t, 4> in) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{in[i]} << (8 * i);
  return value;
}

inline std::array<std::uint8_t, kControlRequestSize> encodeControlRequest(std::uint32_t control) {
  std::array<std::uint8_t, kControlRequestSize> message{};
  putLe32(message, control);
  return message;
}

inline std::array<std::uint8_t, kControlReplySize> encodeControlReply(std::uint32_t result, const ServiceStatus& status) {
  std::array<std::uint8_t, kControlReplySize> message{};
  const std::uint32_t fields[] = {result,
                                  status.dwServiceType,
                                  status.dwCurrentState,
                                  status.dwControlsAccepted,
                                  status.dwWin32ExitCode,
                                  status.dwServiceSpecificExitCode,
                                  status.dwCheckPoint,
                                  status.dwWaitHint};
  for (std::size_t i = 0; i < std::size(fields); ++i) putLe32(std::span(message).subspan(4 * i).first<4>(), fields[i]);
  return message;
}

inline void decodeControlReply(std::span<const std::uint8_t, kControlReplySize> message, std::uint32_t& result,
                               ServiceStatus& status) {
  const auto field = [&](std::size_t index) { return getLe32(message.subspan(4 * index).first<4>()); };
  result = field(0);
  status = ServiceStatus{field(1), field(2), field(3), field(4), field(5), field(6), field(7)};
}

}  // namespace vorn::platform::posix
