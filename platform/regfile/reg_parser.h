// Reading a ".reg" file (platform/regfile/reg_file_format.h) into a registry tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regfile/reg_file_format.h"
#include "platform/regfile/reg_key_tree.h"

namespace vorn::platform::regfile {

// The outcome of parsing: a tree, or the first fault found.
struct RegParseResult {
  std::optional<RegTree> tree;
  std::size_t errorLine = 0;  // 1-based line of the fault
  std::string error;          // "<file name>:<line>: <reason>"
  // What was read past: a key whose name Windows cannot hold (a component
  // longer than 255 characters) is skipped with its values, and the rest of
  // the file is read. "<file name>:<line>: <reason>", one a skipped key.
  std::vector<std::string> warnings;
};

// Where every line of a file went, for changing the file in place
// (reg_file_editor.h). Offsets are into `text`, the file's text after its
// byte-order mark: UTF-8 for a version 5 file (a UTF-16 file decoded), the
// 8-bit bytes of a REGEDIT4 file. Every line belongs to the preamble, to a
// section's header or to one item.
struct RegFileLayout {
  struct Item {
    std::size_t begin = 0;
    std::size_t end = 0;   // past the line end of its last line
    bool isValue = false;  // else a blank or comment line
    bool deletion = false;  // "Name"=-
    std::string name;      // a value's name, 8-bit
  };
  struct Section {
    std::size_t begin = 0;
    std::size_t headerEnd = 0;
    std::string path;      // the key's full path, 8-bit, the hive in its canonical spelling
    // How many of the path's components ANSI names reach: fewer than all
    // when one has characters the code page lacks (RegKey::filingName).
    std::size_t reachableDepth = 0;
    bool deletion = false;  // [-path]
    bool skipped = false;   // a name Windows cannot hold: not in the tree
    std::vector<Item> items;
  };

  RegFileFormat format = RegFileFormat::kVersion5Utf8;
  bool utf8ByteOrderMark = false;
  std::string lineEnd = "\r\n";  // as the file's first line ends
  std::string text;
  std::size_t preambleEnd = 0;  // the header line and whatever precedes the first key
  std::vector<Section> sections;
};

// A file's bytes and what keeps them alive: the tree read from them keeps
// them for the values it reads when they are first asked for.
struct RegFileBytes {
  std::span<const std::uint8_t> bytes;
  std::shared_ptr<const void> owner;
};

// Parses a whole file. Every line is checked at once, and nothing is applied
// partially: any fault gives no tree. With `layout`, also tells where each
// line went (the layout is complete only when a tree is returned).
RegParseResult parseRegFile(RegFileBytes bytes, std::string_view fileName, RegFileLayout* layout = nullptr);
// The same with a copy of the bytes for the tree to keep.
RegParseResult parseRegFile(std::span<const std::uint8_t> bytes, std::string_view fileName,
                            RegFileLayout* layout = nullptr);
RegParseResult parseRegFile(std::string_view bytes, std::string_view fileName, RegFileLayout* layout = nullptr);

}  // namespace vorn::platform::regfile
