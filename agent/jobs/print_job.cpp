#include "agent/jobs/print_job.h"

#include <utility>

#include "agent/diag/agent_event_log.h"
#include "agent/diag/exceptions.h"
#include "agent/diag/fatal_error.h"
#include "agent/jobs/disk_writer.h"
#include "agent/jobs/output_file_name.h"
#include "agent/render/vorn_print.h"
#include "platform/device_context.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/printer_system.h"

namespace vorn {

PrintJob::PrintJob(JobSettings settings, platform::PrinterSystem& printers,
                     platform::FileSystem& files, Renderer& renderer, AgentEventLog& events)
    : settings_(std::move(settings)),
      printers_(printers),
      files_(files),
      renderer_(renderer),
      events_(events) {}

PrintJob::~PrintJob() = default;

std::string PrintJob::documentName() const {
  return std::string(kDocumentNamePrefix) + reportName_;
}

void PrintJob::jobstart(std::uint32_t options) {
  guardEntryPoint(kJobStartSite, [&] {
    if (settings_.target() == OutputTarget::directToDisk) {
      // A name with a counter was chosen as a new file: it must not replace
      // one that appeared since. A name without one replaces the earlier file.
      std::unique_ptr<platform::File> file;
      const std::uint32_t error = patternHasCounter(settings_.ptfOpt)
                                      ? files_.createNew(outputFileName_, file)
                                      : files_.createExclusive(outputFileName_, file);
      if (error != platform::kErrorSuccess || !file) {
        events_.LogErrorCode("Error opening outfile - VornPrintStart failed",
                             FileException::causeFromOsError(error));
        return;
      }
      outputFile_ = std::move(file);
      jobOpen_ = true;
      return;
    }

    // The device context starts from the printer's defaults; the engine applies
    // the agent's device mode page by page.
    auto dc = printers_.createDC(settings_.printerName, nullptr);
    if (!dc) {
      events_.LogError("Error while initializing printing - createDC failed");
      return;
    }
    const int result = renderer_.VornPrintStart(documentName(), *dc, options, outputFileName_);
    if (result != 0) {
      dc.reset();
      events_.LogErrorCode("Error while initializing printing - VornPrintStart failed", result);
      return;
    }
    deviceContext_ = std::move(dc);
    jobOpen_ = true;
  });
}

bool PrintJob::jobdata(std::span<const std::uint8_t> block, bool last) {
  return guardEntryPoint(kJobDataSite, [&] {
    if (!jobOpen_) return false;
    if (settings_.target() == OutputTarget::directToDisk) {
      writedisk(*outputFile_, block, last, settings_.jetform);
      return true;
    }
    // The engine finds the end of a report itself; `last` is not its concern.
    const int result = renderer_.VornPrintData(block);
    if (result != 0) {
      events_.LogErrorCode("Error while printing - VornPrintData failed", result);
      closeJob();
    }
    return true;
  });
}

void PrintJob::jobend() {
  guardEntryPoint(kJobEndSite, [&] {
    if (jobOpen_) closeJob();
  });
}

void PrintJob::closeJob() {
  jobOpen_ = false;
  if (settings_.target() == OutputTarget::directToDisk) {
    const auto file = std::move(outputFile_);
    if (const std::uint32_t error = file->close(); error != platform::kErrorSuccess) {
      throw FileException(FileException::causeFromOsError(error), error);
    }
    return;
  }
  // A document that could not be completed is lost although every message
  // was acknowledged: the operator must hear of it.
  if (renderer_.VornPrintEnd() != 0) {
    events_.LogErrorCode("Error while printing - VornPrintEnd failed",
                         static_cast<std::int32_t>(platform::lastError()));
  }
  deviceContext_.reset();
}

}  // namespace vorn
