// Whole frames over a connected socket, waiting with a time limit: the
// host's side, which serves one agent at a time and may block.
#pragma once

#include <memory>
#include <vector>

#include "platform/socket.h"
#include "termlink/frame_codec.h"

namespace vorn::vornhost {

class FrameChannel {
 public:
  enum class Result { frame, timeout, closed, protocolError, failed };

  explicit FrameChannel(std::unique_ptr<platform::StreamSocket> socket);

  // The next frame from the peer, waiting at most `timeoutMs` (negative: no limit).
  Result receive(termlink::Frame& frame, int timeoutMs);

  // Sends a whole frame, waiting at most `timeoutMs` for room.
  Result send(const termlink::Frame& frame, int timeoutMs);

  // Sends bytes as they are (an encoded frame, or anything at all).
  Result sendBytes(std::span<const std::uint8_t> bytes, int timeoutMs);

  // The Winsock code behind the last `failed`.
  std::uint32_t lastError() const { return lastError_; }

 private:
  std::unique_ptr<platform::StreamSocket> socket_;
  termlink::FrameDecoder decoder_;
  std::vector<std::uint8_t> buffer_;
  std::uint32_t lastError_ = 0;
};

const char* ResultText(FrameChannel::Result result);

}  // namespace vorn::vornhost
