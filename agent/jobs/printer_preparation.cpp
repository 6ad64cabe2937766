#include "agent/jobs/printer_preparation.h"

#include <cstdint>

#include "agent/diag/agent_event_log.h"
#include "platform/error.h"
#include "platform/printer_system.h"

namespace vorn {

std::unique_ptr<platform::DeviceMode> PrepareDeviceMode(platform::PrinterSystem& printers,
                                                        std::string_view printerName,
                                                        AgentEventLog& events) {
  std::unique_ptr<platform::PrinterHandle> printer;
  if (printers.openPrinter(printerName, printer) != platform::kErrorSuccess || !printer) {
    events.LogErrorPair("OpenPrinter failed", printerName);
    return nullptr;
  }

  const int size = printer->documentProperties(nullptr, nullptr, 0);
  if (size < 0) {
    events.LogError("initial docprops failed");
    return nullptr;  // closing the printer on the way out
  }

  auto deviceMode = std::make_unique<platform::DeviceMode>(static_cast<std::size_t>(size));
  const int filled = printer->documentProperties(deviceMode.get(), nullptr, platform::kDmOutBuffer);
  // Taken before closing the printer, which may change the thread's last error.
  const std::uint32_t fillError = platform::lastError();
  printer.reset();
  if (filled != platform::kIdOk) {
    events.LogErrorCode("docprops failed", static_cast<std::int32_t>(fillError));
    return nullptr;
  }
  return deviceMode;
}

}  // namespace vorn
