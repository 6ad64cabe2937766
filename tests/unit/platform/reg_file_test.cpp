#include "platform/regfile/reg_parser.h"
#include "platform/regfile/reg_writer.h"

#include "platform/registry.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/unit/platform/utf16_file.h"

namespace vorn::platform::regfile {
namespace {

using test::utf16File;

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr std::string_view kV4 = "REGEDIT4\r\n\r\n";
constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\laser1";

Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

RegTree parseOk(std::string_view text) {
  RegParseResult result = parseRegFile(text, "test.reg");
  EXPECT_TRUE(result.tree.has_value()) << result.error;
  if (!result.tree) return RegTree{};
  return std::move(*result.tree);
}

const RegValue* valueIn(const RegTree& tree, std::string_view key, std::string_view name) {
  const RegKey* k = tree.findKey(key);
  return k == nullptr ? nullptr : k->findValue(name);
}

struct ValueCase {
  const char* label;
  std::string_view header;
  std::string valueLine;
  std::string_view name;
  std::uint32_t type;
  Bytes data;
  friend void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.label; }
};

class ValueForms : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueForms, ParseToTypeAndAnsiData) {
  const ValueCase& c = GetParam();
  const std::string text = std::string(c.header) + "[" + std::string(kKey) + "]\r\n" + c.valueLine + "\r\n";
  const RegTree tree = parseOk(text);
  const RegValue* value = valueIn(tree, kKey, c.name);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, c.type);
  EXPECT_EQ(value->data, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    RegFile, ValueForms,
    ::testing::Values(
        ValueCase{"string", kV5, "\"Machine\"=\"host1\"", "Machine", kRegSz, bytesOf(std::string_view("host1\0", 6))},
        ValueCase{"escapes", kV5, R"("loadarea"="C:\\forms\\ \"x\"")", "loadarea", kRegSz,
                  bytesOf(std::string_view("C:\\forms\\ \"x\"\0", 14))},
        ValueCase{"empty string", kV5, "\"User\"=\"\"", "User", kRegSz, Bytes{0}},
        ValueCase{"default value", kV5, "@=\"dflt\"", "", kRegSz, bytesOf(std::string_view("dflt\0", 5))},
        ValueCase{"blanks around =", kV5, "\"A\" = \"b\"  ", "A", kRegSz, Bytes{'b', 0}},
        ValueCase{"utf8 text to 1252", kV5, "\"Location\"=\"Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD\"", "Location",
                  kRegSz, Bytes{'C', 'a', 'f', 0xE9, ' ', 0x80, ' ', '?', 0}},
        ValueCase{"regedit4 text stays 8-bit", kV4, "\"Location\"=\"Caf\xE9\"", "Location", kRegSz,
                  Bytes{'C', 'a', 'f', 0xE9, 0}},
        ValueCase{"dword", kV5, "\"MainTray\"=dword:0001000a", "MainTray", kRegDword, Bytes{0x0A, 0, 1, 0}},
        ValueCase{"short dword", kV5, "\"PTFOpt\"=DWORD:7", "PTFOpt", kRegDword, Bytes{7, 0, 0, 0}},
        ValueCase{"binary", kV5, "\"Bin\"=hex:01,ff,0A", "Bin", kRegBinary, Bytes{1, 0xFF, 0x0A}},
        ValueCase{"empty binary", kV5, "\"Bin\"=hex:", "Bin", kRegBinary, Bytes{}},
        ValueCase{"single-digit bytes", kV5, "\"Bin\"=hex:1, 2 ,3", "Bin", kRegBinary, Bytes{1, 2, 3}},
        ValueCase{"expand sz from utf-16", kV5, "\"P\"=hex(2):25,00,41,00,e9,00,00,00", "P", kRegExpandSz,
                  Bytes{'%', 'A', 0xE9, 0}},
        ValueCase{"expand sz in regedit4", kV4, "\"P\"=hex(2):25,41,e9,00", "P", kRegExpandSz,
                  Bytes{'%', 'A', 0xE9, 0}},
        ValueCase{"multi sz from utf-16", kV5, "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00", "M", kRegMultiSz,
                  Bytes{'a', 0, 'b', 0, 0}},
        ValueCase{"euro sign from utf-16", kV5, "\"E\"=hex(1):ac,20,00,00", "E", kRegSz, Bytes{0x80, 0}},
        ValueCase{"qword as hex(b)", kV5, "\"Q\"=hex(b):01,00,00,00,00,00,00,00", "Q", kRegQword,
                  Bytes{1, 0, 0, 0, 0, 0, 0, 0}},
        ValueCase{"dword given as hex(4)", kV5, "\"D\"=hex(4):07,00,01,00", "D", kRegDword, Bytes{7, 0, 1, 0}},
        ValueCase{"none type", kV5, "\"N\"=hex(0):", "N", kRegNone, Bytes{}},
        ValueCase{"continuation lines", kV5, "\"Bin\"=hex:01,02,\\\r\n  03,04,\\\r\n  05", "Bin", kRegBinary,
                  Bytes{1, 2, 3, 4, 5}},
        ValueCase{"LF line ends", kV5, "\"Bin\"=hex:01,\\\n  02", "Bin", kRegBinary, Bytes{1, 2}}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

struct MalformedCase {
  const char* label;
  std::string text;
  std::size_t line;
  friend void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.label; }
};

class Malformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, FailsWholeWithLineNumber) {
  const MalformedCase& c = GetParam();
  const RegParseResult result = parseRegFile(c.text, "/srv/registry.reg");
  EXPECT_FALSE(result.tree.has_value());
  EXPECT_EQ(result.errorLine, c.line);
  EXPECT_TRUE(result.error.starts_with("/srv/registry.reg:" + std::to_string(c.line) + ": ")) << result.error;
}

const std::string kGoodKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n\"ok\"=\"1\"\r\n";

INSTANTIATE_TEST_SUITE_P(
    RegFile, Malformed,
    ::testing::Values(
        MalformedCase{"empty file", "", 1},
        MalformedCase{"unknown header", "Windows Registry Editor Version 6.00\r\n", 1},
        MalformedCase{"header not first", "\r\nREGEDIT4\r\n", 1},
        MalformedCase{"value before any key", std::string(kV5) + "\"a\"=\"b\"\r\n", 3},
        MalformedCase{"unterminated string", std::string(kV5) + kGoodKey + "\"a\"=\"b\r\n", 5},
        MalformedCase{"unterminated name", std::string(kV5) + kGoodKey + "\"a=\"b\"\r\n", 5},
        MalformedCase{"bad escape", std::string(kV5) + kGoodKey + "\"a\"=\"C:\\temp\"\r\n", 5},
        MalformedCase{"missing =", std::string(kV5) + kGoodKey + "\"a\" \"b\"\r\n", 5},
        MalformedCase{"text after value", std::string(kV5) + kGoodKey + "\"a\"=\"b\" x\r\n", 5},
        MalformedCase{"bad dword", std::string(kV5) + kGoodKey + "\"a\"=dword:12345678\r\n\"b\"=dword:1g\r\n", 6},
        MalformedCase{"dword too long", std::string(kV5) + kGoodKey + "\"a\"=dword:123456789\r\n", 5},
        MalformedCase{"empty dword", std::string(kV5) + kGoodKey + "\"a\"=dword:\r\n", 5},
        MalformedCase{"bad hex byte", std::string(kV5) + kGoodKey + "\"a\"=hex:01,0g\r\n", 5},
        MalformedCase{"three-digit byte", std::string(kV5) + kGoodKey + "\"a\"=hex:001\r\n", 5},
        MalformedCase{"trailing comma", std::string(kV5) + kGoodKey + "\"a\"=hex:01,\r\n", 5},
        MalformedCase{"double comma", std::string(kV5) + kGoodKey + "\"a\"=hex:01,,02\r\n", 5},
        MalformedCase{"bad hex type", std::string(kV5) + kGoodKey + "\"a\"=hex(x):01\r\n", 5},
        MalformedCase{"unclosed hex type", std::string(kV5) + kGoodKey + "\"a\"=hex(2:01\r\n", 5},
        MalformedCase{"fault on continuation line", std::string(kV5) + kGoodKey + "\"a\"=hex:01,\\\r\n  zz\r\n",
                      6},
        MalformedCase{"continuation at end", std::string(kV5) + kGoodKey + "\"a\"=hex:01,\\", 5},
        MalformedCase{"unknown data form", std::string(kV5) + kGoodKey + "\"a\"=str:x\r\n", 5},
        MalformedCase{"key without bracket", std::string(kV5) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", 3},
        MalformedCase{"unknown hive", std::string(kV5) + "[HKEY_NOWHERE\\SOFTWARE]\r\n", 3},
        MalformedCase{"empty key component", std::string(kV5) + "[HKEY_LOCAL_MACHINE\\\\SOFTWARE]\r\n", 3},
        MalformedCase{"trailing backslash in key", std::string(kV5) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\]\r\n", 3},
        MalformedCase{"deleting a hive", std::string(kV5) + "[-HKEY_LOCAL_MACHINE]\r\n", 3},
        MalformedCase{"value after a deleted key", std::string(kV5) + "[-HKEY_LOCAL_MACHINE\\X]\r\n\"a\"=\"b\"\r\n",
                      4},
        MalformedCase{"stray text", std::string(kV5) + kGoodKey + "hello\r\n", 5},
        MalformedCase{"invalid utf-8", std::string(kV5) + kGoodKey + "\"a\"=\"\xC3\x28\"\r\n", 5},
        MalformedCase{"overlong utf-8", std::string(kV5) + kGoodKey + "\"a\"=\"\xC0\xAF\"\r\n", 5},
        MalformedCase{"zero byte", std::string(kV5) + kGoodKey + std::string("\"a\"=\"\0\"\r\n", 8), 5},
        MalformedCase{"stray carriage return", std::string(kV5) + kGoodKey + "\"a\"=\"x\ry\"\r\n", 5},
        MalformedCase{"fault in a skipped key's value",
                      std::string(kV5) + "[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\r\n\"a\"=b\r\n", 4}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(RegFile, Utf16ExportReadsLikeItsRegedit4Twin) {
  const std::string utf16 = utf16File(
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\Caf\u00e9]\r\n"
      u"\"Location\"=\"Z\u00fcrich \u20ac\"\r\n"
      u"\"MainTray\"=dword:00000007\r\n"
      u"\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
      u"\"Forms\"=hex(7):41,00,00,00,42,00,00,00,00,00\r\n"
      u"\"Raw\"=hex:de,ad\r\n\r\n");
  const std::string regedit4 =
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\Caf\xE9]\r\n"
      "\"Location\"=\"Z\xFCrich \x80\"\r\n"
      "\"MainTray\"=dword:00000007\r\n"
      "\"Path\"=hex(2):25,54,45,4d,50,25,00\r\n"
      "\"Forms\"=hex(7):41,00,42,00,00\r\n"
      "\"Raw\"=hex:de,ad\r\n\r\n";
  const RegTree fromUtf16 = parseOk(utf16);
  const RegTree fromRegedit4 = parseOk(regedit4);
  EXPECT_TRUE(fromUtf16.sameAs(fromRegedit4));
  const RegKey* key = fromUtf16.findKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\CAF\xC9");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->name(), "Caf\xE9");
  ASSERT_NE(key->findValue("location"), nullptr);
  EXPECT_EQ(key->findValue("location")->data, bytesOf(std::string_view("Z\xFCrich \x80\0", 9)));
}

TEST(RegFile, Utf8ByteOrderMarkIsAccepted) {
  const RegTree tree = parseOk("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\S]\n\"a\"=\"\xC3\xA9\"\n");
  ASSERT_NE(valueIn(tree, "HKEY_LOCAL_MACHINE\\S", "a"), nullptr);
  EXPECT_EQ(valueIn(tree, "HKEY_LOCAL_MACHINE\\S", "a")->data, (Bytes{0xE9, 0}));
}

// Windows cannot hold a key name longer than 255 characters, a hand-written
// file can: that key goes with its values (and subkeys named under it), the
// rest of the file is read, and each skipped key is named by its line.
TEST(RegFile, OverlongKeyNamesAreSkippedWithTheirValues) {
  const std::string longName(256, 'k');
  const RegParseResult result = parseRegFile(
      std::string(kV5) +
          "[HKEY_LOCAL_MACHINE\\P\\before]\r\n\"a\"=\"1\"\r\n"
          "[HKEY_LOCAL_MACHINE\\P\\" + longName + "]\r\n\"b\"=\"2\"\r\n\"c\"=dword:3\r\n"
          "[HKEY_LOCAL_MACHINE\\P\\" + longName + "\\sub]\r\n"
          "[-HKEY_LOCAL_MACHINE\\P\\" + longName + "]\r\n"
          "[HKEY_LOCAL_MACHINE\\P\\" + std::string(255, 'm') + "]\r\n\"d\"=\"4\"\r\n",
      "/srv/registry.reg");
  ASSERT_TRUE(result.tree.has_value()) << result.error;
  const RegKey* p = result.tree->findKey("HKEY_LOCAL_MACHINE\\P");
  ASSERT_NE(p, nullptr);
  std::vector<std::string> names;
  for (const RegKey* k : p->subkeys()) names.push_back(k->name());
  EXPECT_EQ(names, (std::vector<std::string>{"before", std::string(255, 'm')}));
  EXPECT_NE(valueIn(*result.tree, "HKEY_LOCAL_MACHINE\\P\\" + std::string(255, 'm'), "d"), nullptr);
  ASSERT_EQ(result.warnings.size(), 3u);
  EXPECT_TRUE(result.warnings[0].starts_with("/srv/registry.reg:5: key name longer than 255 characters"))
      << result.warnings[0];
  EXPECT_TRUE(result.warnings[1].starts_with("/srv/registry.reg:8: ")) << result.warnings[1];
  EXPECT_TRUE(result.warnings[2].starts_with("/srv/registry.reg:9: ")) << result.warnings[2];
}

TEST(RegFile, OddUtf16FileIsMalformed) {
  std::string text = utf16File(u"REGEDIT4\r\n");
  text.push_back('x');
  EXPECT_FALSE(parseRegFile(text, "f").tree.has_value());
}

TEST(RegFile, DeletionsApplyInFileOrder) {
  const RegTree tree = parseOk(std::string(kV5) +
                               "[HKEY_LOCAL_MACHINE\\S\\A\\Deep]\r\n\"x\"=\"1\"\r\n"
                               "[HKEY_LOCAL_MACHINE\\S\\B]\r\n\"keep\"=\"1\"\r\n\"drop\"=\"1\"\r\n@=\"d\"\r\n"
                               "[-HKEY_LOCAL_MACHINE\\s\\a]\r\n"
                               "[-HKEY_LOCAL_MACHINE\\S\\Missing]\r\n"
                               "[HKEY_LOCAL_MACHINE\\S\\B]\r\n\"DROP\"=-\r\n@=-\r\n\"never\"=-\r\n");
  EXPECT_EQ(tree.findKey("HKEY_LOCAL_MACHINE\\S\\A"), nullptr);
  EXPECT_EQ(tree.findKey("HKEY_LOCAL_MACHINE\\S\\A\\Deep"), nullptr);
  const RegKey* b = tree.findKey("HKEY_LOCAL_MACHINE\\S\\B");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->values().size(), 1u);
  EXPECT_EQ(b->values()[0].name, "keep");
}

