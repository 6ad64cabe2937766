// The main window's handlers of the host's events, as the sink reaches them.
#pragma once

#include <cstdint>

#include "termlink/host_link.h"

namespace vorn {

class MainWindowEvents {
 public:
  virtual ~MainWindowEvents() = default;
  virtual void ConnectResult(std::int32_t code, std::int32_t detail) = 0;
  virtual void ReadMessage(const Variant& message) = 0;
  virtual void PrinterIdle() = 0;
  virtual void Terminate(std::int32_t reason, std::int32_t detail) = 0;
};

}  // namespace vorn
