// The registry export format (".reg" files): an in-memory tree of keys and
// typed values, its parser and its writer.
//
// Accepted input: a "Windows Registry Editor Version 5.00" file in UTF-16LE
// (with its byte-order mark) or UTF-8, or a "REGEDIT4" file in 8-bit text.
// Everything in the tree is held as the 8-bit ANSI (Windows-1252) API sees
// it: names, and the data of REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ values
// (UTF-16 data of a version 5 file is converted; characters the code page
// lacks become '?'). Key and value names compare without regard to letter
// case and keep the case they were first stored with.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::platform::posix {

// Orders 8-bit names as the registry does: by their upper-case characters.
struct RegNameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
bool regNamesEqual(std::string_view a, std::string_view b);

struct RegValue {
  std::string name;  // "" is the key's default value ("@")
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;

  friend bool operator==(const RegValue&, const RegValue&) = default;
};

class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(std::string name) : name_(std::move(name)) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  const std::string& name() const { return name_; }

  // Subkeys in the registry's order (case-insensitive), with their stored names.
  std::vector<const RegKey*> subkeys() const;
  const RegKey* findSubkey(std::string_view name) const;
  RegKey* findSubkey(std::string_view name);
  // The subkey of that name, created when missing.
  RegKey& subkey(std::string_view name);
  // Removes the subkey and everything below it; false when there was none.
  bool removeSubkey(std::string_view name);

  // Values in the order they were first set.
  const std::vector<RegValue>& values() const { return values_; }
  const RegValue* findValue(std::string_view name) const;
  // Sets a value; an existing value of that name keeps its stored name.
  void setValue(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data);
  // REG_SZ: the text and its terminating zero.
  void setString(std::string_view name, std::string_view text);
  // REG_EXPAND_SZ: the text and its terminating zero.
  void setExpandString(std::string_view name, std::string_view text);
  // REG_MULTI_SZ: each string with its zero, then one more zero.
  void setMultiString(std::string_view name, std::span<const std::string> strings);
  // REG_DWORD, little-endian.
  void setDword(std::string_view name, std::uint32_t value);
  bool removeValue(std::string_view name);

  // Same names (exact case), values and subkeys.
  bool sameAs(const RegKey& other) const;

 private:
  std::string name_;
  std::map<std::string, std::unique_ptr<RegKey>, RegNameLess> subkeys_;
  std::vector<RegValue> values_;
};

// The whole registry: the root holds the hives (HKEY_LOCAL_MACHINE …) as keys.
class RegTree {
 public:
  RegTree() = default;
  RegTree(RegTree&&) = default;
  RegTree& operator=(RegTree&&) = default;

  // Full paths: "HKEY_LOCAL_MACHINE\SOFTWARE\Kolvane". A path is split at
  // backslashes; an empty component or an unknown hive makes it invalid.
  const RegKey* findKey(std::string_view fullPath) const;
  // Creates the key and its missing parents. Throws std::invalid_argument for
  // an invalid path.
  RegKey& createKey(std::string_view fullPath);
  // Removes the key and its subtree; false when there was none. Hives cannot be removed.
  bool removeKey(std::string_view fullPath);

  const RegKey& root() const { return *root_; }
  bool sameAs(const RegTree& other) const { return root_->sameAs(*other.root_); }

 private:
  std::unique_ptr<RegKey> root_ = std::make_unique<RegKey>();
};

// The outcome of parsing: a tree, or the first fault found.
struct RegParseResult {
  std::optional<RegTree> tree;
  std::size_t errorLine = 0;  // 1-based line of the fault
  std::string error;          // "<file name>:<line>: <reason>"
};

// Parses a whole file. Nothing is applied partially: any fault gives no tree.
RegParseResult parseRegFile(std::span<const std::uint8_t> bytes, std::string_view fileName);
RegParseResult parseRegFile(std::string_view bytes, std::string_view fileName);

enum class RegFileFormat {
  kVersion5Utf8,   // "Windows Registry Editor Version 5.00", UTF-8, no byte-order mark
  kVersion5Utf16,  // the same in UTF-16LE with a byte-order mark, as Windows exports it
  kRegedit4,       // "REGEDIT4", 8-bit text
};

// Writes the tree in canonical form (CRLF line ends, one key a paragraph,
// long hex data wrapped with continuation lines); the parser reads it back
// into the same tree. Throws std::invalid_argument for a name the format
// cannot hold (one containing a zero byte, CR or LF).
std::string writeRegFile(const RegTree& tree, RegFileFormat format = RegFileFormat::kVersion5Utf8);

}  // namespace vorn::platform::posix
