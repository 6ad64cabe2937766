#include "tools/vornhost/host_options.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "platform/ansi_code_page.h"

namespace vorn::vornhost {
namespace {

constexpr std::int32_t kUserNotKnown = 72;
constexpr std::int32_t kLocationNotKnown = 105;

// Decimal, or hexadecimal with 0x; any 32-bit pattern (0x80080035 reads as negative).
std::optional<std::int32_t> parseInt(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (base == 10 && value > (negative ? 0x80000000u : 0x7FFFFFFFu)) return std::nullopt;
  return static_cast<std::int32_t>(negative ? 0u - value : value);
}

std::optional<CodePair> parsePair(std::string_view text) {
  const std::size_t comma = text.find(',');
  const auto first = parseInt(text.substr(0, comma));
  if (!first) return std::nullopt;
  if (comma == std::string_view::npos) return CodePair{*first, 0};
  const auto second = parseInt(text.substr(comma + 1));
  if (!second) return std::nullopt;
  return CodePair{*first, *second};
}

}  // namespace

std::string_view HostUsage() {
  return R"(usage: vornhost (--port N | --pipe N) [options] [REPORT...]

Plays the host's side of the print link: listens for a print agent, shows its
attach request, accepts or rejects it, sends reports as print messages and
checks each message's acknowledgement.

Where to listen (one of):
  --port N              TCP port N (0 picks a free port; the line
                        "vornhost: listening on ADDR:PORT" names it)
  --bind ADDR           address for --port (default 127.0.0.1)
  --pipe N              local socket pipe/termlink-N under the platform root
                        ($VORNPRINT_ROOT, default /var/lib/vornprint)

Answer to the attach request (default: accept with code 0):
  --reject CODE[,DETAIL]   reject every agent with CODE and DETAIL (decimal or
                           0x hex; e.g. 72, or -1,0x80080035)
  --reject-user NAME       reject only agents whose Client is NAME (default
                           code 72 unless --reject gives one); repeatable
  --reject-location NAME   reject only agents whose Location is NAME (default
                           code 105 unless --reject gives one); repeatable

What to send once the agent is accepted:
  REPORT                a print stream file, sent as one report: messages of
                        0x01 0x00, two length bytes and a body; the first body
                        starts with the 36-byte header record, the last ends
                        with the terminator 0x02 0x2F. The stream should begin
                        with a control byte (below 0x20).
  --form XXXX           form name in the header record (default blanks)
  --report NAME         report name in the header record (default: the file
                        name without folders and extension); cut to 30
  --max-message N       largest message in bytes (48 to 8208, default 8208)
  --raw FILE            send FILE's bytes as one print message, unchanged
                        (for malformed-message tests); repeatable, sent in
                        command-line order together with the reports
  --ack-timeout S       seconds to wait for each acknowledgement (default 10)
  --idle                send PrinterIdle after the reports
  --terminate R[,D]     send Terminate(R, D) after the reports (or alone), then
                        wait for the agent to close the link
  --hold                keep the link open after the last step until the
                        agent closes it
  --keep-listening      serve further agents one after the other (ends only
                        when the program is stopped)
  --help                this text
  --version             the program's version

Output: one line per event on standard output, each flushed; an attach
request gives the lines "attach connect-string=...", "attach arg1=...",
"attach arg2=...", "attach arg3=...", "attach printer-id=...",
"attach device-flags=...", "attach forms=[........]" (bytes outside
0x20..0x7E shown as \xNN). The last line is the summary:
  reports=N messages=N bytes=N acks: right=N wrong=N missing=N elapsed=S.SSs
Every message of two or more bytes expects the 6-byte acknowledgement
0x01 0x00 0x00 0x00 0x00 0x00; a missing one ends the agent's session.

Exit status: 0 when every acknowledgement was right, 1 when any was wrong or
missing, 2 for a usage error, an unreadable file or a failure to listen.
)";
}

