// vornhost: the host's side of the print link, for demos, tests and
// administrators checking a printer set-up.
#include <chrono>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/version.h"
#include "platform/socket.h"
#include "tools/vornhost/host_options.h"
#include "tools/vornhost/host_session.h"

namespace {

using namespace vorn;
using namespace vorn::vornhost;

constexpr int kExitAcksFailed = 1;
constexpr int kExitUsage = 2;

int run(const HostOptions& options) {
  std::vector<LoadedItem> items;
  std::string error;
  if (!LoadSendItems(options, items, error)) {
    std::cerr << "vornhost: " << error << std::endl;
    return kExitUsage;
  }

  std::unique_ptr<platform::StreamListener> listener;
  const std::uint32_t listenError =
      options.tcpPort ? platform::listenTcp(options.bindAddress, *options.tcpPort, listener)
                      : platform::listenLocal("termlink-" + std::to_string(*options.pipePort), listener);
  if (listenError != 0) {
    std::cerr << "vornhost: cannot listen (error " << listenError << ")" << std::endl;
    return kExitUsage;
  }
  std::cout << "vornhost: listening on " << listener->description() << std::endl;

  HostTotals totals;
  std::chrono::steady_clock::time_point started;
  bool anyAgent = false;
  for (;;) {
    std::unique_ptr<platform::StreamSocket> peer;
    const std::uint32_t acceptError = listener->accept(peer);
    if (acceptError == platform::kWsaEWouldBlock) {
      platform::waitReady(*listener, -1);
      continue;
    }
    if (acceptError != 0) {
      std::cerr << "vornhost: accept failed (Winsock error " << acceptError << ")" << std::endl;
      return kExitUsage;
    }
    if (!anyAgent) started = std::chrono::steady_clock::now();
    anyAgent = true;
    std::cout << "agent connected" << std::endl;
    ServeAgent(std::move(peer), options, items, totals, std::cout);
    totals.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << FormatSummary(totals) << std::endl;
    if (!options.keepListening) break;
  }
  return totals.wrongAcks + totals.missingAcks > 0 ? kExitAcksFailed : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseHostOptions(args, error);
  if (!options) {
    std::cerr << "vornhost: " << error << "\n" << "try 'vornhost --help'" << std::endl;
    return kExitUsage;
  }
  if (options->help) {
    std::cout << HostUsage();
    return 0;
  }
  if (options->version) {
    std::cout << VersionLine("vornhost");
    return 0;
  }
  return run(*options);
}
