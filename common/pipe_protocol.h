// The control pipe's messages, byte by byte: one request from the client,
// one reply from the service, both in one buffer of kPipeMessageSize bytes.
// Integers are 32-bit little-endian, records are neither padded nor
// aligned, names are 8-bit texts with a terminating zero.
//
// Every function here is pure and bounds-checked: an encoder that has no
// room writes nothing and returns 0; a decoder never reads beyond the span
// it is given, which is exactly the bytes received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vorn {

inline constexpr std::size_t kPipeMessageSize = 25576;
inline constexpr std::uint32_t kPipeInstancesMax = 10;
inline constexpr std::uint32_t kPipeTimeoutMs = 10000;

// Request function codes (offset 0 of a request).
inline constexpr std::uint32_t PIPE_FN_SHOW = 2;
inline constexpr std::uint32_t PIPE_FN_RUN = 3;
inline constexpr std::uint32_t PIPE_FN_KILL = 4;

// Reply codes (offset 0 of a reply).
inline constexpr std::uint32_t PIPE_REPLY_ERROR = 0;
inline constexpr std::uint32_t PIPE_REPLY_LIST = 1;
inline constexpr std::uint32_t PIPE_REPLY_RUN = 3;
inline constexpr std::uint32_t PIPE_REPLY_KILL = 4;

// A show request's selector that lists every used slot.
inline constexpr std::int32_t SHOW_ALL = -1;

inline constexpr std::size_t kShowRequestNameOffset = 24;     // ShowRequest: 25 + n bytes
inline constexpr std::size_t kProfileRequestNameOffset = 56;  // ProfileRequest: 57 + n bytes
inline constexpr std::size_t kReplyHeaderSize = 16;
inline constexpr std::size_t kRunReplySize = 20;
inline constexpr std::size_t kKillReplySize = 8;
inline constexpr std::size_t kShowRecordNameOffset = 24;  // ShowRecord: 25 + n bytes
// The longest text an ErrorReply carries, without its zero.
inline constexpr std::size_t kErrorReplyTextMax = 1023;

// The 32-bit value at `offset`; none when its four bytes are not all there.
std::optional<std::uint32_t> readLe32(std::span<const std::uint8_t> bytes, std::size_t offset);
// false (nothing written) when the four bytes do not fit.
bool writeLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);

// The text from `offset` up to its zero, if that zero lies within the
// first `limit` bytes of the text and within `bytes`.
std::optional<std::string_view> zeroTerminatedText(std::span<const std::uint8_t> bytes, std::size_t offset,
                                                   std::size_t limit);

// Requests, as the client builds them: the length, or 0 when `buffer` has no room.
std::size_t encodeShowRequest(std::span<std::uint8_t> buffer, std::uint32_t processId, std::int32_t selector);
std::size_t encodeProfileRequest(std::span<std::uint8_t> buffer, std::uint32_t function, std::uint32_t processId,
                                 std::string_view profileName);

// Replies, as the service builds them: the length, or 0 when `buffer` has no room.
// The header of a listing, with its record count.
std::size_t encodeListHeader(std::span<std::uint8_t> buffer, std::uint32_t recordCount);
// One ShowRecord at `offset`: the offset just past it.
std::size_t encodeShowRecord(std::span<std::uint8_t> buffer, std::size_t offset, std::int32_t status,
                             std::uint32_t processId, std::string_view profileName);
std::size_t encodeRunReply(std::span<std::uint8_t> buffer);
std::size_t encodeKillReply(std::span<std::uint8_t> buffer);
// ErrorReply: the text is cut to kErrorReplyTextMax characters; 17 + its length.
std::size_t encodeErrorReply(std::span<std::uint8_t> buffer, std::uint32_t code, std::string_view text);

// A reply's header as far as its code needs it: the code, and the error code
// of an ErrorReply or the record count of a listing. None when the reply is
// too short for what its code needs (16 bytes for an error and a listing,
// the code itself for the others).
struct ReplyHeader {
  std::uint32_t code = PIPE_REPLY_ERROR;
  std::uint32_t value = 0;  // ErrorReply: the error code; listing: the record count
};
std::optional<ReplyHeader> decodeReplyHeader(std::span<const std::uint8_t> reply);

// An ErrorReply's text: from offset 16 to its zero, or to the end of the reply.
std::string_view errorReplyText(std::span<const std::uint8_t> reply);

// The ShowRecord at `offset` of a listing. None when it is shorter than 25
// bytes, runs past the reply, or has no zero within its length.
struct ShowRecord {
  std::uint32_t length = 0;  // the next record starts this far on
  std::int32_t status = 0;
  std::uint32_t processId = 0;
  std::string_view profileName;
};
std::optional<ShowRecord> decodeShowRecord(std::span<const std::uint8_t> reply, std::size_t offset);

}  // namespace vorn
