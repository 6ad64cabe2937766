// One page of the printer's PDF being drawn: its content stream and the
// fonts and images it uses. Device units become points here (y down from the
// top of the sheet, under one flip), so that the numbers a viewer reads are
// the round ones of the layout: a 12-point font and 24 points between
// baselines, not 100 dots times 0.12, which readers that measure text by its
// size would see as slightly more or less. Consecutive text stays in one
// text object, each run placed relative to the previous one, so that a line
// of a report costs its characters and a few bytes.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/print/drawing_target.h"
#include "platform/posix/print/pdf_fonts.h"
#include "platform/posix/print/pdf_images.h"

namespace vorn::platform::posix {

struct PdfPageLayout {
  double widthPoints = 0;
  double heightPoints = 0;
  int dpi = 600;
  int offsetX = 0;  // the printable area's top left corner, device units
  int offsetY = 0;
  int printableWidth = 0;
  int printableHeight = 0;
};

class PdfPage final : public DrawingTarget {
 public:
  PdfPage(const PdfPageLayout& layout, PdfFonts& fonts, PdfImages& images);

  void fillRectangle(const DrawingRectangle& area, bool white) override;
  void showText(const CairoFont& font, std::string_view text, double x, double baseline) override;
  void drawBitmap(const std::shared_ptr<BitmapObject>& bitmap, double x, double y,
                  const std::optional<DrawingRectangle>& clip) override;
  bool failed() const override { return false; }  // the document's writer keeps failures

  const PdfPageLayout& layout() const { return layout_; }
  // Ends the content; returns it and the page's resource dictionary.
  const std::string& finishContent();
  std::string resources() const;

 private:
  void endText();
  void appendRectangle(const DrawingRectangle& area);
  // A device x or y as points from the sheet's left or top edge.
  double pointsX(double x) const { return (layout_.offsetX + x) * pointsPerDot_; }
  double pointsY(double y) const { return (layout_.offsetY + y) * pointsPerDot_; }

  PdfPageLayout layout_;
  double pointsPerDot_ = 0;
  PdfFonts& fonts_;
  PdfImages& images_;
  std::string content_;
  std::vector<int> fontsUsed_;
  std::vector<int> imagesUsed_;
  // The text object's state: the font and the start of the last run as the
  // viewer has them (rounded as written).
  bool inText_ = false;
  int font_ = 0;
  double fontSize_ = 0;
  double lineScale_ = 0;
  double lineX_ = 0;
  double lineY_ = 0;
};

}  // namespace vorn::platform::posix
