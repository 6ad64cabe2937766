#include "termlink/frame_codec.h"

#include <optional>
#include <type_traits>

namespace vorn::termlink {
namespace {

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putI32(std::vector<std::uint8_t>& out, std::int32_t value) { putU32(out, static_cast<std::uint32_t>(value)); }

void putBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
  putU32(out, static_cast<std::uint32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void putString(std::vector<std::uint8_t>& out, const std::string& text) {
  putBytes(out, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::uint32_t readU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads a payload front to back; any overrun marks it bad instead of reading past the end.
class PayloadReader {
 public:
  explicit PayloadReader(std::span<const std::uint8_t> payload) : rest_(payload) {}

  std::int32_t i32() {
    if (rest_.size() < 4) return failed();
    const auto value = static_cast<std::int32_t>(readU32(rest_.data()));
    rest_ = rest_.subspan(4);
    return value;
  }

  std::span<const std::uint8_t> bytes() {
    if (rest_.size() < 4) return failed(), std::span<const std::uint8_t>();
    const std::uint32_t length = readU32(rest_.data());
    rest_ = rest_.subspan(4);
    if (length > rest_.size()) return failed(), std::span<const std::uint8_t>();
    auto value = rest_.first(length);
    rest_ = rest_.subspan(length);
    return value;
  }

  std::string text() {
    const auto value = bytes();
    return std::string(value.begin(), value.end());
  }

  // The whole payload was read, and nothing more.
  bool complete() const { return ok_ && rest_.empty(); }

 private:
  std::int32_t failed() {
    ok_ = false;
    rest_ = {};
    return 0;
  }

  std::span<const std::uint8_t> rest_;
  bool ok_ = true;
};

void encodePayload(const Frame& frame, std::vector<std::uint8_t>& out) {
  std::visit(
      [&](const auto& f) {
        using T = std::decay_t<decltype(f)>;
        if constexpr (std::is_same_v<T, AttachFrame>) {
          putString(out, f.connectString);
          putI32(out, f.arg1);
          putI32(out, f.arg2);
          putI32(out, f.arg3);
          putString(out, f.printerId);
          putI32(out, f.deviceFlags);
          putString(out, f.forms);
        } else if constexpr (std::is_same_v<T, ConnectResultFrame>) {
          putI32(out, f.code);
          putI32(out, f.detail);
          putI32(out, f.extra1);
          putI32(out, f.extra2);
        } else if constexpr (std::is_same_v<T, PrintFrame> || std::is_same_v<T, WriteFrame>) {
          putBytes(out, f.message);
        } else if constexpr (std::is_same_v<T, TerminateFrame>) {
          putI32(out, f.reason);
          putI32(out, f.detail);
        }
      },
      frame);
}

// Payload size without encoding it, so that an oversize frame is refused
// before anything is allocated.
std::size_t payloadSize(const Frame& frame) {
  return std::visit(
      [](const auto& f) -> std::size_t {
        using T = std::decay_t<decltype(f)>;
        if constexpr (std::is_same_v<T, AttachFrame>)
          return 4 * 7 + f.connectString.size() + f.printerId.size() + f.forms.size();
        else if constexpr (std::is_same_v<T, ConnectResultFrame>)
          return 16;
        else if constexpr (std::is_same_v<T, PrintFrame> || std::is_same_v<T, WriteFrame>)
          return 4 + f.message.size();
        else if constexpr (std::is_same_v<T, TerminateFrame>)
          return 8;
        else
          return 0;
      },
      frame);
}

}  // namespace

FrameType frameType(const Frame& frame) {
  static constexpr FrameType kTypes[] = {FrameType::attach, FrameType::connectResult, FrameType::print,
                                         FrameType::write,  FrameType::idle,          FrameType::terminate};
  return kTypes[frame.index()];
}

const char* frameTypeName(FrameType type) {
  switch (type) {
    case FrameType::attach: return "ATTACH";
    case FrameType::connectResult: return "CONNECT_RESULT";
    case FrameType::print: return "PRINT";
    case FrameType::write: return "WRITE";
    case FrameType::idle: return "IDLE";
    case FrameType::terminate: return "TERMINATE";
  }
  return "UNKNOWN";
}

bool encodeFrame(const Frame& frame, std::vector<std::uint8_t>& out) {
  const std::size_t length = 1 + payloadSize(frame);
  if (length > kMaxFrameLength) return false;
  out.reserve(out.size() + kFrameHeaderSize + length);
  putU32(out, static_cast<std::uint32_t>(length));
  out.push_back(static_cast<std::uint8_t>(frameType(frame)));
  encodePayload(frame, out);
  return true;
}

const char* decodeErrorText(DecodeError error) {
  switch (error) {
    case DecodeError::none: return "no error";
    case DecodeError::emptyFrame: return "frame without a type";
    case DecodeError::oversize: return "frame longer than 1 MiB";
    case DecodeError::unknownType: return "unknown frame type";
    case DecodeError::malformedPayload: return "malformed frame payload";
  }
  return "unknown error";
}

DecodeError decodeFrameBody(std::span<const std::uint8_t> body, Frame& frame) {
  if (body.empty()) return DecodeError::emptyFrame;
  PayloadReader in(body.subspan(1));
  switch (static_cast<FrameType>(body[0])) {
    case FrameType::attach: {
      AttachFrame f;
      f.connectString = in.text();
      f.arg1 = in.i32();
      f.arg2 = in.i32();
      f.arg3 = in.i32();
      f.printerId = in.text();
      f.deviceFlags = in.i32();
      f.forms = in.text();
      frame = std::move(f);
      break;
    }
    case FrameType::connectResult: {
      ConnectResultFrame f;
      f.code = in.i32();
      f.detail = in.i32();
      f.extra1 = in.i32();
      f.extra2 = in.i32();
      frame = f;
      break;
    }
    case FrameType::print: {
      const auto bytes = in.bytes();
      frame = PrintFrame{{bytes.begin(), bytes.end()}};
      break;
    }
    case FrameType::write: {
      const auto bytes = in.bytes();
      frame = WriteFrame{{bytes.begin(), bytes.end()}};
      break;
    }
    case FrameType::idle:
      frame = IdleFrame{};
      break;
    case FrameType::terminate: {
      TerminateFrame f;
      f.reason = in.i32();
      f.detail = in.i32();
      frame = f;
      break;
    }
    default:
      return DecodeError::unknownType;
  }
  return in.complete() ? DecodeError::none : DecodeError::malformedPayload;
}

void FrameDecoder::append(std::span<const std::uint8_t> bytes) {
  if (error_ != DecodeError::none) return;
  // Drop what earlier frames used before growing the buffer.
  if (consumed_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_));
    consumed_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

FrameDecoder::Status FrameDecoder::fail(DecodeError error) {
  error_ = error;
  buffer_.clear();
  buffer_.shrink_to_fit();
  consumed_ = 0;
  return Status::error;
}

FrameDecoder::Status FrameDecoder::next(Frame& frame) {
  if (error_ != DecodeError::none) return Status::error;
  const std::span<const std::uint8_t> pending(buffer_.data() + consumed_, buffer_.size() - consumed_);
  if (pending.size() < kFrameHeaderSize) return Status::incomplete;
  const std::uint32_t length = readU32(pending.data());
  // The length is judged as soon as it is known, before waiting for the body.
  if (length == 0) return fail(DecodeError::emptyFrame);
  if (length > kMaxFrameLength) return fail(DecodeError::oversize);
  if (pending.size() >= kFrameHeaderSize + 1) {
    const std::uint8_t type = pending[kFrameHeaderSize];
    if (type < static_cast<std::uint8_t>(FrameType::attach) || type > static_cast<std::uint8_t>(FrameType::terminate))
      return fail(DecodeError::unknownType);
  }
  if (pending.size() - kFrameHeaderSize < length) return Status::incomplete;
  const DecodeError error = decodeFrameBody(pending.subspan(kFrameHeaderSize, length), frame);
  if (error != DecodeError::none) return fail(error);
  consumed_ += kFrameHeaderSize + length;
  if (consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  }
  return Status::frame;
}

}  // namespace vorn::termlink
