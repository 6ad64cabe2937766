#include "platform/regfile/reg_file_editor.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/registry.h"
#include "tests/unit/platform/utf16_file.h"

namespace vorn::platform::regfile {
namespace {

constexpr std::string_view kProfiles = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles";

std::string key(std::string_view name) { return std::string(kProfiles) + "\\" + std::string(name); }

RegData text(std::string_view s) { return RegData::terminatedText(s); }
RegData dword(std::uint8_t low) { return RegData{low, 0, 0, 0}; }

struct EditCase {
  const char* label;
  std::string before;
  std::function<void(RegFileEditor&)> edit;
  std::string after;  // the whole file, byte for byte
  friend void PrintTo(const EditCase& c, std::ostream* os) { *os << c.label; }
};

class Edits : public ::testing::TestWithParam<EditCase> {};

TEST_P(Edits, ChangeOnlyTheLinesTheyTouch) {
  const EditCase& c = GetParam();
  std::string fault;
  auto editor = RegFileEditor::open(std::span(reinterpret_cast<const std::uint8_t*>(c.before.data()), c.before.size()),
                                    "before.reg", fault);
  ASSERT_TRUE(editor) << fault;
  c.edit(*editor);
  const std::string after = editor->bytes();
  EXPECT_EQ(after, c.after);
  // And the file reads as the registry the edits made.
  const RegParseResult reread = parseRegFile(after, "after.reg");
  ASSERT_TRUE(reread.tree) << reread.error;
  EXPECT_TRUE(reread.tree->sameAs(editor->tree()));
}

const std::string kVersion5 = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kLaser =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\LASER1]\r\n"
    "; the printer on the second floor\r\n"
    "\"Active\"=\"yes\"\r\n"
    "\"printername\"=\"VornPDF\"   \r\n"
    "\"MainTray\"=dword:00000007\r\n\r\n";
const std::string kDisk =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\DISK1]\r\n"
    "\"Active\"=\"no\"\r\n\r\n";
