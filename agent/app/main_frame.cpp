#include "agent/app/main_frame.h"

#include "agent/app/command_line.h"
#include "agent/diag/fatal_error.h"
#include "agent/jobs/job_settings.h"
#include "agent/jobs/printer_preparation.h"
#include "platform/event_log.h"

namespace vorn {
namespace {

constexpr std::string_view kUnit = "MainFrm";
constexpr int kCreateLine = 181;

std::unique_ptr<platform::EventSource> registerEventSource(platform::EventLog& log) {
  return log.registerSource("VORN");  // null when the log cannot be opened: events are then dropped
}

PrinterProfile profileNamed(std::string name) {
  PrinterProfile profile;
  profile.name = std::move(name);
  return profile;
}

}  // namespace

CMainFrame::CMainFrame(AgentServices& services, RenderState& render, std::string_view commandLine,
                       std::function<void()> postClose)
    : services_(services),
      render_(render),
      eventSource(registerEventSource(services.eventLog)),
      profile(profileNamed(ProfileNameFromCommandLine(commandLine))),
      renderer_(render),
      handlers_(eventSource, profile.name,
                HostEventHandlers::Actions{
                    .postClose = std::move(postClose),
                    .linkState = [this] { return link_.linkState(); },
                    .processMessage =
                        [this](const Variant& message) {
                          // The link is up only once OnCreate has made the intake.
                          if (intake_) intake_->ReadMessage(message, link_.linkState(), link_.linkInterface());
                        },
                }),
      link_(services.hostLinks, eventSource, handlers_) {}

CMainFrame::~CMainFrame() {
  render_.deviceMode = nullptr;
  deviceMode.reset();
  if (jobs_) jobs_->jobend();
  // The remaining members go in reverse order of declaration: the host link
  // first (subscription, sink, component), the event source last.
}

int CMainFrame::OnCreate() {
  return guardEntryPoint(kUnit, kCreateLine, [this] { return CreateWindowState(); });
}

int CMainFrame::CreateWindowState() {
  if (ReadPrinterProfile(services_.registry, eventSource, profile, render_) != 0) return -1;

  const JobSettings settings = jobSettingsFromProfile(profile);
  if (settings.needsPrinter()) {
    deviceMode = PrepareDeviceMode(services_.printers, profile.printername, eventSource);
    if (!deviceMode) return -1;
    render_.deviceMode = deviceMode.get();
  }

  jobs_ = std::make_unique<PrintJobs>(settings, services_.printers, services_.files, renderer_, eventSource);
  intake_ = std::make_unique<PrintIntake>(settings, *jobs_, eventSource, services_.clock, services_.files);

  if (link_.SetUp(profile) != 0) return -1;
  return 0;
}

}  // namespace vorn
