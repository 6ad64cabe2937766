// CUPS destinations as printers of the printer system, and the jobs that
// stream a device's PDF to them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/print/pdf_output.h"
#include "platform/posix/print/printer_settings.h"

namespace vorn::platform::posix {

// The CUPS destination of that name (cupsGetNamedDest), with its paper and
// duplex capability; none when CUPS does not know it or cannot be reached.
std::optional<PrinterDescription> findCupsPrinter(std::string_view name);

struct CupsJobOptions {
  std::string title;                       // UTF-8 job name
  bool twoSided = false;                   // sides=two-sided-long-edge, else one-sided
  std::optional<std::string> mediaSource;  // media-col={media-source=…}
};

// The job options a document printed with `settings` asks for.
CupsJobOptions cupsJobOptions(std::string_view documentName, const PageSettings& settings);

// Creates the job and starts its PDF document (cupsCreateJob,
// cupsStartDocument); null when CUPS refuses, with the last error set.
std::unique_ptr<PdfOutput> openCupsOutput(std::string_view queue, const CupsJobOptions& options);

}  // namespace vorn::platform::posix
