// The intake of the host's print messages: each message is copied into the
// intake buffer, parsed, routed to the print job, and acknowledged through
// the host link.
//
// A print message: 0x01 0x00, two bytes not examined, then the body. A body
// that starts with 0x02 0x20 begins with a header record (form name at 6, 4
// characters; report name at 10, 30 characters; data from 40) and starts a
// new job. The data runs up to the end-of-report terminator 0x02 '/' (which
// ends the job) or the end of the message.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "termlink/host_link.h"
#include "agent/jobs/job_settings.h"
#include "platform/error.h"

namespace vorn::platform {
class Clock;
class FileSystem;
}  // namespace vorn::platform

namespace vorn {

class AgentEventLog;
class JobOperations;

class PrintIntake {
 public:
  // Size of the intake buffer, and so of the longest message handled whole.
  static constexpr std::size_t kIntakeBufferSize = 8208;
  static constexpr std::size_t kAckSize = 6;

  // `link` is the component the acknowledgements go through; null when there
  // is none. Every reference and the link must outlive this object.
  PrintIntake(JobSettings settings, JobOperations& job, HostLink* link, AgentEventLog& events,
              platform::Clock& clock, platform::FileSystem& files);

  // The handling of the host's ReadMessage event while the link is
  // connected (the main window guards it as an entry point). Throws
  // ComError(E_INVALIDARG) unless the message is a byte array. A message longer than the intake
  // buffer is cut to the buffer's size: its first kIntakeBufferSize bytes are
  // handled as the message, after an error event that gives the full length,
  // and it is acknowledged once like any other.
  void receive(const Variant& message);

  // Parses one message and routes it to the job; acknowledges every message
  // of two bytes or more. Returns sendack's result (S_OK when none is sent).
  platform::HRESULT processprint(std::span<const std::uint8_t> message);

  // Sends the six-byte print acknowledgement; throws ComError(E_POINTER)
  // when there is no link.
  platform::HRESULT sendack();

 private:
  void startJobFromHeader(std::span<const std::uint8_t> message);

  JobSettings settings_;
  JobOperations& job_;
  HostLink* link_;
  AgentEventLog& events_;
  platform::Clock& clock_;
  platform::FileSystem& files_;
  std::array<std::uint8_t, kIntakeBufferSize> buffer_{};
};

}  // namespace vorn
