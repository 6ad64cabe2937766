// vornpipe: one request to the print service's control pipe, and its reply's
// bytes, in hexadecimal. For administrators who want to see what the service
// answers (spoolcmd prints only its reading of a reply), and for comparing
// the replies of two services byte for byte.
//
//   vornpipe [--zero-process-ids] show | run NAME | kill NAME | send HEX
//   vornpipe --version
//
// `send` writes the request given in hexadecimal as it is, so that a
// malformed request can be tried too. --zero-process-ids writes a listing's
// process ids as 0: they are the one field that differs between two services
// running the same profiles.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/pipe_protocol.h"
#include "common/service_identity.h"
#include "common/version.h"
#include "platform/named_pipe.h"
#include "platform/process.h"

namespace {

using namespace vorn;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr std::size_t kShowRecordProcessIdOffset = 8;
constexpr std::size_t kBytesPerLine = 16;

std::optional<std::vector<std::uint8_t>> parseHex(std::string_view text) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (text.size() % 2 != 0 || text.size() / 2 > kPipeMessageSize) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]), low = digit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

// The request the arguments name; none for a usage error.
std::optional<std::vector<std::uint8_t>> buildRequest(const std::vector<std::string>& words) {
  std::vector<std::uint8_t> request(kPipeMessageSize);
  std::size_t length = 0;
  if (words.size() == 1 && words[0] == "show") {
    length = encodeShowRequest(request, platform::currentProcessId(), SHOW_ALL);
  } else if (words.size() == 2 && (words[0] == "run" || words[0] == "kill")) {
    length = encodeProfileRequest(request, words[0] == "run" ? PIPE_FN_RUN : PIPE_FN_KILL,
                                  platform::currentProcessId(), words[1]);
  } else if (words.size() == 2 && words[0] == "send") {
    return parseHex(words[1]);
  }
  if (length == 0) return std::nullopt;
  request.resize(length);
  return request;
}

// A listing's records with their process ids written as 0, as far as they decode.
void zeroProcessIds(std::span<std::uint8_t> reply) {
  const auto header = decodeReplyHeader(reply);
  if (!header || header->code != PIPE_REPLY_LIST) return;
  std::size_t offset = kReplyHeaderSize;
  for (std::uint32_t index = 0; index < header->value; ++index) {
    const auto record = decodeShowRecord(reply, offset);
    if (!record) return;
    writeLe32(reply, offset + kShowRecordProcessIdOffset, 0);
    offset += record->length;
  }
}

std::string hexLines(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
    text += (i + 1) % kBytesPerLine == 0 || i + 1 == bytes.size() ? '\n' : ' ';
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words = platform::commandArguments(argc, argv);
  if (words.size() == 1 && words[0] == "--version") {
    platform::writeStandardOutput(VersionLine("vornpipe"));
    return 0;
  }
  const bool zeroIds = !words.empty() && words[0] == "--zero-process-ids";
  if (zeroIds) words.erase(words.begin());
  const auto request = buildRequest(words);
  if (!request) {
    platform::writeStandardOutput(
        "usage: vornpipe [--zero-process-ids] show | run NAME | kill NAME | send HEX\n"
        "       vornpipe --version\n"
        "  (HEX: a request of at most 25576 bytes, two digits a byte)\n");
    return kExitUsage;
  }

  std::vector<std::uint8_t> reply(kPipeMessageSize);
  std::size_t got = 0;
  const std::uint32_t error = platform::callNamedPipe(kServicePipeName, *request, reply, got, kPipeTimeoutMs);
  if (error != 0) {
    platform::writeStandardOutput("vornpipe: the pipe call failed with " + std::to_string(error) + "\n");
    return kExitFailed;
  }
  reply.resize(got);
  if (zeroIds) zeroProcessIds(reply);
  platform::writeStandardOutput("reply of " + std::to_string(got) + " bytes\n" + hexLines(reply));
  return 0;
}
