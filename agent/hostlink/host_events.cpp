#include "agent/hostlink/host_events.h"

#include <cstdio>

#include "agent/diag/error_code_text.h"
#include "termlink/host_link.h"

namespace vorn {
namespace {

// A link that could not be made: a refused or timed-out connection (a
// Winsock code in facility 8) is written as every other failure is, with its
// code, so that an agent that cannot attach never ends without a word.
std::string rejectionForLinkFailure(std::int32_t detail) {
  if (detail == kPipeNotFound) return "Could not find or open the \"named pipe\" used for this connection";
  if (detail == kServerProgramUnreachable) return "Could not connect to the server communications program 'kvnet'";
  return ErrorCodeText(static_cast<std::uint32_t>(detail));
}

}  // namespace

std::string AttachRejectionText(std::int32_t code, std::int32_t detail) {
  switch (code) {
    case 72: return "'User' name not known";
    case 78: return "Tables full, no room for additional printer";
    case 86: return "Dynamic attachment to this application not allowed";
    case 105: return "'location' not known";
    case 145: return "Online job does not have \"screen mapping\" enabled";
    case 147: return {};
    case 255: return "Error occurred in online and was logged in its error log";
    case -1: return rejectionForLinkFailure(detail);
    default: break;
  }
  char text[48];
  std::snprintf(text, sizeof text, "Unknown error code %d", static_cast<int>(code));
  return text;
}

TerminationEvent TerminationEventFor(std::int32_t reason, std::int32_t detail) {
  using Kind = TerminationEvent::Kind;
  switch (reason) {
    case 1: return {Kind::none, {}};
    case 2: return {Kind::information, "terminating - the online application has been shut down."};
    case 3: return {Kind::error, "terminating - an administrator has terminated this device."};
    case 4: return {Kind::error, "terminating - the online application has terminated abnormally."};
    case -1:
      return {Kind::error, "terminating - a communications error occurred.  Perhaps the application has shut down?"};
    default: break;
  }
  char text[96];
  std::snprintf(text, sizeof text, "terminating - an invalid message was received: %d, %x", static_cast<int>(reason),
                static_cast<unsigned>(static_cast<std::uint32_t>(detail)));
  return {Kind::error, text};
}

void LogAttachRejection(AgentEventLog& log, std::string_view profileName, std::int32_t code,
                        std::int32_t detail) {
  const std::string text = AttachRejectionText(code, detail);
  if (!text.empty()) log.LogErrorPair(profileName, "terminating - Attach request rejected - " + text);
}

void LogTermination(AgentEventLog& log, std::string_view profileName, std::int32_t reason,
                    std::int32_t detail) {
  const TerminationEvent event = TerminationEventFor(reason, detail);
  if (event.kind == TerminationEvent::Kind::information)
    log.LogInfoPair(profileName, event.text);
  else if (event.kind == TerminationEvent::Kind::error)
    log.LogErrorPair(profileName, event.text);
}

}  // namespace vorn
