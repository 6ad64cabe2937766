#include "platform/posix/print/document_name.h"
#include "platform/posix/print/partial_files.h"

#include <gtest/gtest.h>

namespace vorn::platform::posix {
namespace {

struct NameCase {
  std::string input;
  std::string expected;
};

class FileNameComponentTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNameComponentTest, Sanitises) { EXPECT_EQ(fileNameComponent(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, FileNameComponentTest,
    ::testing::Values(NameCase{"Vorn: PAYROLL", "Vorn_ PAYROLL"}, NameCase{"a/b\\c", "a_b_c"},
                      NameCase{"x*y?z\"<>|", "x_y_z____"}, NameCase{"tab\there\x7f", "tab_here_"},
                      NameCase{"..", "document"}, NameCase{"", "document"}, NameCase{"  . ", "document"},
                      NameCase{".hidden", "_hidden"}, NameCase{"trailing. . ", "trailing"},
                      NameCase{"caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},  // Windows-1252 becomes UTF-8
                      NameCase{"undefined\x81", "undefined_"}));

TEST(FileNameComponentTest, LongNamesAreCutOnACharacterBoundary) {
  const std::string name(150, '\xE9');  // 150 characters, 300 bytes in UTF-8
  const std::string result = fileNameComponent(name);
  EXPECT_LE(result.size(), 200u);
  EXPECT_EQ(result.size() % 2, 0u) << "a two-byte character was split";
  EXPECT_EQ(result.substr(0, 2), "\xC3\xA9");
}

TEST(DocumentFileNameTest, NumberNameAndExtension) {
  EXPECT_EQ(documentFileName(42, "Vorn: REPORT"), "42 Vorn_ REPORT.pdf");
}

TEST(PartialFileNameTest, NamesItsWriterAndOnlyPartialNamesHaveOne) {
  EXPECT_EQ(partialFileName("42 Vorn_ REPORT.pdf", 4242), ".42 Vorn_ REPORT.pdf.4242.part");
  EXPECT_EQ(partialFileWriter(".42 Vorn_ REPORT.pdf.4242.part"), 4242);
  for (const char* other : {"42 Vorn_ REPORT.pdf", ".42 Vorn_ REPORT.pdf.part", "a.4242.part", ".x.42a.part",
                            ".x.0.part", ".x..part", "..part", ".4242.part"})
    EXPECT_FALSE(partialFileWriter(other).has_value()) << other;
}

}  // namespace
}  // namespace vorn::platform::posix