// Two Chinese names both read "???" through the ANSI code page: each stays a
// key of its own, none is reached by "???" (which is a key of its own too),
// and the writer gives the names back.
TEST(RegFile, NamesTheCodePageCannotHoldStayKeysOfTheirOwn) {
  const std::string p = "HKEY_LOCAL_MACHINE\\P\\";
  const std::string printer = "\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA";
  const std::string copier = "\xE5\xA4\x8D\xE5\x8D\xB0\xE6\x9C\xBA";
  const std::string scanner = "\xE6\x89\xAB\xE6\x8F\x8F\xE4\xBB\xAA";
  const RegTree tree = parseOk(std::string(kV5) + "[" + p + printer + "]\r\n\"n\"=\"1\"\r\n[" + p + copier +
                               "]\r\n\"n\"=\"2\"\r\n[" + p + "???]\r\n\"n\"=\"3\"\r\n[-" + p + copier + "]\r\n[" + p +
                               scanner + "\\Deep]\r\n");
  std::map<std::string, std::string> names;  // Unicode name -> ANSI name
  for (const RegKey* key : tree.findKey("HKEY_LOCAL_MACHINE\\P")->subkeys()) names[key->unicodeName()] = key->name();
  EXPECT_EQ(names, (std::map<std::string, std::string>{{"???", "???"}, {printer, "???"}, {scanner, "???"}}));
  const RegValue* reached = valueIn(tree, p + "???", "n");
  ASSERT_NE(reached, nullptr);
  EXPECT_EQ(reached->data, bytesOf(std::string_view("3", 2)));
  EXPECT_EQ(tree.findKey(p + "???\\Deep"), nullptr);

  const std::string written = writeRegFile(tree);
  EXPECT_NE(written.find("[" + p + printer + "]"), std::string::npos);
  EXPECT_NE(written.find("[" + p + scanner + "\\Deep]"), std::string::npos);
  EXPECT_TRUE(parseOk(written).sameAs(tree));
  EXPECT_THROW(writeRegFile(tree, RegFileFormat::kRegedit4), std::invalid_argument);
}

