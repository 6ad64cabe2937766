// Serving one agent: its attach request, the answer, the reports and the
// closing steps, with the counts that end up in the summary.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "tools/vornhost/host_options.h"

namespace vorn::vornhost {

// Something to send, already read from its file.
struct LoadedItem {
  SendItem::Kind kind = SendItem::Kind::report;
  std::string name;  // the report name, or the raw file's path
  std::vector<std::vector<std::uint8_t>> messages;
};

struct HostTotals {
  std::uint64_t reports = 0;
  std::uint64_t messages = 0;
  std::uint64_t bytes = 0;
  std::uint64_t rightAcks = 0;
  std::uint64_t wrongAcks = 0;
  std::uint64_t missingAcks = 0;
  double elapsedSeconds = 0;
};

// "reports=N messages=N bytes=N acks: right=N wrong=N missing=N elapsed=S.SSs"
std::string FormatSummary(const HostTotals& totals);

// Reads every file to send and wraps reports into messages. False, with
// `error` naming the file and the reason, when one cannot be read.
bool LoadSendItems(const HostOptions& options, std::vector<LoadedItem>& items, std::string& error);

// Serves one connected agent to the end, writing one line per event to `out`
// and adding to `totals`.
void ServeAgent(std::unique_ptr<platform::StreamSocket> socket, const HostOptions& options,
                const std::vector<LoadedItem>& items, HostTotals& totals, std::ostream& out);

}  // namespace vorn::vornhost
