#include "control/pipe_replies.h"

#include <array>
#include <cstdio>

#include "common/pipe_protocol.h"
#include "common/service_identity.h"

namespace vorn {
namespace {

constexpr std::size_t kShowErrorTextMax = 80;

std::string format(const char* pattern, std::int32_t value) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), pattern, static_cast<int>(value));
  return text.data();
}

std::string signedDecimal(std::uint32_t code) { return format("%d", static_cast<std::int32_t>(code)); }

}  // namespace

std::string ShowReplyText(std::uint32_t callError, std::span<const std::uint8_t> reply) {
  const auto header = callError == 0 ? decodeReplyHeader(reply) : std::nullopt;
  if (!header) {
    const std::uint32_t code = callError != 0 ? callError : kErrorInvalidData;
    return "\n" + std::string(kServiceName) + " not found: " + signedDecimal(code) + "\n";
  }
  if (header->code == PIPE_REPLY_ERROR)
    return "\n" + std::string(kServiceName) + " error " + std::string(errorReplyText(reply).substr(0, kShowErrorTextMax));

  const auto count = static_cast<std::int32_t>(header->value);
  std::string listing = format("There are %d active VornPrintService printers:\n", count) +
                        "         processid   status   profile.name";
  std::size_t offset = kReplyHeaderSize;
  for (std::int32_t index = 0; index < count; ++index) {
    const auto record = decodeShowRecord(reply, offset);
    if (!record) break;
    if (record->processId != 0) {
      listing += format("\n         %6d     running   ", static_cast<std::int32_t>(record->processId));
    } else if (record->status == 1) {
      listing += "\n                    retrying  ";
    } else {
      listing += format("\n                   dead %3d ", record->status);
    }
    listing += record->profileName;
    offset += record->length;
  }
  return listing + "\n\n(to define or change printer profiles, run VornPrintProfiles)\n";
}

ProfileReplyOutcome ProfileReplyText(std::string_view what, std::uint32_t callError,
                                     std::span<const std::uint8_t> reply) {
  const auto header = callError == 0 ? decodeReplyHeader(reply) : std::nullopt;
  if (!header) {
    const std::uint32_t code = callError != 0 ? callError : kErrorInvalidData;
    return {"\n" + std::string(what) + " error " + signedDecimal(code) + "\n", code, false};
  }
  if (header->code != PIPE_REPLY_ERROR) return {"", 0, true};
  return {"\n" + std::string(what) + " error: " + std::string(errorReplyText(reply)) + "\n", header->value, false};
}

}  // namespace vorn
