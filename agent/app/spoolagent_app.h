// The agent's application object: COM on the thread, the main window's
// creation, the message loop, and the end of the run.
#pragma once

#include <memory>
#include <string>

#include "agent/app/agent_services.h"
#include "agent/app/main_frame.h"
#include "agent/render/renderer.h"
#include "platform/event.h"

namespace vorn {

class CSpoolagentApp {
 public:
  CSpoolagentApp(AgentServices& services, Renderer& renderer, std::string commandLine);

  // Start-up, the message loop until the main window is gone, and the exit
  // code: 0 for every orderly end. A fatal error ends the process from inside.
  int Run();

 private:
  bool InitInstance();
  int ExitInstance(int quitCode);

  // Queues the close request; the loop destroys the main window when it gets there.
  void PostCloseRequest();
  // Destroying the main window ends the message loop with code 0.
  void DestroyMainWindow();

  AgentServices& services_;
  Renderer& renderer_;
  std::string commandLine_;
  std::unique_ptr<CMainFrame> mainWindow_;
  // The termination event the print service handed down, if any.
  std::unique_ptr<platform::Event> terminationEvent_;
};

}  // namespace vorn
