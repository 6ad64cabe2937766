#include "tools/vornhost/frame_channel.h"

#include <chrono>
#include <optional>

namespace vorn::vornhost {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, or -1 without one.
int remaining(const std::optional<Clock::time_point>& deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::optional<Clock::time_point> deadlineAfter(int timeoutMs) {
  if (timeoutMs < 0) return std::nullopt;
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

FrameChannel::FrameChannel(std::unique_ptr<platform::StreamSocket> socket)
    : socket_(std::move(socket)), buffer_(64 * 1024) {}

FrameChannel::Result FrameChannel::receive(termlink::Frame& frame, int timeoutMs) {
  const auto deadline = deadlineAfter(timeoutMs);
  for (;;) {
    switch (decoder_.next(frame)) {
      case termlink::FrameDecoder::Status::frame: return Result::frame;
      case termlink::FrameDecoder::Status::error: return Result::protocolError;
      case termlink::FrameDecoder::Status::incomplete: break;
    }
    std::size_t got = 0;
    const std::uint32_t error = socket_->receive(buffer_, got);
    if (error == platform::kWsaEWouldBlock) {
      const int wait = remaining(deadline);
      if (wait == 0) return Result::timeout;
      if (platform::waitReady(*socket_, platform::kReadable, wait) == 0) return Result::timeout;
      continue;
    }
    if (error != 0) {
      lastError_ = error;
      return error == platform::kWsaEConnReset ? Result::closed : Result::failed;
    }
    if (got == 0) return Result::closed;
    decoder_.append(std::span(buffer_).first(got));
  }
}

FrameChannel::Result FrameChannel::send(const termlink::Frame& frame, int timeoutMs) {
  std::vector<std::uint8_t> bytes;
  if (!termlink::encodeFrame(frame, bytes)) return Result::protocolError;
  return sendBytes(bytes, timeoutMs);
}

FrameChannel::Result FrameChannel::sendBytes(std::span<const std::uint8_t> bytes, int timeoutMs) {
  const auto deadline = deadlineAfter(timeoutMs);
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t sent = 0;
    const std::uint32_t error = socket_->send(bytes.subspan(done), sent);
    if (error == platform::kWsaEWouldBlock) {
      const int wait = remaining(deadline);
      if (wait == 0) return Result::timeout;
      if (platform::waitReady(*socket_, platform::kWritable, wait) == 0) return Result::timeout;
      continue;
    }
    if (error != 0) {
      lastError_ = error;
      return Result::failed;
    }
    done += sent;
  }
  return Result::frame;
}

const char* ResultText(FrameChannel::Result result) {
  switch (result) {
    case FrameChannel::Result::frame: return "ok";
    case FrameChannel::Result::timeout: return "timed out";
    case FrameChannel::Result::closed: return "connection closed";
    case FrameChannel::Result::protocolError: return "protocol error";
    case FrameChannel::Result::failed: return "connection failed";
  }
  return "unknown";
}

}  // namespace vorn::vornhost
