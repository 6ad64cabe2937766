// Control pipe messages built byte by byte, apart from common/pipe_protocol,
// so that tests hold the encoders and decoders against an independent
// picture of the bytes: 32-bit little-endian integers, unpadded records,
// names with their terminating zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vorn::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes le(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}
inline Bytes zeros(std::size_t count) { return Bytes(count, 0); }
inline Bytes chars(std::string_view text) { return Bytes(text.begin(), text.end()); }
// The text and its zero.
inline Bytes text(std::string_view value) { return chars(value) + zeros(1); }
inline Bytes cut(Bytes bytes, std::size_t length) {
  bytes.resize(length);
  return bytes;
}

// Requests: function, process id, then a show's selector and its name at
// offset 24, or a run's or kill's profile name at offset 56.
inline Bytes showRequest(std::int32_t selector, std::string_view name = "", std::uint32_t processId = 77) {
  return le(2) + le(processId) + le(0) + le(static_cast<std::uint32_t>(selector)) + zeros(8) + text(name);
}
inline Bytes profileRequest(std::uint32_t function, std::string_view name, std::uint32_t processId = 77) {
  return le(function) + le(processId) + zeros(48) + text(name);
}
inline Bytes runRequest(std::string_view name) { return profileRequest(3, name); }
inline Bytes killRequest(std::string_view name) { return profileRequest(4, name); }

// Replies: an error with its code and text; a listing's header and its
// records; a run's and a kill's confirmation.
inline Bytes errorReply(std::uint32_t code, std::string_view message) {
  return le(0) + le(0) + le(code) + le(0) + text(message);
}
inline Bytes listingReply(std::uint32_t count) { return le(1) + le(0) + le(count) + le(0); }
inline Bytes showRecord(std::int32_t status, std::uint32_t processId, std::string_view name) {
  return le(static_cast<std::uint32_t>(25 + name.size())) + le(static_cast<std::uint32_t>(status)) + le(processId) +
         zeros(12) + text(name);
}
inline Bytes runReply() { return le(3) + zeros(16); }
inline Bytes killReply() { return le(4) + le(0); }

}  // namespace vorn::test
