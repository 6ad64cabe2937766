// The printer device context on Linux: a PDF written as the pages are
// drawn, through the PDF library, in device units (one unit is one printer
// dot). Every document is PDF/A-2u.
//
// Each page takes its size and orientation from the settings in force when
// it starts; ResetDCA records settings for the pages that follow. The PDF
// streams to its output (a file, a built-in printer's folder, a CUPS queue)
// while pages are drawn.
#pragma once

#include <memory>
#include <string>

#include "platform/device_mode.h"
#include "platform/posix/print/drawing_context.h"
#include "pdf/document.h"
#include "platform/posix/print/pdf_output.h"
#include "platform/posix/print/pdf_page_target.h"
#include "platform/posix/print/printer_settings.h"

namespace vorn::platform::posix {

class PdfDeviceContext final : public DrawingContext {
 public:
  // A printer device with the printer's defaults, merged with `init` when given.
  PdfDeviceContext(std::shared_ptr<const PrinterDeviceSetup> setup, const DeviceMode* init)
      : DrawingContext(std::move(setup), init) {}
  ~PdfDeviceContext() override;

  int startDoc(const DocInfo& info) override;
  int endDoc() override;
  int startPage() override;
  int endPage() override;
  bool resetDC(const DeviceMode& mode) override;

 protected:
  // The open page; null between pages.
  DrawingTarget* target() override { return pageOpen_ ? page_.get() : nullptr; }
  bool outputBroken() const override { return outputFailed_; }

 private:
  bool writeToOutput(std::span<const unsigned char> data);
  pdf::PageLayout pageLayout() const;
  // Drops the open document without completing it.
  void abandonDocument();
  // Opens the spooler output again when the first page's settings differ
  // from those it was opened with; false when that fails.
  bool reopenOutputForFirstPage();

  std::unique_ptr<PdfOutput> output_;
  std::string docName_;           // of the open document, for opening its output again
  PageSettings outputSettings_;   // the settings its output was opened with
  bool outputFromPrinter_ = false;
  bool pageStartedInDoc_ = false;
  bool outputFailed_ = false;
  bool discardOutput_ = false;
  std::unique_ptr<pdf::Document> document_;
  std::unique_ptr<PdfPageTarget> page_;  // drawing onto the open page, in document_
  bool docOpen_ = false;
  bool pageOpen_ = false;
};

}  // namespace vorn::platform::posix
