// One page of a PDF being drawn: its content stream and the fonts and images
// it uses. Positions are device units (printer dots, y down from the top
// left of the printable area); they become points here (y down from the top
// of the sheet, under one flip), so that the numbers a viewer reads are the
// round ones of the layout: a 12-point font and 24 points between baselines,
// not 100 dots times 0.12, which readers that measure text by its size would
// see as slightly more or less. Consecutive text stays in one text object,
// each run placed relative to the previous one, so that a line of a report
// costs its characters and a few bytes.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/font_program.h"
#include "pdf/fonts.h"
#include "pdf/images.h"

namespace vorn::pdf {

struct PageLayout {
  double widthPoints = 0;
  double heightPoints = 0;
  int dpi = 600;
  int offsetX = 0;  // the printable area's top left corner, device units
  int offsetY = 0;
  int printableWidth = 0;
  int printableHeight = 0;
};

struct Rectangle {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

// How a font shows text: the face and character set, the size, the width
// stretch, synthetic bold and oblique, and where the device puts each
// character (its advances, device units, which may differ from the face's by
// rounding to whole dots: the page keeps them with character spacing and
// TJ offsets, while /W holds the face's own).
struct TextStyle {
  std::shared_ptr<const FontProgram> program;
  const ByteEncoding* encoding = nullptr;
  double emSize = 0;          // device units
  double horizontalScale = 1;
  double slant = 0;           // oblique: x moves right by this times the height above the baseline
  bool embolden = false;      // filled and stroked, the stroke a 24th of the em
  std::array<double, 256> advances{};
};

class Page {
 public:
  Page(const PageLayout& layout, Fonts& fonts, Images& images);

  void fillRectangle(const Rectangle& area, bool white);
  // `text` in black from `x` on `baseline`.
  void showText(const TextStyle& style, std::string_view text, double x, double baseline);
  // `image` with its top left pixel at (x, y), one pixel per device unit, no
  // smoothing; only the part inside `clip` when given.
  void drawImage(const RgbImage& image, double x, double y, const std::optional<Rectangle>& clip);

  const PageLayout& layout() const { return layout_; }
  // Ends the content; returns it and the page's resource dictionary.
  const std::string& finishContent();
  std::string resources() const;

 private:
  void endText();
  void appendRectangle(const Rectangle& area);
  void setSpacingAndShow(const Fonts::Font& font, const TextStyle& style, double size, double scale,
                         std::string_view text, bool nextLine);
  // A device x or y as points from the sheet's left or top edge.
  double pointsX(double x) const { return (layout_.offsetX + x) * pointsPerDot_; }
  double pointsY(double y) const { return (layout_.offsetY + y) * pointsPerDot_; }

  PageLayout layout_;
  double pointsPerDot_ = 0;
  Fonts& fonts_;
  Images& images_;
  std::string content_;
  std::vector<int> fontsUsed_;
  std::vector<int> imagesUsed_;
  // The text state as the viewer has it (rounded as written).
  bool inText_ = false;
  int font_ = 0;
  double fontSize_ = 0;
  double charSpacing_ = 0;
  double leading_ = 0;
  bool stroked_ = false;
  double lineWidth_ = 1;
  // The line matrix [scale 0 slant -1 x y] of the last run.
  bool haveLine_ = false;
  double lineScale_ = 0;
  double lineSlant_ = 0;
  double lineX_ = 0;
  double lineY_ = 0;
};

}  // namespace vorn::pdf
