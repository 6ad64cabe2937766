// The PDF of one printed document, written while it is drawn: each page's
// content goes out when the page ends; the fonts (subsets of what the pages
// used), the page tree and what makes the file PDF/A-2u (the XMP metadata,
// the sRGB output intent, the file identifier) when the document ends.
#pragma once

#include <memory>
#include <vector>

#include "pdf/archive_metadata.h"
#include "pdf/file_writer.h"
#include "pdf/fonts.h"
#include "pdf/images.h"
#include "pdf/page.h"

namespace vorn::pdf {

class Document {
 public:
  Document(FileWriter::Sink sink, DocumentInfo info);

  // Starts a page; one that is open is ended first.
  Page& startPage(const PageLayout& layout);
  // Writes the open page out.
  void endPage();
  // Completes the file; false when anything could not be written.
  bool finish();

  // Whether something could not be written so far.
  bool failed() const { return writer_.failed(); }
  // Distinct images stored so far.
  std::size_t imagesStored() const { return images_.count(); }

 private:
  DocumentInfo info_;
  FileWriter writer_;
  Fonts fonts_;
  Images images_;
  std::unique_ptr<Page> page_;
  int pageTree_ = 0;
  std::vector<int> pages_;
};

}  // namespace vorn::pdf
