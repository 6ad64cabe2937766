// The agent's receiver of the host link's events. It keeps no state: each
// event goes to the main window's handler of the same name.
#pragma once

#include <cstdint>

#include "termlink/host_link.h"

namespace vorn {

class CMainFrame;

class sink final : public HostLinkEvents {
 public:
  explicit sink(CMainFrame& mainWindow) : mainWindow_(mainWindow) {}

  void ConnectResult(std::int32_t code, std::int32_t detail, std::int32_t unused1,
                     std::int32_t unused2) override;
  void ReadMessage(const Variant& message) override;
  void PrinterIdle() override;
  void Terminate(std::int32_t reason, std::int32_t detail) override;

 private:
  CMainFrame& mainWindow_;
};

}  // namespace vorn
