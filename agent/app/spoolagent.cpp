// spoolagent: the printer agent of one profile.
//   spoolagent /profile="<name>"
#include "agent/app/spoolagent_app.h"
#include "agent/render/render_state.h"
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

  // The renderer's one state record for this process.
  RenderState render(*printers, services.files);

  CSpoolagentApp app(services, render, platform::commandLineTail(argc, argv));
  return app.Run();
}
