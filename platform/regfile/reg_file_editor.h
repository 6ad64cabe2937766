// Changing a ".reg" file in place: keys and values are created, set and
// deleted in the file's own text, so that the file keeps its encoding, its
// line ends, its comments and every key the changes do not touch, byte for
// byte. A touched key's other lines stay as they were too; only the lines of
// the values that change are written anew, in the format's canonical form
// (reg_writer.h).
//
// Paths are full 8-bit paths ("HKEY_LOCAL_MACHINE\SOFTWARE\…"), compared
// without regard to case; a key whose name the ANSI code page cannot hold is
// never reached by one (reg_key_tree.h).
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/regfile/reg_file_format.h"
#include "platform/regfile/reg_key_tree.h"
#include "platform/regfile/reg_parser.h"

namespace vorn::platform::regfile {

class RegFileEditor {
 public:
  // A new, empty file: "Windows Registry Editor Version 5.00" in UTF-8,
  // lines ended by CRLF.
  RegFileEditor();
  RegFileEditor(RegFileEditor&&) = default;
  RegFileEditor& operator=(RegFileEditor&&) = default;
  RegFileEditor(const RegFileEditor&) = delete;
  RegFileEditor& operator=(const RegFileEditor&) = delete;

  // The file `bytes`, to change. Nothing when it is malformed: `fault` then
  // says where ("<file name>:<line>: <reason>"). `warnings` are the parser's.
  static std::optional<RegFileEditor> open(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                           std::string& fault, std::vector<std::string>* warnings = nullptr);

  // The registry the file now holds.
  const RegTree& tree() const { return tree_; }
  RegTree takeTree() && { return std::move(tree_); }

  // Creates the key (and its missing parents); false when it existed.
  bool createKey(std::string_view path);
  // Sets a value of an existing key; false when there is no such key. A
  // value of that name keeps its stored name and its place in the file.
  bool setValue(std::string_view keyPath, std::string_view name, std::uint32_t type, RegData data);
  // False when there is no such key or value.
  bool deleteValue(std::string_view keyPath, std::string_view name);
  // Deletes the key and everything below it; false when there was none.
  bool deleteTree(std::string_view path);

  // The file as it now reads, in its encoding.
  std::string bytes() const;

 private:
  struct Item {
    std::string_view text;
    bool isValue = false;
    bool deletion = false;
    std::string name;
  };
  struct Section {
    std::vector<Item> leading;  // the comment lines just above its header
    std::string_view header;
    std::string path;
    std::size_t reachableDepth = 0;
    bool deletion = false;
    bool skipped = false;
    std::vector<Item> items;
  };

  std::string_view keep(std::string text);
  std::string normalPath(std::string_view path) const;
  std::string storedPath(std::string_view path) const;
  std::vector<std::size_t> liveSections(std::string_view path) const;
  bool existsInText(std::string_view path) const;
  std::size_t afterLastDeletionOf(std::string_view path) const;
  std::size_t newSectionPlace(std::string_view path) const;
  void insertSection(std::size_t place, std::string_view path, std::vector<Item> items);
  void endWithLineEnd(std::size_t section);
  std::string text() const;

  RegFileFormat format_ = RegFileFormat::kVersion5Utf8;
  bool utf8ByteOrderMark_ = false;
  std::string lineEnd_ = "\r\n";
  // Every text the views below point into: the file's, then what was written
  // since. A deque keeps its elements in place, so the views stay valid.
  std::deque<std::string> written_;
  std::string_view preamble_;
  std::vector<Section> sections_;
  RegTree tree_;
};

}  // namespace vorn::platform::regfile
