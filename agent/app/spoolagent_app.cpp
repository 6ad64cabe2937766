#include "agent/app/spoolagent_app.h"

#include <array>
#include <cstdio>

#include "agent/app/termination_event.h"
#include "agent/diag/fatal_error.h"
#include "platform/event_loop.h"
#include "platform/process.h"

namespace vorn {
CSpoolagentApp::CSpoolagentApp(AgentServices& services, Renderer& renderer, std::string commandLine)
    : services_(services), renderer_(renderer), commandLine_(std::move(commandLine)) {}

int CSpoolagentApp::Run() {
  InitInstance();
  return ExitInstance(services_.loop.run());
}

bool CSpoolagentApp::InitInstance() {
  const platform::HRESULT hr = platform::initializeComForThread();
  if (platform::failed(hr)) {
    std::array<char, 80> description{};
    std::snprintf(description.data(), description.size(),
                  "Error %x occurred while trying to intialize COM", static_cast<unsigned>(hr));
    FatalError(kComInitSite.unit, description.data(), kComInitSite.line);
  }

  // A termination request from outside takes the same path as the host's
  // Terminate: the close request, an orderly teardown, exit code 0.
  services_.loop.onTerminationRequest([this] { DestroyMainWindow(); });
  // So does the print service's termination event (TerminateMutex), when it
  // handed one down: it is signalled when the service stops.
  terminationEvent_ = inheritedTerminationEvent();
  if (terminationEvent_) services_.loop.watch(*terminationEvent_, [this] { DestroyMainWindow(); });

  mainWindow_ = guardEntryPoint(kFrameConstructionSite, [this] {
    return std::make_unique<CMainFrame>(services_, renderer_, commandLine_, [this] { PostCloseRequest(); });
  });

  // A failed creation destroys the half-made window, which ends the run.
  if (mainWindow_->OnCreate() != 0) DestroyMainWindow();
  return true;
}

int CSpoolagentApp::ExitInstance(int quitCode) {
  platform::uninitializeComForThread();
  return quitCode;
}

void CSpoolagentApp::PostCloseRequest() {
  services_.loop.post([this] { DestroyMainWindow(); });
}

void CSpoolagentApp::DestroyMainWindow() {
  if (!mainWindow_) return;  // a second close request after the window is gone
  mainWindow_.reset();
  services_.loop.quit(0);
}

}  // namespace vorn