TEST(RegFile, CommentsAndBlankLinesAreIgnored) {
  const RegTree tree = parseOk(std::string(kV4) + "; a comment\r\n   \r\n[HKEY_LOCAL_MACHINE\\S]\r\n  ; indented\r\n"
                                                   "\t\"a\"=\"b\"\r\n");
  EXPECT_NE(valueIn(tree, "HKEY_LOCAL_MACHINE\\S", "A"), nullptr);
}

TEST(RegFile, LaterValueReplacesEarlierKeepingStoredCase) {
  const RegTree tree = parseOk(std::string(kV5) + "[HKEY_LOCAL_MACHINE\\S]\r\n\"Port\"=\"1\"\r\n\"PORT\"=dword:2\r\n");
  const RegKey* key = tree.findKey("HKEY_LOCAL_MACHINE\\S");
  ASSERT_EQ(key->values().size(), 1u);
  EXPECT_EQ(key->values()[0].name, "Port");
  EXPECT_EQ(key->values()[0].type, kRegDword);
}

TEST(RegFile, SubkeysKeepFirstCaseAndSortWithoutRegardToCase) {
  const RegTree tree = parseOk(std::string(kV5) +
                               "[HKEY_LOCAL_MACHINE\\P\\laser2]\r\n[HKEY_LOCAL_MACHINE\\P\\Laser1]\r\n"
                               "[HKEY_LOCAL_MACHINE\\P\\LASER1]\r\n[hkey_local_machine\\p\\a_b]\r\n"
                               "[HKEY_LOCAL_MACHINE\\P\\aZ]\r\n[HKEY_LOCAL_MACHINE\\P\\\xC3\xA9t\xC3\xA9]\r\n"
                               "[HKEY_LOCAL_MACHINE\\P\\Zeta]\r\n");
  const RegKey* p = tree.findKey("HKEY_LOCAL_MACHINE\\P");
  ASSERT_NE(p, nullptr);
  std::vector<std::string> names;
  for (const RegKey* k : p->subkeys()) names.push_back(k->name());
  // Upper-case order: '_' (0x5F) sorts after 'Z'; 'É' (U+00C9) after ASCII letters.
  EXPECT_EQ(names, (std::vector<std::string>{"aZ", "a_b", "Laser1", "laser2", "Zeta", "\xE9t\xE9"}));
  EXPECT_EQ(tree.root().subkeys().front()->name(), "HKEY_LOCAL_MACHINE");
}

