// What the agent does with the host's events: attach rejections and
// terminations are written to the event log under the profile's name and
// close the agent; print messages go to the intake while the link is up.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "agent/diag/agent_event_log.h"
#include "agent/hostlink/main_window_events.h"

namespace vorn {

// The text of an attach rejection (ConnectResult with a code other than 0);
// empty when the rejection is to close the agent without an event.
std::string AttachRejectionText(std::int32_t code, std::int32_t detail);

// The event a Terminate writes.
struct TerminationEvent {
  enum class Kind { none, information, error };
  Kind kind = Kind::none;
  std::string text;
};
TerminationEvent TerminationEventFor(std::int32_t reason, std::int32_t detail);

// The main window's host event handlers.
class HostEventHandlers final : public MainWindowEvents {
 public:
  struct Actions {
    std::function<void()> postClose;                   // queues the close request
    std::function<std::int32_t()> linkState;           // 2 once the attach request is sent
    std::function<void(const Variant&)> processMessage;  // the print message intake
  };

  HostEventHandlers(AgentEventLog& log, std::string profileName, Actions actions);

  // 0: accepted, nothing to do. Otherwise the rejection's event (unless its
  // text is empty), then the close request.
  void ConnectResult(std::int32_t code, std::int32_t detail) override;
  // Passed to the intake only while linkState is 2; ignored otherwise.
  void ReadMessage(const Variant& message) override;
  void PrinterIdle() override;
  // The termination's event (none for reason 1), then the close request;
  // an escaping failure ends the agent (MainFrm, 679).
  void Terminate(std::int32_t reason, std::int32_t detail) override;

 private:
  AgentEventLog& log_;
  std::string profileName_;
  Actions actions_;
};

}  // namespace vorn
