// The host link's wire format, both directions. A frame is a 4-byte
// little-endian length of what follows, a 1-byte type and the payload.
// Integers are 32-bit little-endian; strings are a 4-byte length and 8-bit bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace vorn::termlink {

enum class FrameType : std::uint8_t {
  attach = 1,         // agent -> host
  connectResult = 2,  // host -> agent
  print = 3,          // host -> agent
  write = 4,          // agent -> host
  idle = 5,           // host -> agent
  terminate = 6,      // host -> agent
};

// Largest value of the length field (type byte and payload): 1 MiB.
inline constexpr std::size_t kMaxFrameLength = std::size_t{1} << 20;
inline constexpr std::size_t kFrameHeaderSize = 4;

struct AttachFrame {
  std::string connectString;
  std::int32_t arg1 = 0;
  std::int32_t arg2 = 0;
  std::int32_t arg3 = 0;
  std::string printerId;
  std::int32_t deviceFlags = 0;
  std::string forms;
  bool operator==(const AttachFrame&) const = default;
};

struct ConnectResultFrame {
  std::int32_t code = 0;
  std::int32_t detail = 0;
  std::int32_t extra1 = 0;
  std::int32_t extra2 = 0;
  bool operator==(const ConnectResultFrame&) const = default;
};

struct PrintFrame {
  std::vector<std::uint8_t> message;
  bool operator==(const PrintFrame&) const = default;
};

struct WriteFrame {
  std::vector<std::uint8_t> message;
  bool operator==(const WriteFrame&) const = default;
};

struct IdleFrame {
  bool operator==(const IdleFrame&) const = default;
};

struct TerminateFrame {
  std::int32_t reason = 0;
  std::int32_t detail = 0;
  bool operator==(const TerminateFrame&) const = default;
};

using Frame = std::variant<AttachFrame, ConnectResultFrame, PrintFrame, WriteFrame, IdleFrame, TerminateFrame>;

FrameType frameType(const Frame& frame);
const char* frameTypeName(FrameType type);

// Appends the encoded frame to `out`. False (and `out` unchanged) when the
// frame would be longer than kMaxFrameLength.
bool encodeFrame(const Frame& frame, std::vector<std::uint8_t>& out);

enum class DecodeError {
  none,
  emptyFrame,        // length field 0: not even a type byte
  oversize,          // length field above kMaxFrameLength
  unknownType,       // type byte outside 1..6
  malformedPayload,  // payload too short, too long, or a string overruns it
};

const char* decodeErrorText(DecodeError error);

// Decodes a byte stream that arrives in pieces of any size into whole frames.
// The first protocol error is final: the decoder then yields nothing more.
// It never holds more than one partial frame (at most kMaxFrameLength plus
// its header) beyond the bytes handed to the last append.
class FrameDecoder {
 public:
  enum class Status { frame, incomplete, error };

  void append(std::span<const std::uint8_t> bytes);

  // Takes the next whole frame from the bytes appended so far.
  Status next(Frame& frame);

  DecodeError error() const { return error_; }

  // Bytes held that are not yet part of a returned frame.
  std::size_t buffered() const { return buffer_.size() - consumed_; }

 private:
  Status fail(DecodeError error);

  std::vector<std::uint8_t> buffer_;
  std::size_t consumed_ = 0;
  DecodeError error_ = DecodeError::none;
};

// Decodes one frame's type and payload (everything after the length field).
DecodeError decodeFrameBody(std::span<const std::uint8_t> body, Frame& frame);

}  // namespace vorn::termlink
