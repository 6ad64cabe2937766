#include "agent/render/stream_blocks.h"

#include "agent/render/stream_codes.h"

namespace vorn {
namespace {

using namespace stream;

// The end of the sequence starting at `position` as the interpreter reads it,
// or 0 when it may continue beyond `data`.
std::size_t sequenceEnd(std::span<const std::uint8_t> data, std::size_t position) {
  const std::size_t end = data.size();
  switch (data[position]) {
    case kStx: {
      // The letter, then the parameter up to the first byte below 0x20.
      std::size_t next = position + 2;
      if (next > end) return 0;
      while (next < end && data[next] >= kFirstText) ++next;
      return next < end ? next : 0;
    }
    case kCr: {
      std::size_t next = position + 1;
      while (next < end && data[next] == kLf) ++next;
      return next < end ? next : 0;
    }
    case kSo:
      return position + 2 <= end ? position + 2 : 0;
    case kDc4: {
      if (position + 2 > end) return 0;
      const std::uint8_t lengthByte = data[position + 1];
      const std::size_t length = lengthByte < kDc4LengthBias ? 0 : lengthByte - kDc4LengthBias;
      return position + 2 + length <= end ? position + 2 + length : 0;
    }
    default:
      return position + 1;  // text, NUL and the other single-byte controls
  }
}

}  // namespace

std::size_t CompleteSequencesLength(std::span<const std::uint8_t> data) {
  std::size_t boundary = 0;
  while (boundary < data.size()) {
    const std::size_t next = sequenceEnd(data, boundary);
    if (next == 0) break;
    boundary = next;
  }
  return boundary;
}

}  // namespace vorn
