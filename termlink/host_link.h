// The host link component's contract, as its users rely on it: created once,
// its event receiver subscribed, an attach request sent with Connect, the
// print acknowledgement sent with WriteMessage, and four events delivered on
// the user's own thread. Results are HRESULTs.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/error.h"

namespace vorn {

// VARIANT types used at this boundary.
inline constexpr std::uint16_t kVtUi1 = 17;
inline constexpr std::uint16_t kVtArray = 0x2000;
inline constexpr std::uint16_t kVtByteArray = kVtArray | kVtUi1;  // 0x2011

// Attach results the component reports and its users tell apart.
// The pipe the link goes through cannot be found or opened.
inline constexpr platform::HRESULT kPipeNotFound = static_cast<platform::HRESULT>(0x80080035u);
// The host's server communications program cannot be reached.
inline constexpr platform::HRESULT kServerProgramUnreachable = static_cast<platform::HRESULT>(0x80080002u);

// A VARIANT as it crosses this boundary: its type and, for a byte array
// (VT_ARRAY | VT_UI1, lower bound 0), the array's elements. The bytes belong
// to the caller and stay valid only during the call.
struct Variant {
  std::uint16_t vt = kVtByteArray;
  std::span<const std::uint8_t> bytes;
};

// The event interface: what the component calls on the subscribed receiver.
class HostLinkEvents {
 public:
  virtual ~HostLinkEvents() = default;
  virtual void ConnectResult(std::int32_t code, std::int32_t detail, std::int32_t unused1,
                             std::int32_t unused2) = 0;
  virtual void ReadMessage(const Variant& message) = 0;
  virtual void PrinterIdle() = 0;
  virtual void Terminate(std::int32_t reason, std::int32_t detail) = 0;
};

// The component's main interface.
class HostLink {
 public:
  virtual ~HostLink() = default;  // releasing the last reference

  // Sends one message to the host (a byte array VARIANT).
  virtual platform::HRESULT WriteMessage(const Variant& message) = 0;

  // Starts the attach request. Success means the request is under way; its
  // outcome arrives later as exactly one ConnectResult.
  virtual platform::HRESULT Connect(std::string_view connectString, std::int32_t arg1,
                                    std::int32_t arg2, std::int32_t arg3,
                                    std::string_view printerId, std::int32_t deviceFlags,
                                    std::string_view forms) = 0;

  // Connection point: subscribes the event receiver (no reference is taken
  // on it) and returns a cookie; Unadvise ends the subscription.
  virtual platform::HRESULT Advise(HostLinkEvents& events, std::uint32_t& cookie) = 0;
  virtual platform::HRESULT Unadvise(std::uint32_t cookie) = 0;
};

// Creates the component: CoCreateInstance, OleRun and QueryInterface for the
// main interface. On failure returns the failing step's code and leaves `link` empty.
class HostLinkFactory {
 public:
  virtual ~HostLinkFactory() = default;
  virtual platform::HRESULT create(std::unique_ptr<HostLink>& link) = 0;
};

}  // namespace vorn
