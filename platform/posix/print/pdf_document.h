// The PDF of one printed document, written while it is drawn: each page's
// content goes out when the page ends, the fonts (subsets of what the pages
// used) and the page tree when the document ends.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/print/pdf_fonts.h"
#include "platform/posix/print/pdf_images.h"
#include "platform/posix/print/pdf_page.h"
#include "platform/posix/print/pdf_writer.h"

namespace vorn::platform::posix {

class PdfDocument {
 public:
  // `title` is Windows-1252.
  PdfDocument(PdfWriter::Sink sink, std::string_view title);

  // Starts a page; one that is open is ended first.
  PdfPage& startPage(const PdfPageLayout& layout);
  // Writes the open page out.
  void endPage();
  // Completes the file; false when anything could not be written. The
  // device finishes only documents that have pages: an empty one is dropped.
  bool finish();

  // Whether something could not be written so far.
  bool failed() const { return writer_.failed() || fontsFailed_; }

 private:
  PdfWriter writer_;
  PdfFonts fonts_;
  PdfImages images_;
  std::unique_ptr<PdfPage> page_;
  std::string title_;
  int pageTree_ = 0;
  std::vector<int> pages_;
  bool fontsFailed_ = false;
};

}  // namespace vorn::platform::posix
