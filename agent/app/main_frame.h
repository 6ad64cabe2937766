// The agent's main window: the owner of all of the agent's state (profile,
// event source, device mode, print job, host link) for the agent's lifetime.
// It is never shown; it exists to be created (start-up), to handle the host's
// events (its sink calls the handler of the same name), and to be destroyed
// on a close request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "agent/app/agent_services.h"
#include "agent/app/profile_claim.h"
#include "agent/diag/agent_event_log.h"
#include "agent/hostlink/host_link_connection.h"
#include "agent/jobs/print_intake.h"
#include "agent/jobs/print_job.h"
#include "agent/profile/printer_profile.h"
#include "agent/render/renderer.h"
#include "platform/device_mode.h"

namespace vorn {

class CMainFrame final {
 public:
  // Reads the profile name from `commandLine` and registers the event
  // source. `postClose` queues the close request (the agent's message loop
  // destroys the frame when it reaches it).
  CMainFrame(AgentServices& services, Renderer& renderer, std::string_view commandLine,
             std::function<void()> postClose);

  // Teardown, in this order: the device mode, an open print job, the host
  // link (subscription, sink, component), the event source.
  ~CMainFrame();

  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Window creation: the profile read, the claim of the profile (one agent a
  // profile), the printer preparation (unless the target is direct-to-disk),
  // the host link set-up. 0 when the agent runs;
  // -1 when start-up failed (after one event).
  int OnCreate();

  // The host's events. A rejected attach request and the host's Terminate
  // write their event and close the agent. Print messages go to the intake
  // only while the link is connected. ReadMessage and Terminate are entry
  // points: an exception escaping them ends the agent (kReadMessageSite,
  // kTerminateSite).
  void ConnectResult(std::int32_t code, std::int32_t detail);
  void ReadMessage(const Variant& message);
  void PrinterIdle();
  void Terminate(std::int32_t reason, std::int32_t detail);

 private:
  AgentServices& services_;
  Renderer& renderer_;
  std::function<void()> postClose_;
  AgentEventLog eventSource;  // declared early: it outlives every part that writes events
  // Held from the profile read on; let go of last, once the job and the link are closed.
  ProfileClaim claim_;
  PrinterProfile profile;
  std::unique_ptr<platform::DeviceMode> deviceMode;
  std::unique_ptr<PrintJob> job_;      // from OnCreate on: the job settings come from the profile
  std::unique_ptr<PrintIntake> intake_;  // once the link is connected: it acknowledges through it
  HostLinkConnection link_;
};

}  // namespace vorn
