#include "platform/posix/print/pdf_device_context.h"

#include <string>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/host_path.h"
#include "platform/posix/print/file_output.h"

namespace vorn::platform::posix {
namespace {

constexpr int kSpError = -1;  // EndDoc/EndPage failure

}  // namespace

PdfDeviceContext::~PdfDeviceContext() { abandonDocument(); }

void PdfDeviceContext::abandonDocument() {
  discardOutput_ = true;  // whatever is still buffered goes nowhere
  page_.reset();
  document_.reset();
  output_.reset();  // removes the partial file or cancels the spooler job
  docOpen_ = false;
  pageOpen_ = false;
  discardOutput_ = false;
  outputFailed_ = false;
}

bool PdfDeviceContext::writeToOutput(std::span<const unsigned char> data) {
  if (discardOutput_) return true;
  if (outputFailed_ || !output_ || !output_->write(data)) {
    outputFailed_ = true;
    return false;
  }
  return true;
}

pdf::PageLayout PdfDeviceContext::pageLayout() const {
  return {geometry_.widthPoints, geometry_.heightPoints, dpi_, geometry_.offsetX, geometry_.offsetY,
          geometry_.physicalWidth - 2 * geometry_.offsetX, geometry_.physicalHeight - 2 * geometry_.offsetY};
}

int PdfDeviceContext::startDoc(const DocInfo& info) {
  if (docOpen_) {
    setLastError(kErrorInvalidFunction);
    return 0;
  }
  outputFromPrinter_ = false;
  pageStartedInDoc_ = false;
  if (info.output.has_value()) {
    output_ = openFileOutput(hostPath(*info.output), 1);
  } else if (setup_->openOutput) {
    output_ = setup_->openOutput(info.docName, settings_);
    outputFromPrinter_ = true;
    docName_ = std::string(info.docName);
    outputSettings_ = settings_;
  } else {
    setLastError(kErrorInvalidFunction);
  }
  if (!output_) return 0;

  outputFailed_ = false;
  pdf::DocumentInfo about;
  about.title = utf8FromAnsi(info.docName);
  document_ = std::make_unique<pdf::Document>(
      [this](std::span<const unsigned char> data) { return writeToOutput(data); }, std::move(about));
  docOpen_ = true;
  return output_->jobId();
}

int PdfDeviceContext::endDoc() {
  if (!docOpen_) {
    setLastError(kErrorInvalidFunction);
    return kSpError;
  }
  if (pageOpen_) endPage();
  if (!pageStartedInDoc_) {
    // A document that never started a page produces nothing: no file, and
    // the spooler job is cancelled rather than printed as a blank sheet.
    abandonDocument();
    return 1;
  }
  const bool drawn = document_->finish() && !outputFailed_;
  document_.reset();
  if (!drawn) {
    const std::uint32_t error = lastError();
    abandonDocument();
    setLastError(error != kErrorSuccess ? error : kErrorWriteFault);
    return kSpError;
  }
  if (!output_->finish()) {
    const std::uint32_t error = lastError();
    abandonDocument();
    setLastError(error);
    return kSpError;
  }
  output_.reset();
  docOpen_ = false;
  return 1;
}

int PdfDeviceContext::startPage() {
  if (!docOpen_ || pageOpen_) {
    setLastError(kErrorInvalidFunction);
    return kSpError;
  }
  if (!pageStartedInDoc_) {
    pageStartedInDoc_ = true;  // tried once: a refused job fails the document
    if (!reopenOutputForFirstPage()) return kSpError;
  }
  if (outputFailed_) return kSpError;  // the last error is the output's
  geometry_ = pageGeometry(setup_->printer, settings_, dpi_);
  page_ = std::make_unique<PdfPageTarget>(document_->startPage(pageLayout()));
  pageOpen_ = true;
  return 1;
}

// The engine applies the stream's duplex and paper source with ResetDCA just
// before the first page, after StartDocA has created the spooler job. The
// PDF goes out no earlier than the end of the first page, so a job created with other
// settings is given up and created again with those of the first page.
bool PdfDeviceContext::reopenOutputForFirstPage() {
  if (!outputFromPrinter_ || !setup_->outputTakesSettings) return true;
  if (settings_.duplex == outputSettings_.duplex && settings_.defaultSource == outputSettings_.defaultSource) {
    return true;
  }
  output_.reset();  // cancels the job made for the old settings
  output_ = setup_->openOutput(docName_, settings_);
  if (!output_) {
    outputFailed_ = true;  // the document cannot complete; EndDoc reports it
    return false;
  }
  outputSettings_ = settings_;
  return true;
}

int PdfDeviceContext::endPage() {
  if (!pageOpen_) {
    setLastError(kErrorInvalidFunction);
    return kSpError;
  }
  page_.reset();
  document_->endPage();
  const bool ok = !document_->failed() && !outputFailed_;
  pageOpen_ = false;
  if (!ok) {
    if (lastError() == kErrorSuccess) setLastError(kErrorWriteFault);
    return kSpError;
  }
  return 1;
}

bool PdfDeviceContext::resetDC(const DeviceMode& mode) {
  const int resolution = dpi_;
  settings_ = pageSettings(setup_->printer, &mode);
  settings_.resolution = resolution;
  geometry_ = pageGeometry(setup_->printer, settings_, dpi_);
  return true;
}

}  // namespace vorn::platform::posix
