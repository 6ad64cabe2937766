#include "agent/app/sink.h"

#include "agent/app/main_frame.h"

namespace vorn {

// The two trailing integers of ConnectResult are passed along by the host but never read.
void sink::ConnectResult(std::int32_t code, std::int32_t detail, std::int32_t, std::int32_t) {
  mainWindow_.ConnectResult(code, detail);
}

void sink::ReadMessage(const Variant& message) { mainWindow_.ReadMessage(message); }

void sink::PrinterIdle() { mainWindow_.PrinterIdle(); }

void sink::Terminate(std::int32_t reason, std::int32_t detail) { mainWindow_.Terminate(reason, detail); }

}  // namespace vorn