TEST(RegFile, NamesCompareWithoutCaseAcrossTheCodePage) {
  EXPECT_TRUE(regNamesEqual("Laser\xC9", "laser\xE9"));
  EXPECT_TRUE(regNamesEqual("\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"));  // Š Œ Ž Ÿ
  EXPECT_FALSE(regNamesEqual("a", "ab"));
  EXPECT_FALSE(regNamesEqual("\xD7", "\xF7"));  // × and ÷ are not a case pair
}

RegTree sampleTree() {
  RegTree tree;
  RegKey& profile = tree.createKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\Laser\xC9");
  profile.setString("Machine", "host \"one\" \\ two\t\xE9\x80\x81");
  profile.setString("", "default");
  profile.setDword("MainTray", 0x10007);
  profile.setExpandString("Path", "%TEMP%\\x");
  const std::vector<std::string> forms{"A", "", "\x9F"};
  profile.setMultiString("Forms", forms);
  profile.setValue("Bin", kRegBinary, Bytes(100, 0xAB));
  profile.setValue("Odd dword", kRegDword, Bytes{1, 2});
  profile.setValue("Ctrl", kRegSz, Bytes{'a', '\n', 'b', 0});
  profile.setValue("No terminator", kRegSz, Bytes{'a', 'b'});
  profile.setValue("Two terminators", kRegSz, Bytes{'a', 0, 0});
  profile.setValue("Big type", 0x12345678, Bytes{9});
  tree.createKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty");
  tree.createKey("HKEY_USERS");
  return tree;
}

