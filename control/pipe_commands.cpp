#include "control/pipe_commands.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "common/service_identity.h"
#include "platform/named_pipe.h"
#include "platform/process.h"

namespace vorn {
namespace {

// One buffer for the request and the reply.
constexpr std::size_t kMessageBufferSize = 25576;
constexpr std::uint32_t kPipeTimeoutMs = 10000;

constexpr std::uint32_t kFunctionShow = 2;
constexpr std::uint32_t kFunctionRun = 3;
constexpr std::uint32_t kFunctionKill = 4;
constexpr std::uint32_t kReplyError = 0;
constexpr std::int32_t kShowAll = -1;
constexpr std::size_t kReplyHeaderSize = 16;
constexpr std::size_t kProfileNameOffset = 56;
constexpr std::size_t kShowRecordNameOffset = 24;

void putLe32(std::vector<std::uint8_t>& message, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) message.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

// 0 when the four bytes lie beyond `got`.
std::uint32_t getLe32(std::span<const std::uint8_t> message, std::size_t offset) {
  if (offset + 4 > message.size()) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::uint32_t{message[offset + i]} << (8 * i);
  return value;
}

// The zero-terminated text at `offset`, never beyond the received bytes.
std::string textAt(std::span<const std::uint8_t> message, std::size_t offset, std::size_t limit) {
  if (offset >= message.size()) return {};
  const auto rest = message.subspan(offset);
  const auto end = std::find(rest.begin(), rest.end(), std::uint8_t{0});
  std::string text(rest.begin(), end);
  if (text.size() > limit) text.resize(limit);
  return text;
}

std::string format(const char* pattern, int value) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), pattern, value);
  return text.data();
}

// Sends `request`; the reply lands in `reply`. 0, or the pipe call's error.
std::uint32_t call(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply) {
  reply.assign(kMessageBufferSize, 0);
  std::size_t got = 0;
  const std::uint32_t error = platform::callNamedPipe(kServicePipeName, request, reply, got, kPipeTimeoutMs);
  reply.resize(error == 0 ? got : 0);
  return error;
}

std::uint32_t profileCommand(std::uint32_t function, std::string_view profileName, std::string_view what) {
  std::vector<std::uint8_t> request(kProfileNameOffset + profileName.size() + 1, 0);
  putLe32(request, 0, function);
  putLe32(request, 4, platform::currentProcessId());
  std::copy(profileName.begin(), profileName.end(), request.begin() + kProfileNameOffset);
  std::vector<std::uint8_t> reply;
  if (const std::uint32_t error = call(request, reply)) {
    platform::writeStandardOutput("\n" + std::string(what) + format(" error %d\n", static_cast<int>(error)));
    return error;
  }
  if (getLe32(reply, 0) != kReplyError) return 0;
  platform::writeStandardOutput("\n" + std::string(what) + " error: " + textAt(reply, kReplyHeaderSize, 1023) + "\n");
  return getLe32(reply, 8);
}

}  // namespace

void ShowAgents() {
  platform::writeStandardOutput("\n");
  std::vector<std::uint8_t> request(25, 0);
  putLe32(request, 0, kFunctionShow);
  putLe32(request, 4, platform::currentProcessId());
  putLe32(request, 12, static_cast<std::uint32_t>(kShowAll));
  std::vector<std::uint8_t> reply;
  if (const std::uint32_t error = call(request, reply)) {
    platform::writeStandardOutput("\n" + std::string(kServiceName) +
                                  format(" not found: %d\n", static_cast<int>(error)));
    return;
  }
  if (getLe32(reply, 0) == kReplyError) {
    platform::writeStandardOutput(std::string("\n") + std::string(kServiceName) + " error " +
                                  textAt(reply, kReplyHeaderSize, 80));
    return;
  }
  const auto count = static_cast<std::int32_t>(getLe32(reply, 8));
  std::string listing = format("There are %d active VornPrintService printers:\n", count) +
                        "         processid   status   profile.name";
  std::size_t offset = kReplyHeaderSize;
  for (std::int32_t record = 0; record < count; ++record) {
    // A record must lie within what was received, and move on.
    const std::uint32_t length = getLe32(reply, offset);
    if (length < kShowRecordNameOffset + 1 || offset + length > reply.size()) break;
    const auto status = static_cast<std::int32_t>(getLe32(reply, offset + 4));
    const std::uint32_t processId = getLe32(reply, offset + 8);
    if (processId != 0) {
      listing += format("\n         %6d     running   ", static_cast<int>(processId));
    } else if (status == 1) {
      listing += "\n                    retrying  ";
    } else {
      listing += format("\n                   dead %3d ", status);
    }
    listing += textAt(std::span(reply).first(offset + length), offset + kShowRecordNameOffset, length);
    offset += length;
  }
  listing += "\n\n(to define or change printer profiles, run VornPrintProfiles)\n";
  platform::writeStandardOutput(listing);
}

std::uint32_t RunProfile(std::string_view profileName) {
  return profileCommand(kFunctionRun, profileName, "Run process");
}

std::uint32_t KillProfile(std::string_view profileName) {
  return profileCommand(kFunctionKill, profileName, "Kill process");
}

}  // namespace vorn
