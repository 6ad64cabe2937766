// The .reg parser on arbitrary bytes: it must never crash, whatever it
// accepts must survive a round trip through the writer in every format, and
// edits made in place must read back as the registry they made.
#include "platform/regfile/reg_file_editor.h"
#include "platform/regfile/reg_parser.h"
#include "platform/regfile/reg_writer.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <stdexcept>
#include <string>

#include "platform/ansi_code_page.h"
#include "platform/registry.h"

using vorn::platform::regfile::parseRegFile;
using vorn::platform::regfile::RegData;
using vorn::platform::regfile::RegFileEditor;
using vorn::platform::regfile::RegFileFormat;
using vorn::platform::regfile::RegKey;
using vorn::platform::regfile::writeRegFile;

namespace {

// The path of the first key with values, or of the deepest first key.
std::string someKeyPath(const RegKey& root) {
  std::string path;
  const RegKey* key = &root;
  while (!key->subkeys().empty() && key->values().empty()) {
    key = key->subkeys().front();
    path += (path.empty() ? "" : "\\") + key->name();
  }
  return path;
}

// Whether every key's name is one the ANSI code page holds: only then can a
// REGEDIT4 file (8-bit text) hold the tree.
bool onlyAnsiNames(const RegKey& key) {
  for (const RegKey* subkey : key.subkeys()) {
    if (vorn::platform::utf8FromAnsi(subkey->name()) != subkey->unicodeName() || !onlyAnsiNames(*subkey)) return false;
  }
  return true;
}

void editInPlace(std::span<const std::uint8_t> bytes) {
  std::string fault;
  auto editor = RegFileEditor::open(bytes, "fuzz.reg", fault);
  if (!editor) std::abort();  // the parser took it a moment ago
  const std::string path = someKeyPath(editor->tree().root());
  if (path.find('\\') == std::string::npos) return;  // no key below a hive
  const RegKey* key = editor->tree().findKey(path);
  if (key == nullptr) return;  // a name the ANSI calls do not reach
  try {
    if (!key->values().empty()) editor->deleteValue(path, key->values().front().name);
    editor->setValue(path, "Fuzzed", vorn::platform::kRegSz, RegData::terminatedText("value"));
    editor->createKey(path + "\\New");
    editor->deleteTree(path + "\\New");
  } catch (const std::invalid_argument&) {
    return;  // a name the format cannot hold
  }
  const std::string edited = editor->bytes();
  const auto again = parseRegFile(edited, "edited.reg");
  if (!again.tree || !again.tree->sameAs(editor->tree())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = parseRegFile(std::span(data, size), "fuzz.reg");
  if (!parsed.tree) {
    if (parsed.errorLine == 0 || parsed.error.empty()) std::abort();  // a fault must say where
    return 0;
  }
  for (const RegFileFormat format :
       {RegFileFormat::kVersion5Utf8, RegFileFormat::kVersion5Utf16, RegFileFormat::kRegedit4}) {
    if (format == RegFileFormat::kRegedit4 && !onlyAnsiNames(parsed.tree->root())) continue;
    const std::string text = writeRegFile(*parsed.tree, format);
    const auto again = parseRegFile(text, "written.reg");
    if (!again.tree || !again.tree->sameAs(*parsed.tree)) std::abort();
  }
  editInPlace(std::span(data, size));
  return 0;
}
