// The built-in PDF printers, configured in the registry under
// SYSTEM\CurrentControlSet\Control\Print\Printers\<name>:
//   Port        text   the folder documents are written to
//   Resolution  DWORD  dots per inch (default 600)
//   PaperSize   text   "A4" (default) or "Letter"
//   Margins     DWORD  unprintable border on every side, 1/1000 inch (default 0)
//   Duplex      text   "yes" when the printer reports duplex support
#pragma once

#include <optional>
#include <string_view>

#include "platform/posix/print/printer_settings.h"
#include "platform/registry.h"

namespace vorn::platform::posix {

inline constexpr std::string_view kBuiltinPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

// The built-in printer of that name; none when the registry has no such key.
std::optional<PrinterDescription> findBuiltinPrinter(Registry& registry, std::string_view name);

}  // namespace vorn::platform::posix
