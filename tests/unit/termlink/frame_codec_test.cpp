#include "termlink/frame_codec.h"

#include <gtest/gtest.h>

namespace vorn::termlink {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Frame> everyKindOfFrame() {
  return {
      AttachFrame{"Profile=\"p\",Port=\"1\"", 1, 3, 0, "PRT1", 15, "AB  WXYZ"},
      ConnectResultFrame{-1, static_cast<std::int32_t>(0x8008274Du), 7, -8},
      PrintFrame{{0x01, 0x00, 0x00, 0x00, 0x02, 0x20, 0xFF}},
      WriteFrame{{0x01, 0, 0, 0, 0, 0}},
      IdleFrame{},
      TerminateFrame{7, 255},
      PrintFrame{{}},
      AttachFrame{},
  };
}

Bytes encodeAll(const std::vector<Frame>& frames) {
  Bytes bytes;
  for (const Frame& f : frames) EXPECT_TRUE(encodeFrame(f, bytes));
  return bytes;
}

// Feeds the pieces in order and collects every frame.
std::vector<Frame> decodePieces(const std::vector<std::span<const std::uint8_t>>& pieces,
                                FrameDecoder::Status* last = nullptr) {
  FrameDecoder decoder;
  std::vector<Frame> frames;
  FrameDecoder::Status status = FrameDecoder::Status::incomplete;
  for (const auto piece : pieces) {
    decoder.append(piece);
    Frame f;
    while ((status = decoder.next(f)) == FrameDecoder::Status::frame) frames.push_back(f);
  }
  if (last) *last = status;
  return frames;
}

TEST(FrameCodec, LayoutIsLengthTypeAndLittleEndianFields) {
  Bytes bytes;
  ASSERT_TRUE(encodeFrame(TerminateFrame{2, 0x01020304}, bytes));
  EXPECT_EQ(bytes, (Bytes{9, 0, 0, 0, 6, 2, 0, 0, 0, 4, 3, 2, 1}));
  bytes.clear();
  ASSERT_TRUE(encodeFrame(WriteFrame{{0xAA, 0xBB}}, bytes));
  EXPECT_EQ(bytes, (Bytes{7, 0, 0, 0, 4, 2, 0, 0, 0, 0xAA, 0xBB}));
  bytes.clear();
  ASSERT_TRUE(encodeFrame(IdleFrame{}, bytes));
  EXPECT_EQ(bytes, (Bytes{1, 0, 0, 0, 5}));
}

TEST(FrameCodec, EveryFrameSurvivesASplitAtEveryByte) {
  const auto frames = everyKindOfFrame();
  const Bytes bytes = encodeAll(frames);
  const std::span<const std::uint8_t> all(bytes);
  for (std::size_t split = 0; split <= bytes.size(); ++split) {
    FrameDecoder::Status last;
    const auto decoded = decodePieces({all.first(split), all.subspan(split)}, &last);
    ASSERT_EQ(decoded, frames) << "split at " << split;
    EXPECT_EQ(last, FrameDecoder::Status::incomplete);
  }
}

TEST(FrameCodec, OneByteAtATime) {
  const auto frames = everyKindOfFrame();
  const Bytes bytes = encodeAll(frames);
  std::vector<std::span<const std::uint8_t>> pieces;
  for (std::size_t i = 0; i < bytes.size(); ++i) pieces.push_back(std::span(bytes).subspan(i, 1));
  EXPECT_EQ(decodePieces(pieces), frames);
}

TEST(FrameCodec, LargestFrameIsAcceptedOneMoreByteIsNot) {
  // Type byte + 4-byte array length + message = the length field.
  PrintFrame largest{Bytes(kMaxFrameLength - 5, 0x41)};
  Bytes bytes;
  ASSERT_TRUE(encodeFrame(largest, bytes));
  EXPECT_EQ(decodePieces({bytes}), std::vector<Frame>{largest});

  PrintFrame tooLarge{Bytes(kMaxFrameLength - 4, 0x41)};
  Bytes unchanged = {9};
  EXPECT_FALSE(encodeFrame(tooLarge, unchanged));
  EXPECT_EQ(unchanged, Bytes{9});
}

TEST(FrameCodec, ProtocolErrorsAreFoundAsEarlyAsPossibleAndAreFinal) {
  const struct {
    const char* what;
    Bytes bytes;
    DecodeError error;
  } cases[] = {
      // Judged from the length field alone, before any body arrives.
      {"oversize", {0x01, 0x00, 0x10, 0x00}, DecodeError::oversize},
      {"huge", {0xFF, 0xFF, 0xFF, 0xFF}, DecodeError::oversize},
      {"empty", {0x00, 0x00, 0x00, 0x00}, DecodeError::emptyFrame},
      // Judged from the type byte, before the payload arrives.
      {"type 0", {0x10, 0, 0, 0, 0x00}, DecodeError::unknownType},
      {"type 7", {0x10, 0, 0, 0, 0x07}, DecodeError::unknownType},
      {"short connect result", {0x10, 0, 0, 0, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
       DecodeError::malformedPayload},
      {"trailing byte after idle", {0x02, 0, 0, 0, 0x05, 0x00}, DecodeError::malformedPayload},
      {"array longer than frame", {0x06, 0, 0, 0, 0x03, 0x09, 0, 0, 0, 0x41}, DecodeError::malformedPayload},
      {"array length overflow", {0x06, 0, 0, 0, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0x41}, DecodeError::malformedPayload},
      {"attach string overruns", {0x06, 0, 0, 0, 0x01, 0x01, 0, 0, 0, 0x41}, DecodeError::malformedPayload},
  };
  for (const auto& c : cases) {
    FrameDecoder decoder;
    decoder.append(c.bytes);
    Frame f;
    EXPECT_EQ(decoder.next(f), FrameDecoder::Status::error) << c.what;
    EXPECT_EQ(decoder.error(), c.error) << c.what;
    EXPECT_EQ(decoder.buffered(), 0u) << c.what;
    // A good frame afterwards changes nothing.
    Bytes good;
    encodeFrame(IdleFrame{}, good);
    decoder.append(good);
    EXPECT_EQ(decoder.next(f), FrameDecoder::Status::error) << c.what;
  }
}

TEST(FrameCodec, GoodFramesBeforeAnErrorAreStillDelivered) {
  Bytes bytes;
  encodeFrame(IdleFrame{}, bytes);
  encodeFrame(TerminateFrame{1, 2}, bytes);
  bytes.insert(bytes.end(), {0x05, 0, 0, 0, 0x63});
  FrameDecoder::Status last;
  const auto frames = decodePieces({bytes}, &last);
  EXPECT_EQ(frames, (std::vector<Frame>{IdleFrame{}, TerminateFrame{1, 2}}));
  EXPECT_EQ(last, FrameDecoder::Status::error);
}

TEST(FrameCodec, ConsumedFramesDoNotAccumulate) {
  FrameDecoder decoder;
  Bytes one;
  encodeFrame(PrintFrame{Bytes(1000, 7)}, one);
  Frame f;
  for (int i = 0; i < 100; ++i) {
    decoder.append(std::span(one).first(500));
    EXPECT_EQ(decoder.next(f), FrameDecoder::Status::incomplete);
    decoder.append(std::span(one).subspan(500));
    ASSERT_EQ(decoder.next(f), FrameDecoder::Status::frame);
    EXPECT_EQ(decoder.buffered(), 0u);
  }
}

}  // namespace
}  // namespace vorn::termlink
