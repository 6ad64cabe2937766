// Reading the printer's default settings when the agent starts.
#pragma once

#include <memory>
#include <string_view>

#include "platform/device_mode.h"

namespace vorn::platform {
class PrinterSystem;
}

namespace vorn {

class AgentEventLog;

// Opens the printer `printerName` and reads its default settings record.
// On failure writes one event ("OpenPrinter failed" with the name, "initial
// docprops failed", or "docprops failed" with the system error) and returns
// null. The printer is closed before returning, whatever the outcome.
std::unique_ptr<platform::DeviceMode> PrepareDeviceMode(platform::PrinterSystem& printers,
                                                        std::string_view printerName,
                                                        AgentEventLog& events);

}  // namespace vorn
