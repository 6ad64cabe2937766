// The arguments of the attach request, built from the printer's profile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/profile/printer_profile.h"

namespace vorn {

// A connect string value: enclosed in double quotes, every double quote
// inside it doubled, nothing else escaped.
std::string QuoteConnectValue(std::string_view value);

// Profile, Server, CommType, Online, Client, Location, Direct and Port, in
// that order, each as key text (with its equals sign and, from the second on,
// the separating comma) followed by the quoted value.
std::string BuildConnectString(const PrinterProfile& profile);

// "%-4.4s%-4.4s" of the two forms: each cut to 4 characters and padded with
// blanks to 4.
std::string BuildFormsText(std::string_view mainForm, std::string_view altForm);

// 2, plus 8 for Restrict, 4 for TwoSide and 1 for TwoTray.
std::int32_t BuildDeviceFlags(const PrinterProfile& profile);

}  // namespace vorn
