#include "common/pipe_protocol.h"

#include <algorithm>

namespace vorn {
namespace {

bool fits(std::size_t size, std::size_t offset, std::size_t length) {
  return offset <= size && length <= size - offset;
}

// `text` and its zero at `offset`; false when they do not fit.
bool writeText(std::span<std::uint8_t> bytes, std::size_t offset, std::string_view text) {
  if (!fits(bytes.size(), offset, text.size() + 1)) return false;
  std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  bytes[offset + text.size()] = 0;
  return true;
}

// Zeros the first `length` bytes, then writes the header fields; false when
// `length` does not fit.
bool writeHeader(std::span<std::uint8_t> buffer, std::size_t length, std::uint32_t code, std::uint32_t value) {
  if (length > buffer.size()) return false;
  std::fill_n(buffer.begin(), length, std::uint8_t{0});
  writeLe32(buffer, 0, code);
  if (length >= kReplyHeaderSize) writeLe32(buffer, 8, value);
  return true;
}

}  // namespace

std::optional<std::uint32_t> readLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (!fits(bytes.size(), offset, 4)) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{bytes[offset + i]} << (8 * i);
  return value;
}

bool writeLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  if (!fits(bytes.size(), offset, 4)) return false;
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return true;
}

std::optional<std::string_view> zeroTerminatedText(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   std::size_t limit) {
  if (offset >= bytes.size()) return std::nullopt;
  const auto text = bytes.subspan(offset, std::min(limit, bytes.size() - offset));
  const auto zero = std::find(text.begin(), text.end(), std::uint8_t{0});
  if (zero == text.end()) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(zero - text.begin()));
}

std::size_t encodeShowRequest(std::span<std::uint8_t> buffer, std::uint32_t processId, std::int32_t selector) {
  const std::size_t length = kShowRequestNameOffset + 1;
  if (!writeHeader(buffer, length, PIPE_FN_SHOW, 0)) return 0;
  writeLe32(buffer, 4, processId);
  writeLe32(buffer, 12, static_cast<std::uint32_t>(selector));
  return length;
}

std::size_t encodeProfileRequest(std::span<std::uint8_t> buffer, std::uint32_t function, std::uint32_t processId,
                                 std::string_view profileName) {
  if (!fits(buffer.size(), kProfileRequestNameOffset, profileName.size() + 1)) return 0;
  writeHeader(buffer, kProfileRequestNameOffset, function, 0);
  writeLe32(buffer, 4, processId);
  writeText(buffer, kProfileRequestNameOffset, profileName);
  return kProfileRequestNameOffset + profileName.size() + 1;
}

std::size_t encodeListHeader(std::span<std::uint8_t> buffer, std::uint32_t recordCount) {
  return writeHeader(buffer, kReplyHeaderSize, PIPE_REPLY_LIST, recordCount) ? kReplyHeaderSize : 0;
}

std::size_t encodeShowRecord(std::span<std::uint8_t> buffer, std::size_t offset, std::int32_t status,
                             std::uint32_t processId, std::string_view profileName) {
  const std::size_t length = kShowRecordNameOffset + profileName.size() + 1;
  if (!fits(buffer.size(), offset, length)) return 0;
  std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(offset), kShowRecordNameOffset, std::uint8_t{0});
  writeLe32(buffer, offset, static_cast<std::uint32_t>(length));
  writeLe32(buffer, offset + 4, static_cast<std::uint32_t>(status));
  writeLe32(buffer, offset + 8, processId);
  writeText(buffer, offset + kShowRecordNameOffset, profileName);
  return offset + length;
}

std::size_t encodeRunReply(std::span<std::uint8_t> buffer) {
  return writeHeader(buffer, kRunReplySize, PIPE_REPLY_RUN, 0) ? kRunReplySize : 0;
}

std::size_t encodeKillReply(std::span<std::uint8_t> buffer) {
  return writeHeader(buffer, kKillReplySize, PIPE_REPLY_KILL, 0) ? kKillReplySize : 0;
}

std::size_t encodeErrorReply(std::span<std::uint8_t> buffer, std::uint32_t code, std::string_view text) {
  text = text.substr(0, kErrorReplyTextMax);
  if (!fits(buffer.size(), kReplyHeaderSize, text.size() + 1)) return 0;
  writeHeader(buffer, kReplyHeaderSize, PIPE_REPLY_ERROR, code);
  writeText(buffer, kReplyHeaderSize, text);
  return kReplyHeaderSize + text.size() + 1;
}

std::optional<ReplyHeader> decodeReplyHeader(std::span<const std::uint8_t> reply) {
  const auto code = readLe32(reply, 0);
  if (!code) return std::nullopt;
  if (*code != PIPE_REPLY_ERROR && *code != PIPE_REPLY_LIST) return ReplyHeader{*code, 0};
  if (reply.size() < kReplyHeaderSize) return std::nullopt;
  return ReplyHeader{*code, *readLe32(reply, 8)};
}

std::string_view errorReplyText(std::span<const std::uint8_t> reply) {
  if (reply.size() <= kReplyHeaderSize) return {};
  const auto text = reply.subspan(kReplyHeaderSize);
  const auto zero = std::find(text.begin(), text.end(), std::uint8_t{0});
  return std::string_view(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(zero - text.begin()));
}

std::optional<ShowRecord> decodeShowRecord(std::span<const std::uint8_t> reply, std::size_t offset) {
  const auto length = readLe32(reply, offset);
  if (!length || *length < kShowRecordNameOffset + 1 || !fits(reply.size(), offset, *length)) return std::nullopt;
  const auto record = reply.subspan(offset, *length);
  const auto name = zeroTerminatedText(record, kShowRecordNameOffset, record.size());
  if (!name) return std::nullopt;
  return ShowRecord{*length, static_cast<std::int32_t>(*readLe32(record, 4)), *readLe32(record, 8), *name};
}

}  // namespace vorn
