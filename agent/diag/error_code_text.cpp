#include "agent/diag/error_code_text.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <optional>

#include "agent/diag/error_names.h"
#include "platform/error.h"

namespace vorn {
namespace {

constexpr std::uint32_t kFacilityWin32 = 7;
constexpr std::uint32_t kFacilityWindows = 8;
constexpr std::uint32_t kFacilityItf = 4;
constexpr std::uint32_t kFacilityControl = 10;

// The system's text comes through a buffer of this size; a text that does
// not fit is no text at all, as with FormatMessageA.
constexpr std::size_t kSystemTextBuffer = 400;

constexpr std::string_view kUnknownError = "Unknown or new error";
constexpr std::string_view kControlDescription =
    "This is a FACILITY_CONTROL error that is specific to the control's interface that returned "
    "this error. See the documentation of the interface that returned this error for information "
    "about this HRESULT.";
constexpr std::string_view kItfDescription =
    "This is a FACILITY_ITF error that is specific to the interface that returned this error. See "
    "the documentation of the interface that returned this error for information about this "
    "HRESULT.";

std::uint32_t facilityOf(std::uint32_t code) { return (code >> 16) & 0x1FFFu; }
std::uint32_t low16(std::uint32_t code) { return code & 0xFFFFu; }

std::string systemText(std::uint32_t code) {
  std::string text = platform::systemMessageText(code);
  if (text.size() >= kSystemTextBuffer) text.clear();
  return text;
}

std::string systemTextOrFallback(std::uint32_t code) {
  std::string text = systemText(code);
  if (!text.empty()) return text;
  const std::uint32_t low = low16(code);
  if (low >= 9000 && low <= 9999) return "Unknown DNS error";
  if (low >= 10000 && low <= 11999) return "Unknown TCP/IP communications error";
  return std::string(kUnknownError);
}

struct NameAndDescription {
  std::string_view name;
  std::string description;
};

NameAndDescription describe(std::uint32_t code) {
  const std::uint32_t facility = facilityOf(code);
  const bool win32OrWindows = facility == kFacilityWin32 || facility == kFacilityWindows;
  if (const auto name = findResultCodeName(code)) return {*name, systemText(code)};
  if (win32OrWindows) {
    if (const auto name = findSystemErrorName(low16(code))) return {*name, systemText(code)};
    return {kUnknownError, systemTextOrFallback(code)};
  }
  if (facility == kFacilityControl && low16(code) >= 600) {
    return {"", std::string(kControlDescription)};
  }
  if (facility == kFacilityItf && low16(code) >= 512) return {"", std::string(kItfDescription)};
  return {kUnknownError, systemTextOrFallback(code)};
}

}  // namespace

std::string_view FacilityName(std::uint32_t code) {
  static constexpr std::array<std::string_view, 13> kNames = {
      "FACILITY_NULL",    "FACILITY_RPC",      "FACILITY_DISPATCH",
      "FACILITY_STORAGE", "FACILITY_ITF",      "",
      "",                 "FACILITY_WIN32",    "FACILITY_WINDOWS",
      "FACILITY_SSPI",    "FACILITY_CONTROL",  "FACILITY_CERT",
      "FACILITY_INTERNET",
  };
  const std::uint32_t facility = facilityOf(code);
  if (facility < kNames.size() && !kNames[facility].empty()) return kNames[facility];
  return "Unknown or new FACILITY code";
}

std::string ErrorCodeText(std::uint32_t code) {
  const NameAndDescription described = describe(code);
  std::string result = described.description;
  if ((code >> 16) == 0) {
    result += " (Error=" + std::to_string(low16(code)) + ")";
  } else {
    std::array<char, 16> hex{};
    std::snprintf(hex.data(), hex.size(), "%" PRIx32, code);
    result += " (HResult=";
    result += hex.data();
    result += ", ";
    result += described.name;
    result += ", Facility=";
    result += FacilityName(code);
    result += ")";
  }
  return result;
}

}  // namespace vorn
