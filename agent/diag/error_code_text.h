// The readable text of a system error code or a COM result code: the
// system's message text followed by the code, its symbolic name and facility.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn {

// For a code whose bits 16 to 31 are zero: "<text> (Error=<low 16 bits>)";
// otherwise "<text> (HResult=<hex>, <name>, Facility=<facility>)".
std::string ErrorCodeText(std::uint32_t code);

// The name of the facility in bits 16 to 28 of `code`
// ("Unknown or new FACILITY code" for facilities without one).
std::string_view FacilityName(std::uint32_t code);

}  // namespace vorn