const std::string kPrinters =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VornPDF]\r\n"
    "\"Port\"=\"/srv/pdf\"\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    RegFileEditor, Edits,
    ::testing::Values(
        EditCase{"a value set in place", kVersion5 + kLaser + kPrinters,
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("laser1"), "PRINTERNAME", kRegSz, text("Laser 2"))); },
                 kVersion5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\LASER1]\r\n"
                       "; the printer on the second floor\r\n\"Active\"=\"yes\"\r\n"
                       "\"printername\"=\"Laser 2\"\r\n\"MainTray\"=dword:00000007\r\n\r\n" +
                     kPrinters},
        EditCase{"a new value after the key's last one",
                 kVersion5 + kLaser + kDisk,
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("LASER1"), "AltTray", kRegDword, dword(2))); },
                 kVersion5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\LASER1]\r\n"
                       "; the printer on the second floor\r\n\"Active\"=\"yes\"\r\n"
                       "\"printername\"=\"VornPDF\"   \r\n\"MainTray\"=dword:00000007\r\n"
                       "\"AltTray\"=dword:00000002\r\n\r\n" +
                     kDisk},
        EditCase{"a value deleted", kVersion5 + kLaser,
                 [](RegFileEditor& e) { EXPECT_TRUE(e.deleteValue(key("LASER1"), "active")); },
                 kVersion5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\LASER1]\r\n"
                       "; the printer on the second floor\r\n"
                       "\"printername\"=\"VornPDF\"   \r\n\"MainTray\"=dword:00000007\r\n\r\n"},
        EditCase{"a new key beside its siblings", kVersion5 + kLaser + kPrinters,
                 [](RegFileEditor& e) {
                   EXPECT_TRUE(e.createKey(key("FILE1")));
                   EXPECT_TRUE(e.setValue(key("FILE1"), "Active", kRegSz, text("yes")));
                   EXPECT_FALSE(e.createKey(key("file1")));
                 },
                 kVersion5 + kLaser +
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\FILE1]\r\n\"Active\"=\"yes\"\r\n\r\n" +
                     kPrinters},
        EditCase{"a key deleted between others", kVersion5 + kLaser + kDisk + kPrinters,
                 [](RegFileEditor& e) { EXPECT_TRUE(e.deleteTree(key("laser1"))); }, kVersion5 + kDisk + kPrinters},
        EditCase{"the last profile deleted leaves its parent", kVersion5 + kLaser + kPrinters,
                 [](RegFileEditor& e) { EXPECT_TRUE(e.deleteTree(key("LASER1"))); },
                 kVersion5 + "[" + std::string(kProfiles) + "]\r\n\r\n" + kPrinters},
        EditCase{"a key deleted with its subkeys and skipped names below it",
                 kVersion5 + kDisk + "[" + key("DISK1") + "\\Sub]\r\n\r\n[" + key("DISK1") + "\\" + std::string(300, 'x') +
                     "]\r\n\"a\"=\"1\"\r\n\r\n" + kLaser,
                 [](RegFileEditor& e) { EXPECT_TRUE(e.deleteTree(key("DISK1"))); }, kVersion5 + kLaser},
        EditCase{"a repeated value: its first line takes it, the later ones go",
                 kVersion5 + "[" + key("A") + "]\r\n\"x\"=\"1\"\r\n\"y\"=\"2\"\r\n\r\n[" + key("A") +
                     "]\r\n\"X\"=\"3\"\r\n\"z\"=\"4\"\r\n",
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("A"), "x", kRegSz, text("new"))); },
                 kVersion5 + "[" + key("A") + "]\r\n\"x\"=\"new\"\r\n\"y\"=\"2\"\r\n\r\n[" + key("A") + "]\r\n\"z\"=\"4\"\r\n"},
        EditCase{"a key deleted and written again: only the later section counts",
                 kVersion5 + "[" + key("A") + "]\r\n\"x\"=\"1\"\r\n\r\n[-" + key("A") + "]\r\n\r\n[" + key("A") +
                     "]\r\n\"y\"=\"2\"\r\n",
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("A"), "x", kRegSz, text("3"))); },
                 kVersion5 + "[" + key("A") + "]\r\n\"x\"=\"1\"\r\n\r\n[-" + key("A") + "]\r\n\r\n[" + key("A") +
                     "]\r\n\"y\"=\"2\"\r\n\"x\"=\"3\"\r\n"},
        EditCase{"no line end at the end of the file", kVersion5 + "[" + key("A") + "]\r\n\"x\"=\"1\"",
                 [](RegFileEditor& e) {
                   EXPECT_TRUE(e.setValue(key("A"), "y", kRegSz, text("2")));
                   EXPECT_TRUE(e.createKey(key("B")));
                 },
                 kVersion5 + "[" + key("A") + "]\r\n\"x\"=\"1\"\r\n\"y\"=\"2\"\r\n\r\n[" + key("B") + "]\r\n\r\n"},
        EditCase{"LF line ends and REGEDIT4's 8-bit text stay",
                 "REGEDIT4\n\n[" + key("Caf\xE9") + "]\n\"Location\"=\"Z\xFCrich\"\n",
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("CAF\xC9"), "User", kRegSz, text("M\xFCller"))); },
                 "REGEDIT4\n\n[" + key("Caf\xE9") + "]\n\"Location\"=\"Z\xFCrich\"\n\"User\"=\"M\xFCller\"\n"},
        EditCase{"a UTF-8 file's text stays UTF-8, its byte-order mark kept",
                 "\xEF\xBB\xBF" + kVersion5 + "[" + key("Caf\xC3\xA9") + "]\r\n\r\n",
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("caf\xC9"), "User", kRegSz, text("M\xFCller"))); },
                 "\xEF\xBB\xBF" + kVersion5 + "[" + key("Caf\xC3\xA9") + "]\r\n\"User\"=\"M\xC3\xBCller\"\r\n\r\n"},
        EditCase{"a UTF-16 file stays UTF-16", test::asciiAsUtf16File(kVersion5 + kDisk),
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("DISK1"), "Active", kRegSz, text("yes"))); },
                 test::asciiAsUtf16File(kVersion5 + "[" + key("DISK1") + "]\r\n\"Active\"=\"yes\"\r\n\r\n")},
        EditCase{"a name the code page cannot hold is another key than its ANSI form",
                 kVersion5 + "[" + key("\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA") + "]\r\n\"n\"=\"1\"\r\n\r\n[" + key("???") +
                     "]\r\n\"n\"=\"2\"\r\n\r\n",
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("???"), "n", kRegSz, text("3"))); },
                 kVersion5 + "[" + key("\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA") + "]\r\n\"n\"=\"1\"\r\n\r\n[" + key("???") +
                     "]\r\n\"n\"=\"3\"\r\n\r\n"},
        EditCase{"an edit the file's own deletions defeat: written whole instead",
                 kVersion5 + "[" + key("A") + "]\r\n\"x\"=\"1\"\r\n\"y\"=\"2\"\r\n\"x\"=-\r\n\"x\"=\"3\"\r\n",
                 [](RegFileEditor& e) { EXPECT_TRUE(e.setValue(key("A"), "x", kRegSz, text("4"))); },
                 kVersion5 + "[" + key("A") + "]\r\n\"y\"=\"2\"\r\n\"x\"=\"4\"\r\n\r\n"}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(RegFileEditor, RefusesWhatIsNotThere) {
  RegFileEditor editor;
  EXPECT_FALSE(editor.setValue(key("A"), "x", kRegSz, text("1")));
  EXPECT_FALSE(editor.deleteTree(key("A")));
  EXPECT_TRUE(editor.createKey(key("A")));
  EXPECT_FALSE(editor.deleteValue(key("A"), "x"));
  EXPECT_FALSE(editor.deleteTree("HKEY_LOCAL_MACHINE"));
  EXPECT_EQ(editor.bytes(), kVersion5 + "[" + key("A") + "]\r\n\r\n");
}

}  // namespace
}  // namespace vorn::platform::regfile
