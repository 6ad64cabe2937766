// The name of a job's output file when the profile prints to files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/jobs/job_settings.h"

namespace vorn::platform {
class Clock;
class FileSystem;
}  // namespace vorn::platform

namespace vorn {

// Longest output file name composed (the renderer's field holds 101 characters).
inline constexpr std::size_t kOutputFileNameMax = 101;
// Counters are five decimal digits.
inline constexpr std::uint32_t kNameCounterModulus = 100000;

// Whether the name pattern of `ptfOpt` carries a counter. Values above 7
// have no pattern of their own and use that of 0.
bool patternHasCounter(std::uint16_t ptfOpt);

// The name that pattern `ptfOpt` gives for these parts. When the name would
// exceed kOutputFileNameMax, the report part is cut first and then the form
// part; the prefix and the counter are never cut, so a prefix that alone
// leaves no room yields a longer name rather than a file in another folder.
std::string composeOutputFileName(std::uint16_t ptfOpt, std::string_view prefix,
                                  std::string_view form, std::string_view report,
                                  std::uint32_t counter);

// Chooses the output file name of a new job. `form` and `report` must
// already be sanitised for file names. A pattern with a counter is probed:
// the counter starts from the low 32 bits of the system time and moves on
// while a file of the composed name exists. If every one of the 100000
// candidates exists, the last one is taken.
std::string chooseOutputFileName(const JobSettings& settings, std::string_view form,
                                 std::string_view report, platform::Clock& clock,
                                 platform::FileSystem& files);

}  // namespace vorn
