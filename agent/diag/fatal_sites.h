// Where each of the agent's fatal errors says it was caught: the unit and the
// line that the fatal message names. Operators quote them in their reports,
// so every entry point keeps its pair, and the pairs live here only.
#pragma once

#include <string_view>

namespace vorn {

struct FatalSite {
  std::string_view unit;
  int line;
};

// The main window's unit: every entry point but the application's start-up.
inline constexpr std::string_view kMainFrameUnit = "MainFrm";

inline constexpr FatalSite kComInitSite{"spoolagent", 128};
inline constexpr FatalSite kFrameConstructionSite{kMainFrameUnit, 88};
inline constexpr FatalSite kWindowCreationSite{kMainFrameUnit, 181};
inline constexpr FatalSite kLinkSetUpSite{kMainFrameUnit, 391};
inline constexpr FatalSite kReadMessageSite{kMainFrameUnit, 423};
inline constexpr FatalSite kJobStartSite{kMainFrameUnit, 587};
inline constexpr FatalSite kJobDataSite{kMainFrameUnit, 603};
inline constexpr FatalSite kJobEndSite{kMainFrameUnit, 620};
inline constexpr FatalSite kTerminateSite{kMainFrameUnit, 679};

}  // namespace vorn
