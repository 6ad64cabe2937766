// The agent's print job: its state and the operations that open it, feed it
// and end it on one of the three output targets. The printer targets run the
// agent's rendering engine on a device context of their own per job.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "agent/jobs/job_settings.h"
#include "agent/jobs/job_operations.h"

namespace vorn::platform {
class DeviceContext;
class File;
class FileSystem;
class PrinterSystem;
}  // namespace vorn::platform

namespace vorn {

class AgentEventLog;
class Renderer;

// Document names are this prefix followed by the report name.
inline constexpr std::string_view kDocumentNamePrefix = "Vorn: ";

class PrintJob final : public JobOperations {
 public:
  // `renderer` is the agent's one rendering engine. Every reference must outlive this object.
  PrintJob(JobSettings settings, platform::PrinterSystem& printers, platform::FileSystem& files,
            Renderer& renderer, AgentEventLog& events);
  // An open job is not ended here: the owner calls jobend() while its own
  // teardown runs, so that a failure there is reported as such.
  ~PrintJob() override;
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  bool jobOpen() const { return jobOpen_; }
  void setReportName(std::string reportName) override { reportName_ = std::move(reportName); }
  void setOutputFileName(std::string fileName) override { outputFileName_ = std::move(fileName); }
  std::string documentName() const;

  // Each of these is an agent entry point: an exception escaping it ends
  // the agent through FatalError at its own site.
  void jobstart(std::uint32_t options) override;
  bool jobdata(std::span<const std::uint8_t> block, bool last) override;
  void jobend() override;

 private:
  // Closes the open job, inside the guard of the operation that ends it.
  void closeJob();

  JobSettings settings_;
  platform::PrinterSystem& printers_;
  platform::FileSystem& files_;
  Renderer& renderer_;
  AgentEventLog& events_;

  bool jobOpen_ = false;
  std::unique_ptr<platform::DeviceContext> deviceContext_;  // printer targets
  std::unique_ptr<platform::File> outputFile_;              // direct-to-disk
  std::string reportName_;
  std::string outputFileName_;
};

}  // namespace vorn
