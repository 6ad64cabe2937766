#include "tools/vornhost/host_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "termlink/connect_string.h"
#include "tools/vornhost/attach_report.h"
#include "tools/vornhost/frame_channel.h"
#include "tools/vornhost/message_wrapping.h"

namespace vorn::vornhost {
namespace {

using termlink::Frame;

void line(std::ostream& out, const std::string& text) { out << text << std::endl; }

std::string hexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < 16; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", bytes[i]);
    text += byte;
  }
  if (bytes.size() > 16) text += " ...";
  return text;
}

class Session {
 public:
  Session(std::unique_ptr<platform::StreamSocket> socket, const HostOptions& options, HostTotals& totals,
          std::ostream& out)
      : channel_(std::move(socket)),
        options_(options),
        totals_(totals),
        out_(out),
        timeoutMs_(static_cast<int>(options.ackTimeoutSeconds * 1000)) {}

  void run(const std::vector<LoadedItem>& items) {
    if (!attach()) return;
    for (const LoadedItem& item : items)
      if (!sendItem(item)) return;
    if (options_.idle) {
      if (!sendFrame(termlink::IdleFrame{})) return;
      line(out_, "idle sent");
    }
    if (options_.terminate) {
      const auto [reason, detail] = *options_.terminate;
      if (!sendFrame(termlink::TerminateFrame{reason, detail})) return;
      line(out_, "terminate sent reason=" + std::to_string(reason) + " detail=" + std::to_string(detail));
      awaitClose(timeoutMs_);
      return;
    }
    if (options_.hold) awaitClose(-1);
  }

 private:
  bool attach() {
    Frame frame;
    const auto result = channel_.receive(frame, timeoutMs_);
    if (result != FrameChannel::Result::frame) {
      line(out_, std::string("no attach request: ") + ResultText(result));
      return false;
    }
    const auto* request = std::get_if<termlink::AttachFrame>(&frame);
    if (request == nullptr) {
      line(out_, std::string("expected an attach request, got ") +
                     termlink::frameTypeName(termlink::frameType(frame)));
      return false;
    }
    for (const std::string& text : DescribeAttach(*request)) line(out_, text);

    const auto fields = termlink::ConnectFields::parse(request->connectString);
    const std::string user = fields ? fields->get("Client").value_or("") : "";
    const std::string location = fields ? fields->get("Location").value_or("") : "";
    const CodePair answer = ChooseConnectResult(options_, user, location);
    if (!sendFrame(termlink::ConnectResultFrame{answer.first, answer.second, 0, 0})) return false;
    line(out_, "connect-result code=" + std::to_string(answer.first) + " detail=" + std::to_string(answer.second) +
                   (answer.first == 0 ? " (accepted)" : " (rejected)"));
    return answer.first == 0;
  }

