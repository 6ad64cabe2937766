#include "agent/diag/error_names.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

namespace vorn {
namespace {

TEST(ErrorNames, ResultCodeTableHasItsCountsByFacility) {
  std::map<std::uint32_t, int> counts;
  for (const auto& entry : resultCodeNames()) ++counts[(entry.code >> 16) & 0x1FFF];
  const std::map<std::uint32_t, int> expected = {
      {0, 37}, {1, 49}, {2, 41}, {3, 42}, {4, 112}, {7, 4}, {8, 12}, {9, 33}, {10, 40}, {11, 22},
  };
  EXPECT_EQ(counts, expected);
  EXPECT_EQ(resultCodeNames().size(), 392u);
}

TEST(ErrorNames, ResultCodeFamiliesMatchTheirFacilities) {
  const std::map<std::uint32_t, std::regex> families = {
      {0, std::regex("S_OK|S_FALSE|E_[A-Z_]+|CO_E_[A-Z0-9_]+")},
      {1, std::regex("RPC_E_[A-Z_]+")},
      {2, std::regex("(DISP|TYPE)_E_[A-Z_]+")},
      {3, std::regex("STG_[SE]_[A-Z_]+")},
      {4, std::regex("[A-Z0-9]+_[SE]_[A-Z0-9_]+")},
      {7, std::regex("E_(ACCESSDENIED|HANDLE|OUTOFMEMORY|INVALIDARG)")},
      {8, std::regex("(CO_S|CO_E|MK_E|MEM_E)_[A-Z_]+")},
      {9, std::regex("NTE_[A-Z_]+")},
      {10, std::regex("CTL_E_[A-Z]+")},
      {11, std::regex("(TRUST|DIGSIG|CERT)_E_[A-Z_]+")},
  };
  for (const auto& entry : resultCodeNames()) {
    const std::string name(entry.name);
    SCOPED_TRACE(name);
    EXPECT_TRUE(std::regex_match(name, families.at((entry.code >> 16) & 0x1FFF)));
  }
}

TEST(ErrorNames, ResultCodeRangesHoldTheirBounds) {
  for (const auto& entry : resultCodeNames()) {
    SCOPED_TRACE(std::string(entry.name));
    const std::uint32_t facility = (entry.code >> 16) & 0x1FFF;
    const std::uint32_t low = entry.code & 0xFFFF;
    const bool failure = (entry.code & 0x80000000u) != 0;
    if (facility == 0 && failure) {
      EXPECT_TRUE(low >= 0x000A || low == 0xFFFF);
    }
    if (facility == 4 && failure) {
      EXPECT_LE(low, 0x01FFu);
    }
    if (facility == 8) {
      EXPECT_LE(low, 0x0012u);
    }
    if (facility == 10) {
      EXPECT_LE(low, 0x02EAu);
    }
  }
}

TEST(ErrorNames, ListedResultCodesBearTheirNames) {
  const std::map<std::uint32_t, std::string> examples = {
      {0x00000000u, "S_OK"},
      {0x00000001u, "S_FALSE"},
      {0x8000000Au, "E_PENDING"},
      {0x80004005u, "E_FAIL"},
      {0x8000FFFFu, "E_UNEXPECTED"},
      {0x80040154u, "REGDB_E_CLASSNOTREG"},
      {0x80070005u, "E_ACCESSDENIED"},
      {0x80070006u, "E_HANDLE"},
      {0x8007000Eu, "E_OUTOFMEMORY"},
      {0x80070057u, "E_INVALIDARG"},
      {0x00080012u, "CO_S_NOTALLINTERFACES"},
      {0x80080011u, "MEM_E_INVALID_SIZE"},
  };
  for (const auto& [code, name] : examples) {
    SCOPED_TRACE(name);
    EXPECT_EQ(findResultCodeName(code), name);
  }
  EXPECT_EQ(findResultCodeName(0x80040200u), std::nullopt);
  EXPECT_EQ(findResultCodeName(0x80070002u), std::nullopt);
  EXPECT_EQ(findResultCodeName(0xFFFFFFFFu), std::nullopt);
}

TEST(ErrorNames, SystemErrorTableHasItsCountRangeAndFamilies) {
  const auto table = systemErrorNames();
  ASSERT_EQ(table.size(), 676u);
  EXPECT_EQ(table.front().code, 0u);
  EXPECT_EQ(table.back().code, 6118u);
  const std::regex family("(ERROR|RPC_S|RPC_X|EPT_S|OR)_[A-Z0-9_]+[a-z0-9]*");
  for (const auto& entry : table) {
    SCOPED_TRACE(std::string(entry.name));
    EXPECT_LT(entry.code, 9000u);
    EXPECT_TRUE(std::regex_match(std::string(entry.name), family));
  }
}

TEST(ErrorNames, ListedSystemErrorsBearTheirNames) {
  const std::map<std::uint32_t, std::string> examples = {
      {0, "ERROR_SUCCESS"},
      {2, "ERROR_FILE_NOT_FOUND"},
      {5, "ERROR_ACCESS_DENIED"},
      {234, "ERROR_MORE_DATA"},
      {1062, "ERROR_SERVICE_NOT_ACTIVE"},
      {1801, "ERROR_INVALID_PRINTER_NAME"},
      {6118, "ERROR_NO_BROWSER_SERVERS_FOUND"},
  };
  for (const auto& [code, name] : examples) {
    SCOPED_TRACE(name);
    EXPECT_EQ(findSystemErrorName(code), name);
  }
  EXPECT_EQ(findSystemErrorName(10061), std::nullopt);
  EXPECT_EQ(findSystemErrorName(6119), std::nullopt);
  EXPECT_EQ(findSystemErrorName(0x80070002u), std::nullopt);
}

TEST(ErrorNames, TablesAreSortedForBinarySearch) {
  for (const auto table : {resultCodeNames(), systemErrorNames()}) {
    for (std::size_t i = 1; i < table.size(); ++i) EXPECT_LT(table[i - 1].code, table[i].code);
  }
  for (const auto& entry : resultCodeNames()) EXPECT_EQ(findResultCodeName(entry.code), entry.name);
  for (const auto& entry : systemErrorNames()) EXPECT_EQ(findSystemErrorName(entry.code), entry.name);
}

}  // namespace
}  // namespace vorn
