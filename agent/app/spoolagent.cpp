// spoolagent: the printer agent of one profile.
//   spoolagent /profile="<name>"
//   spoolagent --version
#include <string>

#include "agent/app/spoolagent_app.h"
#include "agent/render/renderer.h"
#include "common/version.h"
#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/event_loop.h"
#include "platform/file.h"
#include "platform/named_mutex.h"
#include "platform/printer_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "termlink/term_link.h"

int main(int argc, char** argv) {
  using namespace vorn;

  // "--version" alone; any other command line is read for /profile= as ever.
  const std::string commandLine = platform::commandLineTail(argc, argv);
  if (commandLine == "--version") {
    platform::writeStandardOutput(VersionLine("spoolagent"));
    return 0;
  }

  auto loop = platform::createEventLoop();
  platform::Registry& registry = platform::systemRegistry();
  auto printers = platform::createPrinterSystem(registry);
  termlink::TermLinkFactory hostLinks(*loop);
  AgentServices services{
      .loop = *loop,
      .registry = registry,
      .eventLog = platform::systemEventLog(),
      .printers = *printers,
      .files = platform::systemFileSystem(),
      .clock = platform::systemClock(),
      .hostLinks = hostLinks,
      .mutexes = platform::systemNamedMutexes(),
  };

  // The rendering engine, one for this process.
  Renderer renderer(*printers, services.files);

  CSpoolagentApp app(services, renderer, commandLine);
  return app.Run();
}
