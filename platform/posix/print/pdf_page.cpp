#include "platform/posix/print/pdf_page.h"

#include <algorithm>

#include "platform/posix/print/pdf_number.h"

namespace vorn::platform::posix {
namespace {

// The sheet's height takes more decimals than positions: the flip puts every
// position below it.
constexpr int kHeightDecimals = 6;

void noteUse(std::vector<int>& used, int object) {
  if (std::find(used.begin(), used.end(), object) == used.end()) used.push_back(object);
}

// A literal string of the bytes of `text`.
void appendString(std::string& out, std::string_view text) {
  out += '(';
  for (const char c : text) {
    switch (c) {
      case '(':
      case ')':
      case '\\':
        out += '\\';
        out += c;
        break;
      case '\r': out += "\\r"; break;  // a bare CR would be read as a line end
      default: out += c; break;
    }
  }
  out += ')';
}

}  // namespace

PdfPage::PdfPage(const PdfPageLayout& layout, PdfFonts& fonts, PdfImages& images)
    : layout_(layout), pointsPerDot_(72.0 / std::max(layout.dpi, 1)), fonts_(fonts), images_(images) {
  // Points with y down from the top of the sheet, and the printable area's clip.
  content_ += "q 1 0 0 -1 0 ";
  appendNumber(content_, layout.heightPoints, kHeightDecimals);
  content_ += " cm\n";
  appendRectangle({0, 0, static_cast<double>(layout.printableWidth), static_cast<double>(layout.printableHeight)});
  content_ += " W n\n";
}

void PdfPage::endText() {
  if (!inText_) return;
  content_ += "ET\n";
  inText_ = false;
}

void PdfPage::appendRectangle(const DrawingRectangle& area) {
  appendNumber(content_, pointsX(area.x));
  content_ += ' ';
  appendNumber(content_, pointsY(area.y));
  content_ += ' ';
  appendNumber(content_, area.width * pointsPerDot_);
  content_ += ' ';
  appendNumber(content_, area.height * pointsPerDot_);
  content_ += " re";
}

void PdfPage::fillRectangle(const DrawingRectangle& area, bool white) {
  endText();
  if (white) content_ += "1 g ";
  appendRectangle(area);
  content_ += white ? " f 0 g\n" : " f\n";  // text and lines are black
}

void PdfPage::showText(const CairoFont& font, std::string_view text, double x, double baseline) {
  if (text.empty()) return;
  const PdfFonts::Use use = fonts_.use(font, layout_.dpi, text);
  noteUse(fontsUsed_, use.object);
  const double scale = font.horizontalScale();
  const double px = roundedForPdf(pointsX(x));
  const double py = roundedForPdf(pointsY(baseline));
  if (!inText_) {
    content_ += "BT\n";
    inText_ = true;
    font_ = 0;
    lineScale_ = 0;  // the first run sets the text matrix
  }
  if (use.object != font_ || use.size != fontSize_) {
    content_ += "/F" + std::to_string(use.object) + ' ';
    appendNumber(content_, use.size);
    content_ += " Tf\n";
    font_ = use.object;
    fontSize_ = use.size;
  }
  if (scale != lineScale_) {
    // Text space is the page flipped back upright, stretched by the font's width scale.
    appendNumber(content_, scale);
    content_ += " 0 0 -1 ";
    appendNumber(content_, px);
    content_ += ' ';
    appendNumber(content_, py);
    content_ += " Tm\n";
    lineScale_ = scale;
    lineX_ = px;
  } else {
    const double dx = roundedForPdf((px - lineX_) / scale);
    appendNumber(content_, dx);
    content_ += ' ';
    appendNumber(content_, lineY_ - py);
    content_ += " Td\n";
    lineX_ += dx * scale;
  }
  lineY_ = py;
  appendString(content_, text);
  content_ += "Tj\n";
}

void PdfPage::drawBitmap(const std::shared_ptr<BitmapObject>& bitmap, double x, double y,
                         const std::optional<DrawingRectangle>& clip) {
  endText();
  const int object = images_.use(bitmap);
  noteUse(imagesUsed_, object);
  content_ += "q ";
  if (clip) {
    appendRectangle(*clip);
    content_ += " W n ";
  }
  // The image's unit square, its first row at the top.
  appendNumber(content_, bitmap->width * pointsPerDot_);
  content_ += " 0 0 ";
  appendNumber(content_, -bitmap->height * pointsPerDot_);
  content_ += ' ';
  appendNumber(content_, pointsX(x));
  content_ += ' ';
  appendNumber(content_, pointsY(y + bitmap->height));
  content_ += " cm /I" + std::to_string(object) + " Do Q\n";
}

const std::string& PdfPage::finishContent() {
  endText();
  content_ += "Q\n";
  return content_;
}

std::string PdfPage::resources() const {
  std::string out = "<<";
  if (!fontsUsed_.empty()) {
    out += "/Font<<";
    for (const int f : fontsUsed_) out += "/F" + std::to_string(f) + ' ' + std::to_string(f) + " 0 R";
    out += ">>";
  }
  if (!imagesUsed_.empty()) {
    out += "/XObject<<";
    for (const int i : imagesUsed_) out += "/I" + std::to_string(i) + ' ' + std::to_string(i) + " 0 R";
    out += ">>";
  }
  return out + ">>";
}

}  // namespace vorn::platform::posix
