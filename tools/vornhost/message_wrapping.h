// Wrapping a report (a print stream) into the host's print messages, and
// checking the agent's acknowledgement.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vorn::vornhost {

// The largest print message the agent takes.
inline constexpr std::size_t kMaxPrintMessage = 8208;
// Message type, a zero byte and two bytes the agent does not examine.
inline constexpr std::size_t kMessagePrefixSize = 4;
// 0x02 0x20, form (4 characters) and report name (30 characters).
inline constexpr std::size_t kHeaderRecordSize = 36;
inline constexpr std::size_t kFormSize = 4;
inline constexpr std::size_t kReportNameSize = 30;
// The smallest --max-message that leaves room for data after the header.
inline constexpr std::size_t kMinPrintMessage = kMessagePrefixSize + kHeaderRecordSize + 8;

inline constexpr std::array<std::uint8_t, 2> kTerminator = {0x02, 0x2F};
inline constexpr std::array<std::uint8_t, 6> kAcknowledgement = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00};

// The 36-byte header record: 0x02 0x20, then form and report name, each cut
// to its field and padded with blanks.
std::array<std::uint8_t, kHeaderRecordSize> HeaderRecord(std::string_view form, std::string_view reportName);

// The messages of one report: the first starts with the header record, the
// data follows split so that no message is longer than `maxMessage`, and the
// end-of-report terminator closes the last one (it is not added again when
// the stream already ends with it). No message but the last ends with a
// 0x02 (unless the stream holds a run of record marks longer than a
// message), so neither the terminator nor a record mark is split from the
// byte after it. `maxMessage` is clamped to kMinPrintMessage..kMaxPrintMessage.
std::vector<std::vector<std::uint8_t>> WrapReport(std::span<const std::uint8_t> stream, std::string_view form,
                                                  std::string_view reportName,
                                                  std::size_t maxMessage = kMaxPrintMessage);

// A message sent as it is (for malformed-message tests); the agent answers
// only messages of two bytes or more.
bool ExpectsAcknowledgement(std::span<const std::uint8_t> message);

bool IsRightAcknowledgement(std::span<const std::uint8_t> reply);

}  // namespace vorn::vornhost
