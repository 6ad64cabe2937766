// vornhost's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/vornhost/message_wrapping.h"

namespace vorn::vornhost {

// One thing to send after the host accepted the agent, in command-line order.
struct SendItem {
  enum class Kind { report, raw };
  Kind kind = Kind::report;
  std::string path;
};

struct CodePair {
  std::int32_t first = 0;
  std::int32_t second = 0;
};

struct HostOptions {
  std::optional<std::uint16_t> tcpPort;  // --port
  std::optional<std::int32_t> pipePort;  // --pipe
  std::string bindAddress = "127.0.0.1";
  std::optional<CodePair> reject;  // code, detail
  std::vector<std::string> rejectUsers;
  std::vector<std::string> rejectLocations;
  std::string form;
  std::optional<std::string> reportName;
  std::size_t maxMessage = kMaxPrintMessage;
  double ackTimeoutSeconds = 10.0;
  bool idle = false;
  std::optional<CodePair> terminate;  // reason, detail
  bool keepListening = false;
  bool hold = false;
  std::vector<SendItem> sends;
  bool help = false;
  bool version = false;  // --version
};

// Parses the arguments after the program name. On a mistake returns null and
// sets `error` to a one-line explanation.
std::optional<HostOptions> ParseHostOptions(std::span<const std::string_view> args, std::string& error);

// The --help text.
std::string_view HostUsage();

// The connect result for an attach request from `user` at `location`: 0 (and
// detail 0) to accept; otherwise the rejection chosen on the command line.
CodePair ChooseConnectResult(const HostOptions& options, std::string_view user, std::string_view location);

// A report's name from its file path: the file name without folders and
// without its extension.
std::string ReportNameFromPath(std::string_view path);

}  // namespace vorn::vornhost
