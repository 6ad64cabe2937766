// The yardstick for rendering a text report to PDF: every line shown with
// cairo_show_text in 12-point Liberation Mono at 6 lines per inch on A4
// pages, a new page at each form feed. No layout engine, no glyph tables.
//
//   print_bench_cairo_lines REPORT.txt OUT.pdf
#include <cairo-pdf.h>
#include <cairo.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace {

constexpr double kA4Width = 595.2756;
constexpr double kA4Height = 841.8898;
constexpr double kLinePitch = 12.0;  // points: 6 lines per inch
constexpr double kFontSize = 12.0;

struct SurfaceRelease {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextRelease {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: print_bench_cairo_lines REPORT.txt OUT.pdf\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  std::unique_ptr<cairo_surface_t, SurfaceRelease> surface(cairo_pdf_surface_create(argv[2], kA4Width, kA4Height));
  std::unique_ptr<cairo_t, ContextRelease> cr(cairo_create(surface.get()));
  cairo_select_font_face(cr.get(), "Liberation Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr.get(), kFontSize);

  int pages = 0;
  double y = kLinePitch;
  bool pageHasContent = false;
  std::string line;
  while (std::getline(in, line)) {
    std::size_t start = 0;
    for (std::size_t ff; (ff = line.find('\f', start)) != std::string::npos; start = ff + 1) {
      if (ff > start) {
        cairo_move_to(cr.get(), 0, y);
        cairo_show_text(cr.get(), line.substr(start, ff - start).c_str());
      }
      cairo_show_page(cr.get());
      ++pages;
      y = kLinePitch;
      pageHasContent = false;
    }
    if (start < line.size()) {
      cairo_move_to(cr.get(), 0, y);
      cairo_show_text(cr.get(), line.c_str() + start);
      pageHasContent = true;
    }
    if (start > 0 && start == line.size()) continue;  // a form feed ended the line: the new page starts at the top
    y += kLinePitch;
  }
  if (pageHasContent) {
    cairo_show_page(cr.get());
    ++pages;
  }
  cr.reset();
  cairo_surface_finish(surface.get());
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    std::cerr << "cairo: " << cairo_status_to_string(cairo_surface_status(surface.get())) << "\n";
    return 1;
  }
  std::printf("%d pages\n", pages);
  return 0;
}
