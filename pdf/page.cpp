#include "pdf/page.h"

#include <algorithm>
#include <cmath>

#include "pdf/number.h"

namespace vorn::pdf {
namespace {

// The sheet's height takes more decimals than positions: the flip puts every
// position below it.
constexpr int kHeightDecimals = 6;
// Character spacing is added once a character: a millionth of a point over
// a thousand characters stays below a thousandth.
constexpr int kSpacingDecimals = 6;
constexpr double kSameSpacing = 1e-7;

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

Page::Page(const PageLayout& layout, Fonts& fonts, Images& images)
    : layout_(layout), pointsPerDot_(72.0 / std::max(layout.dpi, 1)), fonts_(fonts), images_(images) {
  // Points with y down from the top of the sheet, and the printable area's clip.
  content_ += "q 1 0 0 -1 0 ";
  appendNumber(content_, layout.heightPoints, kHeightDecimals);
  content_ += " cm\n";
  appendRectangle({0, 0, static_cast<double>(layout.printableWidth), static_cast<double>(layout.printableHeight)});
  content_ += " W n\n";
}

void Page::endText() {
  if (!inText_) return;
  content_ += "ET\n";
  inText_ = false;
}

void Page::appendRectangle(const Rectangle& area) {
  appendNumber(content_, pointsX(area.x));
  content_ += ' ';
  appendNumber(content_, pointsY(area.y));
  content_ += ' ';
  appendNumber(content_, area.width * pointsPerDot_);
  content_ += ' ';
  appendNumber(content_, area.height * pointsPerDot_);
  content_ += " re";
}

void Page::fillRectangle(const Rectangle& area, bool white) {
  endText();
  if (white) content_ += "1 g ";
  appendRectangle(area);
  content_ += white ? " f 0 g\n" : " f\n";  // text and lines are black
}

void Page::showText(const TextStyle& style, std::string_view text, double x, double baseline) {
  if (text.empty() || !style.program || style.encoding == nullptr) return;
  Fonts::Font& font = fonts_.use(style.program, *style.encoding);
  for (const char c : text) font.used.set(static_cast<unsigned char>(c));
  noteUse(fontsUsed_, font.object);

  const double size = rounded(style.emSize * pointsPerDot_);
  const double scale = rounded(style.horizontalScale);
  const double slant = rounded(style.slant);
  const double px = rounded(pointsX(x));
  const double py = rounded(pointsY(baseline));
  if (!inText_) {
    content_ += "BT\n";
    inText_ = true;
    font_ = 0;
    haveLine_ = false;  // each text object starts from the identity: the first run sets the matrix
  }
  if (font.object != font_ || size != fontSize_) {
    content_ += "/F" + std::to_string(font.object) + ' ';
    appendNumber(content_, size);
    content_ += " Tf\n";
    font_ = font.object;
    fontSize_ = size;
  }
  if (style.embolden) {
    const double width = rounded(size / 24);
    if (width != lineWidth_) {
      appendNumber(content_, width);
      content_ += " w ";
      lineWidth_ = width;
    }
    if (!stroked_) content_ += "2 Tr\n";
    stroked_ = true;
  } else if (stroked_) {
    content_ += "0 Tr\n";
    stroked_ = false;
  }
  bool nextLine = false;
  if (!haveLine_ || scale != lineScale_ || slant != lineSlant_) {
    // Text space is the page flipped back upright, stretched by the width
    // scale and sheared by the slant.
    appendNumber(content_, scale);
    content_ += " 0 ";
    appendNumber(content_, slant);
    content_ += " -1 ";
    appendNumber(content_, px);
    content_ += ' ';
    appendNumber(content_, py);
    content_ += " Tm\n";
    haveLine_ = true;
    lineScale_ = scale;
    lineSlant_ = slant;
    lineX_ = px;
    lineY_ = py;
  } else {
    const double ty = rounded(lineY_ - py);
    const double tx = rounded((px - lineX_ - slant * ty) / scale);
    if (tx == 0 && ty < 0) {
      // The next line below: the leading moves there, and a report's lines
      // cost one operator each.
      if (-ty != leading_) {
        appendNumber(content_, -ty);
        content_ += " TL\n";
        leading_ = -ty;
      }
      nextLine = true;
    } else {
      appendNumber(content_, tx);
      content_ += ' ';
      appendNumber(content_, ty);
      content_ += " Td\n";
    }
    lineX_ += scale * tx + slant * ty;
    lineY_ -= ty;
  }
  setSpacingAndShow(font, style, size, scale, text, nextLine);
}

// Each character moves by (w / 1000 * size + Tc) * scale; the device's
// advance is met by the character spacing where every character of the run
// differs from the face by the same amount (a fixed-pitch face), and by TJ
// offsets after the characters that differ otherwise.
void Page::setSpacingAndShow(const Fonts::Font& font, const TextStyle& style, double size, double scale,
                             std::string_view text, bool nextLine) {
  const auto spacingOf = [&](char c) {
    const auto code = static_cast<unsigned char>(c);
    return style.advances[code] * pointsPerDot_ / scale - font.widths[code] / 1000 * size;
  };
  const double spacing = rounded(spacingOf(text.front()), kSpacingDecimals);
  if (std::fabs(spacing - charSpacing_) > kSameSpacing) {
    appendNumber(content_, spacing, kSpacingDecimals);
    content_ += " Tc\n";
    charSpacing_ = spacing;
  }
  const bool even = std::all_of(text.begin(), text.end(),
                                [&](char c) { return std::fabs(spacingOf(c) - charSpacing_) <= kSameSpacing; });
  if (even) {
    appendString(content_, text);
    content_ += nextLine ? "'\n" : "Tj\n";
    return;
  }
  if (nextLine) content_ += "T*\n";
  content_ += '[';
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const double extra = spacingOf(text[i]) - charSpacing_;
    if (std::fabs(extra) <= kSameSpacing || i + 1 == text.size()) continue;
    appendString(content_, text.substr(start, i + 1 - start));
    appendNumber(content_, -extra * 1000 / size);
    start = i + 1;
  }
  appendString(content_, text.substr(start));
  content_ += "]TJ\n";
}

void Page::drawImage(const RgbImage& image, double x, double y, const std::optional<Rectangle>& clip) {
  endText();
  const int object = images_.use(image);
  noteUse(imagesUsed_, object);
  content_ += "q ";
  if (clip) {
    appendRectangle(*clip);
    content_ += " W n ";
  }
  // The image's unit square, its first row at the top.
  appendNumber(content_, image.width * pointsPerDot_);
  content_ += " 0 0 ";
  appendNumber(content_, -image.height * pointsPerDot_);
  content_ += ' ';
  appendNumber(content_, pointsX(x));
  content_ += ' ';
  appendNumber(content_, pointsY(y + image.height));
  content_ += " cm /I" + std::to_string(object) + " Do Q\n";
}

const std::string& Page::finishContent() {
  endText();
  content_ += "Q\n";
  return content_;
}

std::string Page::resources() const {
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

}  // namespace vorn::pdf
