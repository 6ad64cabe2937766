#include "platform/posix/print/pdf_document.h"

#include <cstdio>
#include <utility>

#include "platform/ansi_code_page.h"
#include "platform/posix/print/pdf_number.h"

namespace vorn::platform::posix {
namespace {

// A text string in UTF-16 (big-endian, with its byte order mark), as hex.
std::string textString(std::string_view ansi) {
  std::string out = "<FEFF";
  char unit[5];
  for (const char c : ansi) {
    std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(unicodeFromAnsi(static_cast<std::uint8_t>(c))));
    out += unit;
  }
  return out + ">";
}

}  // namespace

PdfDocument::PdfDocument(PdfWriter::Sink sink, std::string_view title)
    : writer_(std::move(sink)), fonts_(writer_), images_(writer_), title_(title) {
  pageTree_ = writer_.reserveObject();
}

PdfPage& PdfDocument::startPage(const PdfPageLayout& layout) {
  if (page_) endPage();
  page_ = std::make_unique<PdfPage>(layout, fonts_, images_);
  return *page_;
}

void PdfDocument::endPage() {
  if (!page_) return;
  const int content = writer_.reserveObject();
  writer_.writeStream(content, "", page_->finishContent());
  const int page = writer_.reserveObject();
  std::string body = "<</Type/Page/Parent " + std::to_string(pageTree_) + " 0 R/MediaBox[0 0 ";
  appendNumber(body, page_->layout().widthPoints);
  body += ' ';
  appendNumber(body, page_->layout().heightPoints);
  body += "]/Contents " + std::to_string(content) + " 0 R/Resources " + page_->resources() + ">>";
  writer_.writeObject(page, body);
  pages_.push_back(page);
  page_.reset();
  writer_.flush();  // a spooler receives each page as it is done
}

bool PdfDocument::finish() {
  if (page_) endPage();
  if (!fonts_.finish()) fontsFailed_ = true;
  std::string kids = "<</Type/Pages/Kids[";
  for (const int page : pages_) kids += std::to_string(page) + " 0 R ";
  kids += "]/Count " + std::to_string(pages_.size()) + ">>";
  writer_.writeObject(pageTree_, kids);
  const int catalog = writer_.reserveObject();
  writer_.writeObject(catalog, "<</Type/Catalog/Pages " + std::to_string(pageTree_) + " 0 R>>");
  const int info = writer_.reserveObject();
  writer_.writeObject(info, "<</Title" + textString(title_) + "/Creator(VornPrint)/Producer(VornPrint)>>");
  writer_.finish(catalog, info);
  return !failed();
}

}  // namespace vorn::platform::posix
