// The main window's host link: the component's reference, the event
// receiver, the subscription's cookie and the link state. Set up once at the
// end of the agent's start-up; torn down when the main window goes.
#pragma once

#include <cstdint>
#include <memory>

#include "agent/diag/agent_event_log.h"
#include "termlink/host_link.h"
#include "agent/profile/printer_profile.h"
#include "platform/error.h"

namespace vorn {

// The link states: messages from the host are taken only once connected.
inline constexpr std::int32_t kLinkNotConnected = 0;
inline constexpr std::int32_t kLinkConnected = 2;

class HostLinkConnection {
 public:
  HostLinkConnection(HostLinkFactory& factory, AgentEventLog& log);

  // Teardown: the subscription is cancelled while the link is held, then the
  // event receiver is deleted, then the link released.
  ~HostLinkConnection();

  HostLinkConnection(const HostLinkConnection&) = delete;
  HostLinkConnection& operator=(const HostLinkConnection&) = delete;

  // Creates the component, subscribes `eventSink` (kept from then on until
  // teardown) and sends the attach request for `profile`. 0 once the
  // request is sent; -1 after a failure, having written one event. An
  // escaping exception ends the agent (kLinkSetUpSite).
  int SetUp(const PrinterProfile& profile, std::unique_ptr<HostLinkEvents> eventSink);

  // 0 not connected, 2 connected (the attach request was sent).
  std::int32_t linkState() const { return linkState_; }

  // The component's main interface while it is held (the acknowledgement goes through it), else null.
  HostLink* linkInterface() const { return link.get(); }

 private:
  HostLinkFactory& factory_;
  AgentEventLog& log_;

  std::unique_ptr<HostLink> link;
  std::unique_ptr<HostLinkEvents> eventSink;
  std::uint32_t adviseCookie = 0;
  std::int32_t linkState_ = kLinkNotConnected;
};

}  // namespace vorn
