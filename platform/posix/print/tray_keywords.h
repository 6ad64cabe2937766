// Paper source codes (dmDefaultSource, the profile's trays) as IPP
// media-source keywords for CUPS jobs.
//
//   code  tray               keyword
//   1     upper              top
//   2     lower              bottom
//   3     middle             middle
//   4     manual feed        manual
//   5     envelope feeder    envelope
//   6     envelope, manual   manual
//   7     automatic          auto
//   8     tractor feed       main-roll      (continuous forms)
//   9     small format       by-pass-tray
//   10    large format       alternate
//   11    large capacity     large-capacity
//   14    cassette           main
//   15    form source        auto           (the tray holding the form)
//   256+n user tray n        tray-(n+1), up to tray-20
//   others                   none: the job names no source
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorn::platform::posix {

std::optional<std::string> mediaSourceKeyword(std::int16_t trayCode);

}  // namespace vorn::platform::posix
