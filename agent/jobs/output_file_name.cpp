#include "agent/jobs/output_file_name.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file.h"

namespace vorn {
namespace {

struct NamePattern {
  bool withForm;
  bool withReport;
  bool withCounter;
  std::string_view extension;
  std::string_view fixedStem;  // text in place of form and report, for patterns 0 and 1
};

NamePattern patternOf(std::uint16_t ptfOpt) {
  switch (ptfOpt) {
    case 2: return {false, true, false, ".dat", {}};
    case 3: return {false, true, true, ".dat", {}};
    case 4: return {true, true, true, ".dat", {}};
    case 5: return {false, true, false, ".lis", {}};
    case 6: return {false, true, true, ".lis", {}};
    case 7: return {true, true, true, ".lis", {}};
    default: return {false, false, true, ".dat", "VORNrpt"};  // 0, 1 and unknown values
  }
}

std::string assemble(const NamePattern& pattern, std::string_view prefix, std::string_view form,
                     std::string_view report, std::uint32_t counter) {
  std::string name(prefix);
  name += pattern.fixedStem;
  if (pattern.withForm) {
    name += form;
    name += '-';
  }
  if (pattern.withReport) name += report;
  if (pattern.withCounter) {
    std::array<char, 8> digits{};
    std::snprintf(digits.data(), digits.size(), "-%05u",
                  static_cast<unsigned>(counter % kNameCounterModulus));
    name += digits.data();
  }
  name += pattern.extension;
  return name;
}

}  // namespace

bool patternHasCounter(std::uint16_t ptfOpt) { return patternOf(ptfOpt).withCounter; }

std::string composeOutputFileName(std::uint16_t ptfOpt, std::string_view prefix,
                                  std::string_view form, std::string_view report,
                                  std::uint32_t counter) {
  const NamePattern pattern = patternOf(ptfOpt);
  const std::size_t fixedLength = assemble(pattern, prefix, {}, {}, counter).size();
  std::size_t room = kOutputFileNameMax > fixedLength ? kOutputFileNameMax - fixedLength : 0;

  std::string_view keptForm = pattern.withForm ? form.substr(0, std::min(form.size(), room)) : "";
  room -= keptForm.size();
  std::string_view keptReport =
      pattern.withReport ? report.substr(0, std::min(report.size(), room)) : "";
  return assemble(pattern, prefix, keptForm, keptReport, counter);
}

std::string chooseOutputFileName(const JobSettings& settings, std::string_view form,
                                 std::string_view report, platform::Clock& clock,
                                 platform::FileSystem& files) {
  const auto start = static_cast<std::uint32_t>(clock.systemTimeAsFileTime() & 0xFFFFFFFFu);
  if (!patternHasCounter(settings.ptfOpt)) {
    return composeOutputFileName(settings.ptfOpt, settings.ptfPath, form, report, start);
  }

  std::string candidate;
  for (std::uint32_t attempt = 0; attempt < kNameCounterModulus; ++attempt) {
    // The sum wraps at 2^32 before the counter is reduced to five digits.
    const std::uint32_t counter = (start + attempt) % kNameCounterModulus;
    candidate = composeOutputFileName(settings.ptfOpt, settings.ptfPath, form, report, counter);
    std::unique_ptr<platform::File> probe;
    if (files.openToProbe(candidate, probe) != platform::kErrorSuccess) return candidate;
    // An existing file: the probe handle closes as it goes out of scope.
  }
  return candidate;
}

}  // namespace vorn