std::optional<HostOptions> ParseHostOptions(std::span<const std::string_view> args, std::string& error) {
  HostOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    auto value = [&](std::string_view& out) {
      if (i + 1 >= args.size()) {
        error = std::string(arg) + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string_view v;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--port") {
      if (!value(v)) return std::nullopt;
      const auto port = parseInt(v);
      if (!port || *port < 0 || *port > 65535) return error = "--port needs a number from 0 to 65535", std::nullopt;
      options.tcpPort = static_cast<std::uint16_t>(*port);
    } else if (arg == "--pipe") {
      if (!value(v)) return std::nullopt;
      const auto port = parseInt(v);
      if (!port) return error = "--pipe needs a number", std::nullopt;
      options.pipePort = *port;
    } else if (arg == "--bind") {
      if (!value(v)) return std::nullopt;
      options.bindAddress = v;
    } else if (arg == "--reject") {
      if (!value(v)) return std::nullopt;
      options.reject = parsePair(v);
      if (!options.reject || options.reject->first == 0)
        return error = "--reject needs CODE[,DETAIL] with a code other than 0", std::nullopt;
    } else if (arg == "--reject-user") {
      if (!value(v)) return std::nullopt;
      options.rejectUsers.emplace_back(v);
    } else if (arg == "--reject-location") {
      if (!value(v)) return std::nullopt;
      options.rejectLocations.emplace_back(v);
    } else if (arg == "--form") {
      if (!value(v)) return std::nullopt;
      if (v.size() > kFormSize) return error = "--form takes at most 4 characters", std::nullopt;
      options.form = v;
    } else if (arg == "--report") {
      if (!value(v)) return std::nullopt;
      options.reportName = std::string(v);
    } else if (arg == "--max-message") {
      if (!value(v)) return std::nullopt;
      const auto size = parseInt(v);
      if (!size || *size < static_cast<std::int32_t>(kMinPrintMessage) ||
          *size > static_cast<std::int32_t>(kMaxPrintMessage))
        return error = "--max-message needs a number from 48 to 8208", std::nullopt;
      options.maxMessage = static_cast<std::size_t>(*size);
    } else if (arg == "--raw") {
      if (!value(v)) return std::nullopt;
      options.sends.push_back({SendItem::Kind::raw, std::string(v)});
    } else if (arg == "--ack-timeout") {
      if (!value(v)) return std::nullopt;
      const std::string text(v);
      char* end = nullptr;
      const double seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(seconds > 0) || seconds > 86400)
        return error = "--ack-timeout needs a number of seconds above 0", std::nullopt;
      options.ackTimeoutSeconds = seconds;
    } else if (arg == "--idle") {
      options.idle = true;
    } else if (arg == "--terminate") {
      if (!value(v)) return std::nullopt;
      options.terminate = parsePair(v);
      if (!options.terminate) return error = "--terminate needs REASON[,DETAIL]", std::nullopt;
    } else if (arg == "--keep-listening") {
      options.keepListening = true;
    } else if (arg == "--hold") {
      options.hold = true;
    } else if (arg.starts_with("-") && arg.size() > 1) {
      error = "unknown option " + std::string(arg);
      return std::nullopt;
    } else {
      options.sends.push_back({SendItem::Kind::report, std::string(arg)});
    }
  }
  if (options.help || options.version) return options;
  if (options.tcpPort.has_value() == options.pipePort.has_value()) {
    error = "give exactly one of --port and --pipe";
    return std::nullopt;
  }
  return options;
}

CodePair ChooseConnectResult(const HostOptions& options, std::string_view user, std::string_view location) {
  using platform::equalsIgnoringCase;
  const bool filtered = !options.rejectUsers.empty() || !options.rejectLocations.empty();
  if (!filtered) return options.reject.value_or(CodePair{0, 0});
  for (const auto& name : options.rejectUsers)
    if (equalsIgnoringCase(name, user)) return options.reject.value_or(CodePair{kUserNotKnown, 0});
  for (const auto& name : options.rejectLocations)
    if (equalsIgnoringCase(name, location)) return options.reject.value_or(CodePair{kLocationNotKnown, 0});
  return {0, 0};
}

std::string ReportNameFromPath(std::string_view path) {
  return std::filesystem::path(std::string(path)).stem().string();
}

}  // namespace vorn::vornhost
