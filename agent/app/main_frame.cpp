#include "agent/app/main_frame.h"

#include <utility>

#include "agent/app/command_line.h"
#include "agent/app/sink.h"
#include "agent/diag/fatal_error.h"
#include "agent/hostlink/host_events.h"
#include "agent/jobs/job_settings.h"
#include "agent/jobs/printer_preparation.h"
#include "platform/event_log.h"

namespace vorn {
namespace {

std::unique_ptr<platform::EventSource> registerEventSource(platform::EventLog& log) {
  return log.registerSource("VORN");  // null when the log cannot be opened: events are then dropped
}

PrinterProfile profileNamed(std::string name) {
  PrinterProfile profile;
  profile.name = std::move(name);
  return profile;
}

}  // namespace

CMainFrame::CMainFrame(AgentServices& services, Renderer& renderer, std::string_view commandLine,
                       std::function<void()> postClose)
    : services_(services),
      renderer_(renderer),
      postClose_(std::move(postClose)),
      eventSource(registerEventSource(services.eventLog)),
      profile(profileNamed(ProfileNameFromCommandLine(commandLine))),
      link_(services.hostLinks, eventSource) {}

CMainFrame::~CMainFrame() {
  renderer_.setContext({});  // it points into this frame
  deviceMode.reset();
  if (job_) job_->jobend();
  // The remaining members go in reverse order of declaration: the host link
  // first (subscription, sink, component), the event source last.
}

int CMainFrame::OnCreate() {
  return guardEntryPoint(kWindowCreationSite, [this]() -> int {
    if (ReadPrinterProfile(services_.registry, eventSource, profile) != 0) return -1;
    if (claim_.Claim(profile.name, services_.mutexes, services_.clock, eventSource) != 0) return -1;
    const JobSettings settings = jobSettingsFromProfile(profile);
    if (settings.needsPrinter()) {
      deviceMode = PrepareDeviceMode(services_.printers, profile.printername, eventSource);
      if (!deviceMode) return -1;
    }
    // What the engine needs of the profile.
    renderer_.setContext({
        .printerName = profile.printername,
        .deviceMode = deviceMode.get(),
        .mainTray = profile.MainTray,
        .altTray = profile.AltTray,
        .loadDirectory = profile.loadarea,
        .outputFileName = {},
        .badBitmapFile = [this](std::string_view path) { eventSource.LogErrorPair("bad bitmap file", path); },
    });

    job_ = std::make_unique<PrintJob>(settings, services_.printers, services_.files, renderer_, eventSource);
    if (link_.SetUp(profile, std::make_unique<sink>(*this)) != 0) return -1;
    intake_ = std::make_unique<PrintIntake>(settings, *job_, link_.linkInterface(), eventSource, services_.clock,
                                            services_.files);
    return 0;
  });
}

void CMainFrame::ConnectResult(std::int32_t code, std::int32_t detail) {
  if (code == 0) return;
  LogAttachRejection(eventSource, profile.name, code, detail);
  postClose_();
}

void CMainFrame::ReadMessage(const Variant& message) {
  // The component may deliver while the attach request is being sent; such
  // a message is ignored. Connected implies the intake: it is made as soon
  // as the set-up succeeds.
  if (link_.linkState() != kLinkConnected) return;
  guardEntryPoint(kReadMessageSite, [&] { intake_->receive(message); });
}

void CMainFrame::PrinterIdle() {}

void CMainFrame::Terminate(std::int32_t reason, std::int32_t detail) {
  guardEntryPoint(kTerminateSite, [&] {
    LogTermination(eventSource, profile.name, reason, detail);
    postClose_();
  });
}

}  // namespace vorn
