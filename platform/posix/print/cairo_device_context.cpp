#include "platform/posix/print/cairo_device_context.h"

#include <cairo-pdf.h>

#include <string>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/posix/host_path.h"
#include "platform/posix/print/file_output.h"

namespace vorn::platform::posix {
namespace {

constexpr int kSpError = -1;  // EndDoc/EndPage failure

}  // namespace

CairoDeviceContext::~CairoDeviceContext() { abandonDocument(); }

void CairoDeviceContext::abandonDocument() {
  discardOutput_ = true;  // whatever cairo still flushes goes nowhere
  page_.reset();
  surface_.reset();
  output_.reset();  // removes the partial file or cancels the spooler job
  docOpen_ = false;
  pageOpen_ = false;
  discardOutput_ = false;
  outputFailed_ = false;
}

cairo_status_t CairoDeviceContext::writeToOutput(void* closure, const unsigned char* data, unsigned int length) {
  auto* self = static_cast<CairoDeviceContext*>(closure);
  if (self->discardOutput_) return CAIRO_STATUS_SUCCESS;
  if (self->outputFailed_ || !self->output_ || !self->output_->write({data, length})) {
    self->outputFailed_ = true;
    return CAIRO_STATUS_WRITE_ERROR;
  }
  return CAIRO_STATUS_SUCCESS;
}

int CairoDeviceContext::startDoc(const DocInfo& info) {
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
  surface_.reset(cairo_pdf_surface_create_for_stream(&CairoDeviceContext::writeToOutput, this,
                                                     geometry_.widthPoints, geometry_.heightPoints));
  if (cairo_surface_status(surface_.get()) != CAIRO_STATUS_SUCCESS) {
    abandonDocument();
    setLastError(kErrorNotEnoughMemory);
    return 0;
  }
  const std::string title = utf8FromAnsi(info.docName);
  cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
  cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATOR, "VornPrint");
  docOpen_ = true;
  return output_->jobId();
}

int CairoDeviceContext::endDoc() {
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
  page_.reset();
  cairo_surface_finish(surface_.get());
  const bool drawn = cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS && !outputFailed_;
  surface_.reset();
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

int CairoDeviceContext::startPage() {
  if (!docOpen_ || pageOpen_) {
    setLastError(kErrorInvalidFunction);
    return kSpError;
  }
  if (!pageStartedInDoc_) {
    pageStartedInDoc_ = true;  // tried once: a refused job fails the document
    if (!reopenOutputForFirstPage()) return kSpError;
  }
  geometry_ = pageGeometry(setup_->printer, settings_, dpi_);
  // The size must be set before anything is drawn on the page.
  cairo_pdf_surface_set_size(surface_.get(), geometry_.widthPoints, geometry_.heightPoints);
  page_.reset(cairo_create(surface_.get()));
  if (cairo_status(page_.get()) != CAIRO_STATUS_SUCCESS || outputFailed_) {
    page_.reset();
    setLastError(outputFailed_ ? lastError() : kErrorNotEnoughMemory);
    return kSpError;
  }
  cairo_scale(page_.get(), 72.0 / dpi_, 72.0 / dpi_);
  cairo_translate(page_.get(), geometry_.offsetX, geometry_.offsetY);
  cairo_rectangle(page_.get(), 0, 0, getDeviceCaps(kHorzRes), getDeviceCaps(kVertRes));
  cairo_clip(page_.get());
  pageOpen_ = true;
  return 1;
}

// The engine applies the stream's duplex and paper source with ResetDCA just
// before the first page, after StartDocA has created the spooler job. cairo
// writes nothing before the first page ends, so a job created with other
// settings is given up and created again with those of the first page.
bool CairoDeviceContext::reopenOutputForFirstPage() {
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

int CairoDeviceContext::endPage() {
  if (!pageOpen_) {
    setLastError(kErrorInvalidFunction);
    return kSpError;
  }
  cairo_show_page(page_.get());
  const bool ok = cairo_status(page_.get()) == CAIRO_STATUS_SUCCESS && !outputFailed_;
  page_.reset();
  pageOpen_ = false;
  if (!ok) {
    if (lastError() == kErrorSuccess) setLastError(kErrorWriteFault);
    return kSpError;
  }
  return 1;
}

bool CairoDeviceContext::resetDC(const DeviceMode& mode) {
  const int resolution = dpi_;
  settings_ = pageSettings(setup_->printer, &mode);
  settings_.resolution = resolution;
  geometry_ = pageGeometry(setup_->printer, settings_, dpi_);
  return true;
}

}  // namespace vorn::platform::posix
