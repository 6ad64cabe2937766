#include "tools/vornhost/message_wrapping.h"

#include <algorithm>

namespace vorn::vornhost {
namespace {

void putField(std::uint8_t* out, std::size_t width, std::string_view text) {
  for (std::size_t i = 0; i < width; ++i) out[i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0x20;
}

bool endsWithTerminator(std::span<const std::uint8_t> stream) {
  return stream.size() >= 2 && stream[stream.size() - 2] == kTerminator[0] &&
         stream[stream.size() - 1] == kTerminator[1];
}

}  // namespace

std::array<std::uint8_t, kHeaderRecordSize> HeaderRecord(std::string_view form, std::string_view reportName) {
  std::array<std::uint8_t, kHeaderRecordSize> header{};
  header[0] = 0x02;
  header[1] = 0x20;
  putField(header.data() + 2, kFormSize, form);
  putField(header.data() + 2 + kFormSize, kReportNameSize, reportName);
  return header;
}

std::vector<std::vector<std::uint8_t>> WrapReport(std::span<const std::uint8_t> stream, std::string_view form,
                                                  std::string_view reportName, std::size_t maxMessage) {
  maxMessage = std::clamp(maxMessage, kMinPrintMessage, kMaxPrintMessage);

  std::vector<std::uint8_t> data(stream.begin(), stream.end());
  if (!endsWithTerminator(data)) data.insert(data.end(), kTerminator.begin(), kTerminator.end());

  std::vector<std::vector<std::uint8_t>> messages;
  std::size_t at = 0;
  while (messages.empty() || at < data.size()) {
    std::vector<std::uint8_t> message = {0x01, 0x00, 0x00, 0x00};
    if (messages.empty()) {
      const auto header = HeaderRecord(form, reportName);
      message.insert(message.end(), header.begin(), header.end());
    }
    std::size_t take = std::min(maxMessage - message.size(), data.size() - at);
    // A record mark stays with the byte after it.
    while (at + take < data.size() && take > 1 && data[at + take - 1] == 0x02) --take;
    message.insert(message.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + take));
    at += take;
    // The two unexamined bytes carry the message's length, little-endian.
    message[2] = static_cast<std::uint8_t>(message.size() & 0xFF);
    message[3] = static_cast<std::uint8_t>(message.size() >> 8);
    messages.push_back(std::move(message));
  }
  return messages;
}

bool ExpectsAcknowledgement(std::span<const std::uint8_t> message) { return message.size() >= 2; }

bool IsRightAcknowledgement(std::span<const std::uint8_t> reply) {
  return std::equal(reply.begin(), reply.end(), kAcknowledgement.begin(), kAcknowledgement.end());
}

}  // namespace vorn::vornhost
