#include "agent/jobs/print_intake.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "agent/diag/agent_event_log.h"
#include "agent/diag/exceptions.h"
#include "agent/jobs/job_operations.h"
#include "agent/jobs/output_file_name.h"
#include "agent/jobs/report_name.h"
#include "agent/render/stream_blocks.h"
#include "agent/render/stream_codes.h"

namespace vorn {
namespace {

using stream::kEndOfReport;
using stream::kFirstText;
using stream::kHeaderRecord;
using stream::kStx;

constexpr std::uint8_t kMessageType = 0x01;

constexpr std::size_t kBodyOffset = 4;
constexpr std::size_t kFormOffset = 6;
constexpr std::size_t kFormWidth = 4;
constexpr std::size_t kReportOffset = 10;
constexpr std::size_t kReportWidth = 30;
constexpr std::size_t kHeaderDataOffset = 40;
constexpr std::size_t kHeaderLength = 36;       // record mark to the end of the report name
constexpr std::size_t kMaxTrailingBytes = 3;    // allowed after the terminator

static_assert(PrintIntake::kIntakeBufferSize - kBodyOffset == kLongestBlockSequence,
              "renderers that cut blocks themselves bound sequences as the intake does");

constexpr std::string_view kPostScriptHeader = "%!PS-Adobe\r\n";

std::int32_t clampToInt32(std::size_t value) {
  return static_cast<std::int32_t>(
      std::min<std::size_t>(value, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
}

std::span<const std::uint8_t> asBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A fixed-width text field of the header; the part beyond the end of a
// short message reads as blanks.
std::string headerField(std::span<const std::uint8_t> message, std::size_t offset, std::size_t width) {
  std::string field(width, ' ');
  for (std::size_t i = 0; i < width && offset + i < message.size(); ++i) {
    field[i] = static_cast<char>(message[offset + i]);
  }
  return field;
}

bool hasHeaderRecord(std::span<const std::uint8_t> message) {
  return message.size() >= kBodyOffset + 2 && message[kBodyOffset] == kStx &&
         message[kBodyOffset + 1] == kHeaderRecord;
}

// From the record mark up to the first control byte after the header kind.
std::size_t measureHeader(std::span<const std::uint8_t> message) {
  std::size_t end = kFormOffset;
  while (end < message.size() && message[end] >= kFirstText) ++end;
  return end - kBodyOffset;
}

}  // namespace

PrintIntake::PrintIntake(JobSettings settings, JobOperations& job, HostLink* link, AgentEventLog& events,
                         platform::Clock& clock, platform::FileSystem& files)
    : settings_(std::move(settings)), job_(job), link_(link), events_(events), clock_(clock), files_(files) {}

void PrintIntake::receive(const Variant& message) {
  if (message.vt != kVtByteArray) throw ComError(platform::kEInvalidArg);

  std::size_t length = message.bytes.size();
  if (length > buffer_.size()) {
    events_.LogErrorCode("processprint message longer than 8208 bytes, cut", clampToInt32(length));
    length = buffer_.size();
  }
  std::copy_n(message.bytes.begin(), length, buffer_.begin());
  processprint(std::span<const std::uint8_t>(buffer_.data(), length));
}

platform::HRESULT PrintIntake::processprint(std::span<const std::uint8_t> message) {
  const std::size_t size = message.size();
  if (size < 2) {
    events_.LogError("processprint error in print command header or structure");
    return platform::kSOk;
  }
  if (message[0] != kMessageType || message[1] != 0x00) events_.LogError("processprint err 1");

  std::size_t dataStart = kBodyOffset;
  if (hasHeaderRecord(message)) {
    startJobFromHeader(message);
    dataStart = kHeaderDataOffset;
    if (size <= kHeaderDataOffset) {
      events_.LogErrorCode("processprint err 3", static_cast<std::int32_t>(kHeaderDataOffset));
    }
    if (settings_.zedud) {
      // The form prologue; the form name is a C text there, ending at a NUL.
      const std::string field = headerField(message, kFormOffset, kFormWidth);
      const std::string_view form =
          trimTrailingBlanks(std::string_view(field).substr(0, field.find('\0')));
      job_.jobdata(asBytes(kPostScriptHeader), false);
      const std::string prologue = "(" + std::string(form) + ".PHD) run exec Form\r\n";
      job_.jobdata(asBytes(prologue), false);
    }
  }

  std::size_t terminator = size;
  for (std::size_t t = dataStart; t + 1 < size; ++t) {
    if (message[t] != kStx) continue;
    if (message[t + 1] == kEndOfReport) {
      terminator = t;
      break;
    }
    if (message[t + 1] == kHeaderRecord) events_.LogErrorCode("processprint err 4", clampToInt32(t));
  }
  const bool terminated = terminator < size;

  // A job that is not open takes nothing: the data is dropped.
  const std::size_t blockStart = std::min(dataStart, terminator);
  if (!job_.jobdata(message.subspan(blockStart, terminator - blockStart), terminated)) {
    events_.LogError("processprint err 5");
  }

  if (terminated) {
    job_.jobend();
    if (size - terminator > 2 + kMaxTrailingBytes) events_.LogError("processprint err 6");
  }
  return sendack();
}

void PrintIntake::startJobFromHeader(std::span<const std::uint8_t> message) {
  const std::size_t measured = measureHeader(message);
  if (measured != kHeaderLength) {
    events_.LogErrorCode("processprint err 2", clampToInt32(measured));
  }
  job_.jobend();

  const std::string formField = headerField(message, kFormOffset, kFormWidth);
  const std::string reportField = headerField(message, kReportOffset, kReportWidth);
  const std::string_view form = trimTrailingBlanks(formField);
  std::string report = sanitiseName(trimTrailingBlanks(reportField), settings_.jetform);

  if (settings_.printToFile) {
    // The form becomes part of some names: only what a file name cannot hold is replaced.
    const std::string fileForm = fileNameForm(form, settings_.jetform);
    job_.setOutputFileName(chooseOutputFileName(settings_, fileForm, report, clock_, files_));
  }
  job_.setReportName(std::move(report));
  job_.jobstart(computeOptionBits(settings_));
}

platform::HRESULT PrintIntake::sendack() {
  if (link_ == nullptr) throw ComError(platform::kEPointer);
  const std::array<std::uint8_t, kAckSize> ack{0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
  return link_->WriteMessage(Variant{kVtByteArray, ack});
}

}  // namespace vorn
