// The frame decoder on arbitrary bytes, in arbitrary pieces: every frame it
// yields must encode again and decode to the same frame, and the decoder
// never holds more than one frame's worth beyond what it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "termlink/frame_codec.h"

using namespace vorn::termlink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the piece size, so splits fall everywhere.
  const std::size_t piece = static_cast<std::size_t>(data[0] % 17) + 1;
  const std::span<const std::uint8_t> input(data + 1, size - 1);

  FrameDecoder decoder;
  for (std::size_t at = 0; at < input.size(); at += piece) {
    decoder.append(input.subspan(at, std::min(piece, input.size() - at)));
    if (decoder.buffered() > kMaxFrameLength + kFrameHeaderSize + piece) std::abort();
    Frame frame;
    FrameDecoder::Status status;
    while ((status = decoder.next(frame)) == FrameDecoder::Status::frame) {
      std::vector<std::uint8_t> again;
      if (!encodeFrame(frame, again)) std::abort();
      FrameDecoder second;
      second.append(again);
      Frame decoded;
      if (second.next(decoded) != FrameDecoder::Status::frame || !(decoded == frame)) std::abort();
      if (second.buffered() != 0) std::abort();
    }
    if (status == FrameDecoder::Status::error) {
      if (decoder.error() == DecodeError::none || decoder.buffered() != 0) std::abort();
      return 0;
    }
  }
  return 0;
}
