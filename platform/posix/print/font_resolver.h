// Turns a CreateFontA request into an installed face through fontconfig.
//
// The face name, weight and slant become a fontconfig pattern; the
// pitch-and-family byte adds a generic family (monospace, serif, sans-serif)
// after the face name, so that a missing face falls back to one of the right
// kind. fontconfig's metric aliases supply metric-compatible faces for the
// Windows core fonts. When a face is not installed the face used instead is
// reported once on the error stream.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <tuple>

#include "platform/device_context.h"
#include "platform/posix/print/cairo_handles.h"  // FcPatternPtr

namespace vorn::platform::posix {

struct ResolvedFace {
  std::string family;   // the family fontconfig chose
  std::string file;     // the font file, and the face's index in it
  int index = 0;
  // What fontconfig adds when the face lacks the weight or slant asked for
  // (only a Regular face installed): synthetic bold, and an oblique slant
  // (x moves by this times the height above the baseline).
  bool embolden = false;
  double slant = 0;
};

// GDI weights 1 to 1000 (0: don't care, 400) on fontconfig's weight scale.
double fontconfigWeight(std::int32_t gdiWeight);

// Whether `family` is a metric-compatible stand-in for the Windows face `requested`.
bool isMetricAlias(std::string_view requested, std::string_view family);

class FontResolver {
 public:
  explicit FontResolver(std::ostream& log);

  // The face for the request, shared by every font made from it; null when
  // fontconfig finds no font at all.
  std::shared_ptr<const ResolvedFace> resolve(const FontRequest& request);
  // Reports on the error stream that a resolved face's file could not be read.
  void reportUnreadable(const std::string& error);

 private:
  using Key = std::tuple<std::string, int, bool, std::uint32_t>;

  std::mutex mutex_;
  std::ostream& log_;
  std::map<Key, std::shared_ptr<const ResolvedFace>> faces_;
  std::set<std::string> reported_;  // face names already reported as missing
};

}  // namespace vorn::platform::posix
