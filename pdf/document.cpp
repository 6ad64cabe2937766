#include "pdf/document.h"

#include <utility>

#include "pdf/number.h"

namespace vorn::pdf {

Document::Document(FileWriter::Sink sink, DocumentInfo info)
    : info_(std::move(info)), writer_(std::move(sink)), fonts_(writer_), images_(writer_) {
  pageTree_ = writer_.reserveObject();
}

Page& Document::startPage(const PageLayout& layout) {
  if (page_) endPage();
  page_ = std::make_unique<Page>(layout, fonts_, images_);
  return *page_;
}

void Document::endPage() {
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

bool Document::finish() {
  if (page_) endPage();
  fonts_.finish();
  std::string kids = "<</Type/Pages/Kids[";
  for (const int page : pages_) kids += std::to_string(page) + " 0 R ";
  kids += "]/Count " + std::to_string(pages_.size()) + ">>";
  writer_.writeObject(pageTree_, kids);

  // Metadata streams stay uncompressed, so that a tool that knows nothing of
  // PDF can still find the packet.
  const int metadata = writer_.reserveObject();
  writer_.writeStream(metadata, "/Type/Metadata/Subtype/XML", xmpPacket(info_), false);
  const int profile = writer_.reserveObject();
  writer_.writeStream(profile, "/N 3", srgbProfile());
  const std::string condition(kOutputCondition);
  const std::string intent = "<</Type/OutputIntent/S/GTS_PDFA1/OutputConditionIdentifier(" + condition + ")/Info(" +
                             condition + ")/DestOutputProfile " + std::to_string(profile) + " 0 R>>";
  const int catalog = writer_.reserveObject();
  writer_.writeObject(catalog, "<</Type/Catalog/Pages " + std::to_string(pageTree_) + " 0 R/Metadata " +
                                   std::to_string(metadata) + " 0 R/OutputIntents[" + intent + "]>>");
  const int info = writer_.reserveObject();
  writer_.writeObject(info, infoDictionary(info_));
  writer_.finish(catalog, info, fileIdentifier(info_, writer_.size(), pages_.size()));
  return !failed();
}

}  // namespace vorn::pdf
