#include "platform/posix/print/font_resolver.h"

#include <algorithm>
#include <array>

#include "platform/ansi_code_page.h"

namespace vorn::platform::posix {
namespace {

constexpr std::uint32_t kFixedPitch = 1;
constexpr std::uint32_t kFamilyRoman = 0x10;
constexpr std::uint32_t kFamilySwiss = 0x20;
constexpr std::uint32_t kFamilyModern = 0x30;
constexpr std::int32_t kDefaultGdiWeight = 400;


// The generic family the pitch-and-family byte asks for, or none.
const char* genericFamily(std::uint32_t pitchAndFamily) {
  if ((pitchAndFamily & 0x3) == kFixedPitch) return "monospace";
  switch (pitchAndFamily & 0xF0) {
    case kFamilyRoman: return "serif";
    case kFamilySwiss: return "sans-serif";
    case kFamilyModern: return "monospace";
    default: return nullptr;
  }
}

struct Alias {
  std::string_view requested;
  std::string_view family;
};
constexpr std::array<Alias, 8> kMetricAliases = {{
    {"courier new", "liberation mono"},
    {"courier new", "cousine"},
    {"arial", "liberation sans"},
    {"arial", "arimo"},
    {"times new roman", "liberation serif"},
    {"times new roman", "tinos"},
    {"courier", "nimbus mono ps"},
    {"courier", "liberation mono"},
}};

// Whether the printer's PDF can embed the font: TrueType or OpenType outlines.
bool isEmbeddable(FcPattern* font) {
  FcChar8* format = nullptr;
  if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch) return false;
  const std::string_view name = reinterpret_cast<const char*>(format);
  return name == "TrueType" || name == "CFF";
}

struct FcFontSetRelease {
  void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};

// The match itself when it can be embedded, else the closest font that can.
FcPatternPtr embeddableMatch(FcPattern* pattern, FcPatternPtr match) {
  if (isEmbeddable(match.get())) return match;
  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcFontSet, FcFontSetRelease> sorted(FcFontSort(nullptr, pattern, FcFalse, nullptr, &result));
  for (int i = 0; sorted && i < sorted->nfont; ++i) {
    if (isEmbeddable(sorted->fonts[i])) return FcPatternPtr(FcFontRenderPrepare(nullptr, pattern, sorted->fonts[i]));
  }
  return match;
}

}  // namespace

double fontconfigWeight(std::int32_t gdiWeight) {
  const std::int32_t weight = gdiWeight <= 0 ? kDefaultGdiWeight : std::min(gdiWeight, 1000);
  return FcWeightFromOpenTypeDouble(weight);
}

bool isMetricAlias(std::string_view requested, std::string_view family) {
  return std::ranges::any_of(kMetricAliases, [&](const Alias& a) {
    return equalsIgnoringCase(a.requested, requested) && equalsIgnoringCase(a.family, family);
  });
}

FontResolver::FontResolver(std::ostream& log) : log_(log) {}

void FontResolver::reportUnreadable(const std::string& error) {
  std::lock_guard lock(mutex_);
  log_ << "vornprint: " << error << "\n";
  log_.flush();
}

std::shared_ptr<const ResolvedFace> FontResolver::resolve(const FontRequest& request) {
  const int weight = static_cast<int>(fontconfigWeight(request.weight));
  const bool italic = request.italic != 0;
  Key key{ansiLowerCase(request.faceName), weight, italic, request.pitchAndFamily & 0xF3};

  std::lock_guard lock(mutex_);
  if (auto found = faces_.find(key); found != faces_.end()) return found->second;

  FcPatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  const std::string faceName = utf8FromAnsi(request.faceName);
  if (!faceName.empty()) {
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName.c_str()));
  }
  if (const char* generic = genericFamily(request.pitchAndFamily)) {
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
  }
  FcPatternAddDouble(pattern.get(), FC_WEIGHT, weight);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) return nullptr;
  FcDefaultSubstitute(pattern.get());

  FcResult result = FcResultNoMatch;
  FcPatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match || result != FcResultMatch) return nullptr;
  match = embeddableMatch(pattern.get(), std::move(match));
  if (!match) return nullptr;

  FcChar8* familyName = nullptr;
  std::string family;
  bool sameFamily = faceName.empty();
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &familyName) == FcResultMatch; ++i) {
    const std::string name = reinterpret_cast<const char*>(familyName);
    if (i == 0) family = name;
    if (equalsIgnoringCase(ansiFromUtf8(name), faceName)) sameFamily = true;
  }

  auto resolved = std::make_shared<ResolvedFace>();
  resolved->family = family;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) == FcResultMatch) {
    resolved->file = reinterpret_cast<const char*>(file);
  }
  if (resolved->file.empty()) return nullptr;
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &resolved->index);  // absent: the first face
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(match.get(), FC_EMBOLDEN, 0, &embolden) == FcResultMatch) resolved->embolden = embolden;
  FcMatrix* matrix = nullptr;
  if (FcPatternGetMatrix(match.get(), FC_MATRIX, 0, &matrix) == FcResultMatch && matrix != nullptr) {
    resolved->slant = matrix->xy;
  }

  if (!sameFamily && !isMetricAlias(faceName, family) && reported_.insert(ansiLowerCase(faceName)).second) {
    log_ << "vornprint: font \"" << faceName << "\" is not installed; printing with \"" << family << "\"\n";
    log_.flush();
  }
  faces_.emplace(std::move(key), resolved);
  return resolved;
}

}  // namespace vorn::platform::posix