  bool sendItem(const LoadedItem& item) {
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < item.messages.size(); ++i) {
      const auto& message = item.messages[i];
      if (!sendFrame(termlink::PrintFrame{message})) return false;
      ++totals_.messages;
      totals_.bytes += message.size();
      bytes += message.size();
      if (ExpectsAcknowledgement(message) && !awaitAcknowledgement(item, i + 1)) return false;
    }
    if (item.kind == SendItem::Kind::report) ++totals_.reports;
    line(out_, std::string(item.kind == SendItem::Kind::report ? "sent report=" : "sent raw=") + item.name +
                   " messages=" + std::to_string(item.messages.size()) + " bytes=" + std::to_string(bytes));
    return true;
  }

  // False when the session cannot go on (the acknowledgement is missing).
  bool awaitAcknowledgement(const LoadedItem& item, std::size_t number) {
    const std::string where = "message " + std::to_string(number) + " of " + item.name;
    Frame frame;
    const auto result = channel_.receive(frame, timeoutMs_);
    if (result != FrameChannel::Result::frame) {
      ++totals_.missingAcks;
      line(out_, "ack missing: " + where + ": " + ResultText(result));
      return false;
    }
    const auto* reply = std::get_if<termlink::WriteFrame>(&frame);
    if (reply == nullptr) {
      ++totals_.missingAcks;
      line(out_, "ack missing: " + where + ": got " + termlink::frameTypeName(termlink::frameType(frame)));
      return false;
    }
    if (IsRightAcknowledgement(reply->message)) {
      ++totals_.rightAcks;
    } else {
      ++totals_.wrongAcks;
      line(out_, "ack wrong: " + where + ": got " + std::to_string(reply->message.size()) + " bytes [" +
                     hexBytes(reply->message) + "]");
    }
    return true;
  }

  bool sendFrame(const Frame& frame) {
    const auto result = channel_.send(frame, timeoutMs_);
    if (result == FrameChannel::Result::frame) return true;
    line(out_, std::string("send failed: ") + ResultText(result));
    return false;
  }

  void awaitClose(int timeoutMs) {
    Frame frame;
    for (;;) {
      const auto result = channel_.receive(frame, timeoutMs);
      if (result == FrameChannel::Result::frame) {
        line(out_, std::string("unexpected ") + termlink::frameTypeName(termlink::frameType(frame)) +
                       " from the agent");
        continue;
      }
      line(out_, result == FrameChannel::Result::closed ? "agent closed the link"
                                                        : std::string("agent still attached: ") + ResultText(result));
      return;
    }
  }

  FrameChannel channel_;
  const HostOptions& options_;
  HostTotals& totals_;
  std::ostream& out_;
  int timeoutMs_;
};

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read '" + path + "': " + (errno ? std::strerror(errno) : "cannot open");
    return false;
  }
  // In blocks: a byte-by-byte copy of a report of many megabytes takes
  // seconds in an unoptimised, instrumented build.
  std::vector<char> block(1 << 16);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
    bytes.insert(bytes.end(), block.begin(), block.begin() + in.gcount());
  if (in.bad()) {
    error = "cannot read '" + path + "': read error";
    return false;
  }
  return true;
}

}  // namespace

std::string FormatSummary(const HostTotals& totals) {
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.2f", totals.elapsedSeconds);
  return "reports=" + std::to_string(totals.reports) + " messages=" + std::to_string(totals.messages) +
         " bytes=" + std::to_string(totals.bytes) + " acks: right=" + std::to_string(totals.rightAcks) +
         " wrong=" + std::to_string(totals.wrongAcks) + " missing=" + std::to_string(totals.missingAcks) +
         " elapsed=" + elapsed + "s";
}

bool LoadSendItems(const HostOptions& options, std::vector<LoadedItem>& items, std::string& error) {
  items.clear();
  for (const SendItem& send : options.sends) {
    std::vector<std::uint8_t> bytes;
    if (std::filesystem::is_directory(send.path)) {
      error = "cannot read '" + send.path + "': is a folder";
      return false;
    }
    if (!readWholeFile(send.path, bytes, error)) return false;
    LoadedItem item;
    item.kind = send.kind;
    if (send.kind == SendItem::Kind::raw) {
      if (bytes.size() + 64 > termlink::kMaxFrameLength) {
        error = "cannot send '" + send.path + "': larger than a frame";
        return false;
      }
      item.name = send.path;
      item.messages.push_back(std::move(bytes));
    } else {
      item.name = options.reportName.value_or(ReportNameFromPath(send.path));
      item.messages = WrapReport(bytes, options.form, item.name, options.maxMessage);
    }
    items.push_back(std::move(item));
  }
  return true;
}

void ServeAgent(std::unique_ptr<platform::StreamSocket> socket, const HostOptions& options,
                const std::vector<LoadedItem>& items, HostTotals& totals, std::ostream& out) {
  Session(std::move(socket), options, totals, out).run(items);
}

}  // namespace vorn::vornhost
