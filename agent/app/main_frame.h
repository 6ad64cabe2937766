// The agent's main window: the owner of all of the agent's state (profile,
// event source, device mode, print job, host link) for the agent's lifetime.
// It is never shown; it exists to be created (start-up), to receive the host's
// events, and to be destroyed on a close request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "agent/app/agent_services.h"
#include "agent/diag/agent_event_log.h"
#include "agent/hostlink/host_events.h"
#include "agent/hostlink/host_link_connection.h"
#include "agent/jobs/engine_renderer.h"
#include "agent/jobs/print_intake.h"
#include "agent/jobs/print_jobs.h"
#include "agent/profile/printer_profile.h"
#include "agent/render/render_state.h"
#include "platform/device_mode.h"

namespace vorn {

class CMainFrame {
 public:
  // Reads the profile name from `commandLine` and registers the event
  // source. `postClose` queues the close request (the agent's message loop
  // destroys the frame when it reaches it).
  CMainFrame(AgentServices& services, RenderState& render, std::string_view commandLine,
             std::function<void()> postClose);

  // Teardown, in this order: the device mode, an open print job, the host
  // link (subscription, sink, component), the event source.
  ~CMainFrame();

  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Window creation: the profile read, the printer preparation (unless the
  // target is direct-to-disk), the host link set-up. 0 when the agent runs;
  // -1 when start-up failed (after one event).
  int OnCreate();

  const PrinterProfile& printerProfile() const { return profile; }
  std::int32_t linkState() const { return link_.linkState(); }

 private:
  int CreateWindowState();

  AgentServices& services_;
  RenderState& render_;
  AgentEventLog eventSource;  // declared first: it outlives every part that writes events
  PrinterProfile profile;
  std::unique_ptr<platform::DeviceMode> deviceMode;
  EngineRenderer renderer_;
  std::unique_ptr<PrintJobs> jobs_;      // from OnCreate on: the job settings come from the profile
  std::unique_ptr<PrintIntake> intake_;
  HostEventHandlers handlers_;
  HostLinkConnection link_;
};

}  // namespace vorn
