#include "agent/profile/profile_values.h"

#include <array>

#include "agent/profile/printer_profile.h"
#include "agent/profile/registry_values.h"
#include "platform/ansi_code_page.h"

namespace vorn {
namespace {

using enum ProfileValueKind;

constexpr std::size_t kText = kProfileTextBytes - 1;
// The service reads Active into 255 bytes, its terminating zero among them.
constexpr std::size_t kActiveChars = 254;

constexpr std::array<ProfileValueSpec, 26> kSpecs = {{
    {"Active", flag, kActiveChars, false, "yes"},
    {"Location", text, kText, true, {}},
    {"Machine", text, kText, true, {}},
    {"Online", text, kText, true, {}},
    {"Port", decimalText, kText, false, {}},
    {"User", text, kText, true, {}},
    {"printerid", text, kText, true, {}},
    {"printername", text, kPrinterNameMax, true, {}},
    {"CommType", flag, kText, false, "socket"},
    {"Direct", flag, kText, false, "yes"},
    {"loadarea", text, kLoadDirectoryMax, false, {}},
    {"MainForm", text, kText, false, {}},
    {"AltForm", text, kText, false, {}},
    {"MainTray", number, 0, false, {}},
    {"AltTray", number, 0, false, {}},
    {"Restrict", flag, kText, false, "yes"},
    {"TwoSide", flag, kText, false, "yes"},
    {"TwoTray", flag, kText, false, "yes"},
    {"ZedudFlag", flag, kText, false, "yes"},
    {"FontOpt", flag, kText, false, "yes"},
    {"MarginOpt", flag, kText, false, "yes"},
    {"PrintToFile", flag, kText, false, "yes"},
    {"PTFOpt", number, 0, false, {}},
    {"PTFPath", text, kText, false, {}},
    {"directtodisk", flag, kText, false, "yes"},
    {"JetformFlag", flag, kText, false, "yes"},
}};

}  // namespace

std::span<const ProfileValueSpec> profileValueSpecs() { return kSpecs; }

const ProfileValueSpec* findProfileValueSpec(std::string_view name) {
  for (const ProfileValueSpec& spec : profileValueSpecs()) {
    if (platform::equalsIgnoringCase(spec.name, name)) return &spec;
  }
  return nullptr;
}

}  // namespace vorn
