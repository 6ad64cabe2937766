#include "agent/diag/error_code_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"

namespace vorn {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kControlText =
    "This is a FACILITY_CONTROL error that is specific to the control's interface that returned "
    "this error. See the documentation of the interface that returned this error for information "
    "about this HRESULT.";
constexpr const char* kItfText =
    "This is a FACILITY_ITF error that is specific to the interface that returned this error. See "
    "the documentation of the interface that returned this error for information about this "
    "HRESULT.";

// Codes whose description is the system's own text: the result is that text
// followed by the suffix.
struct SystemTextCase {
  std::uint32_t code;
  const char* suffix;
};

TEST(ErrorCodeText, DescribesCodesWithTheSystemTextAndTheRightSuffix) {
  const std::vector<SystemTextCase> cases = {
      // Plain system codes: the suffix carries no name.
      {0, " (Error=0)"},
      {5, " (Error=5)"},
      {1801, " (Error=1801)"},
      {10061, " (Error=10061)"},
      // Rule 1: the result-code table.
      {0x80004005u, " (HResult=80004005, E_FAIL, Facility=FACILITY_NULL)"},
      {0x8000FFFFu, " (HResult=8000ffff, E_UNEXPECTED, Facility=FACILITY_NULL)"},
      {0x80040154u, " (HResult=80040154, REGDB_E_CLASSNOTREG, Facility=FACILITY_ITF)"},
      {0x800401FFu, " (HResult=800401ff, CO_E_RELEASED, Facility=FACILITY_ITF)"},
      {0x800A0005u, " (HResult=800a0005, CTL_E_ILLEGALFUNCTIONCALL, Facility=FACILITY_CONTROL)"},
      {0x800A02EAu, " (HResult=800a02ea, CTL_E_REPLACEMENTSTOOLONG, Facility=FACILITY_CONTROL)"},
      {0x00000001u, " (Error=1)"},
      // Rule 1 comes before rule 2: a WIN32 code with its own E_ name.
      {0x80070005u, " (HResult=80070005, E_ACCESSDENIED, Facility=FACILITY_WIN32)"},
      {0x80070057u, " (HResult=80070057, E_INVALIDARG, Facility=FACILITY_WIN32)"},
      // Rule 2: the system-error table by the low 16 bits.
      {0x80070002u, " (HResult=80070002, ERROR_FILE_NOT_FOUND, Facility=FACILITY_WIN32)"},
      {0x80070709u, " (HResult=80070709, ERROR_INVALID_PRINTER_NAME, Facility=FACILITY_WIN32)"},
      {0x80080020u, " (HResult=80080020, ERROR_SHARING_VIOLATION, Facility=FACILITY_WINDOWS)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(ErrorCodeText(c.code), platform::systemMessageText(c.code) + c.suffix);
  }
}

TEST(ErrorCodeText, PlainCodesNeverCarryTheirSymbolicName) {
  const std::string text = ErrorCodeText(5);
  EXPECT_THAT(text, HasSubstr("(Error=5)"));
  EXPECT_THAT(text, Not(HasSubstr("ERROR_ACCESS_DENIED")));
  EXPECT_FALSE(platform::systemMessageText(5).empty());
}

// Codes the system cannot describe: the description is fixed or a fallback.
struct FixedTextCase {
  std::uint32_t code;
  std::string expected;
};

TEST(ErrorCodeText, FallsBackWhenTheSystemHasNoText) {
  const std::vector<FixedTextCase> cases = {
      // Rule 3: WIN32 or WINDOWS, low bits not in the table.
      {0x8008274Du,
       "Unknown TCP/IP communications error (HResult=8008274d, Unknown or new error, "
       "Facility=FACILITY_WINDOWS)"},
      {0x80082328u,
       "Unknown DNS error (HResult=80082328, Unknown or new error, Facility=FACILITY_WINDOWS)"},
      {0x8007FFFFu,
       "Unknown or new error (HResult=8007ffff, Unknown or new error, Facility=FACILITY_WIN32)"},
      // Rule 4: CONTROL, 600 and above.
      {0x800A0258u, std::string(kControlText) + " (HResult=800a0258, , Facility=FACILITY_CONTROL)"},
      {0x800AFFFFu, std::string(kControlText) + " (HResult=800affff, , Facility=FACILITY_CONTROL)"},
      // Rule 5: ITF, 512 and above, not in the table.
      {0x80040200u, std::string(kItfText) + " (HResult=80040200, , Facility=FACILITY_ITF)"},
      {0x8004D000u, std::string(kItfText) + " (HResult=8004d000, , Facility=FACILITY_ITF)"},
      // Rule 6: everything else, with the fallbacks by the low 16 bits.
      {0x800A0257u,
       "Unknown or new error (HResult=800a0257, Unknown or new error, Facility=FACILITY_CONTROL)"},
      {0x80040013u,
       "Unknown or new error (HResult=80040013, Unknown or new error, Facility=FACILITY_ITF)"},
      {9999, "Unknown DNS error (Error=9999)"},
      {11999, "Unknown TCP/IP communications error (Error=11999)"},
      {12000, "Unknown or new error (Error=12000)"},
      {0x20000001u,
       "Unknown or new error (HResult=20000001, Unknown or new error, Facility=FACILITY_NULL)"},
      {0x800D0001u,
       "Unknown or new error (HResult=800d0001, Unknown or new error, Facility=Unknown or new "
       "FACILITY code)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_EQ(platform::systemMessageText(c.code), "") << "the case needs a code without text";
    EXPECT_EQ(ErrorCodeText(c.code), c.expected);
  }
}

TEST(ErrorCodeText, ATableNameWithoutSystemTextKeepsAnEmptyDescription) {
  const std::vector<FixedTextCase> cases = {
      {0x800401E4u, " (HResult=800401e4, MK_E_SYNTAX, Facility=FACILITY_ITF)"},
      {0x800704C7u, " (HResult=800704c7, ERROR_CANCELLED, Facility=FACILITY_WIN32)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_EQ(platform::systemMessageText(c.code), "") << "the case needs a code without text";
    EXPECT_EQ(ErrorCodeText(c.code), c.expected);
  }
}

TEST(FacilityName, NamesTheKnownFacilitiesFromBits16To28) {
  const std::vector<std::pair<std::uint32_t, const char*>> cases = {
      {0x80000000u, "FACILITY_NULL"},     {0x80010000u, "FACILITY_RPC"},
      {0x80020000u, "FACILITY_DISPATCH"}, {0x80030000u, "FACILITY_STORAGE"},
      {0x80040000u, "FACILITY_ITF"},      {0x80070000u, "FACILITY_WIN32"},
      {0x80080000u, "FACILITY_WINDOWS"},  {0x80090000u, "FACILITY_SSPI"},
      {0x800A0000u, "FACILITY_CONTROL"},  {0x800B0000u, "FACILITY_CERT"},
      {0x800C0000u, "FACILITY_INTERNET"}, {0x00070000u, "FACILITY_WIN32"},
      {0xE0070000u, "FACILITY_WIN32"},    {0x80050000u, "Unknown or new FACILITY code"},
      {0x80060000u, "Unknown or new FACILITY code"},
      {0x800D0000u, "Unknown or new FACILITY code"},
      {0x9FFF0000u, "Unknown or new FACILITY code"},
      // Bits 29 and up are not part of the facility.
      {0xA0070000u, "FACILITY_WIN32"},
  };
  for (const auto& [code, name] : cases) {
    SCOPED_TRACE(code);
    EXPECT_EQ(FacilityName(code), name);
  }
}

}  // namespace
}  // namespace vorn