class RoundTrip : public ::testing::TestWithParam<RegFileFormat> {};

TEST_P(RoundTrip, WriterOutputParsesBackToTheSameTree) {
  const RegTree tree = sampleTree();
  const std::string text = writeRegFile(tree, GetParam());
  const RegParseResult parsed = parseRegFile(text, "written.reg");
  ASSERT_TRUE(parsed.tree.has_value()) << parsed.error << "\n" << text;
  EXPECT_TRUE(parsed.tree->sameAs(tree)) << text;
}

INSTANTIATE_TEST_SUITE_P(RegFile, RoundTrip,
                         ::testing::Values(RegFileFormat::kVersion5Utf8, RegFileFormat::kVersion5Utf16,
                                           RegFileFormat::kRegedit4));

TEST(RegFile, WriterUsesTheCanonicalForms) {
  RegTree tree;
  RegKey& key = tree.createKey("HKEY_LOCAL_MACHINE\\S");
  key.setString("a", "x\\\"y");
  key.setDword("d", 0x1000A);
  key.setExpandString("e", "%A%");
  const std::string text = writeRegFile(tree);
  EXPECT_EQ(text,
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\S]\r\n"
            "\"a\"=\"x\\\\\\\"y\"\r\n"
            "\"d\"=dword:0001000a\r\n"
            "\"e\"=hex(2):25,00,41,00,25,00,00,00\r\n\r\n");
}

TEST(RegFile, WriterWrapsLongHexLinesAtEightyColumns) {
  RegTree tree;
  tree.createKey("HKEY_LOCAL_MACHINE\\S").setValue("b", kRegBinary, Bytes(200, 0x11));
  const std::string text = writeRegFile(tree);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    start = end + 2;
  }
}

TEST(RegFile, WriterRefusesNamesTheFormatCannotHold) {
  RegTree tree;
  tree.createKey("HKEY_LOCAL_MACHINE\\S").setString("line\nbreak", "x");
  EXPECT_THROW(writeRegFile(tree), std::invalid_argument);
}

TEST(RegFile, TreeRejectsInvalidPaths) {
  RegTree tree;
  EXPECT_THROW(tree.createKey("SOFTWARE\\X"), std::invalid_argument);
  EXPECT_THROW(tree.createKey("HKEY_LOCAL_MACHINE\\\\X"), std::invalid_argument);
  EXPECT_FALSE(tree.removeKey("HKEY_LOCAL_MACHINE"));
  EXPECT_EQ(tree.findKey("HKEY_LOCAL_MACHINE\\X\\"), nullptr);
}

}  // namespace
}  // namespace vorn::platform::regfile
