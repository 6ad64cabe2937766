// The registry in memory: a tree of keys with typed values. Key and value
// names compare without regard to letter case (Windows-1252) and keep the
// case they were first stored with. A key whose name (from a Unicode file)
// has characters the ANSI code page lacks keeps that name beside its ANSI
// form, and is a key of its own that no ANSI path reaches, as on Windows.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorn::platform::regfile {

// The limits Windows puts on names; they also bound the depth of the tree.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxValueNameLength = 16383;

// Orders 8-bit names as the registry does: by their upper-case characters.
struct RegNameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
bool regNamesEqual(std::string_view a, std::string_view b);

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: data that is text.
bool isTextType(std::uint32_t type);

// A value's bytes. Most data is short ("yes", a host name, a dword): up to
// 15 bytes are held in place, without an allocation of their own, which
// keeps a large registry's tree small and quick to build.
class RegData {
 public:
  RegData() = default;
  RegData(std::span<const std::uint8_t> bytes) : bytes_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}
  RegData(const std::vector<std::uint8_t>& bytes) : RegData(std::span(bytes)) {}
  RegData(std::initializer_list<std::uint8_t> bytes) : RegData(std::span(bytes.begin(), bytes.size())) {}
  // The 8-bit text and its terminating zero.
  static RegData terminatedText(std::string_view text) {
    RegData data;
    data.bytes_.reserve(text.size() + 1);
    data.bytes_.append(text).push_back('\0');
    return data;
  }

  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  const std::uint8_t* data() const { return reinterpret_cast<const std::uint8_t*>(bytes_.data()); }
  const std::uint8_t* begin() const { return data(); }
  const std::uint8_t* end() const { return data() + size(); }
  std::uint8_t operator[](std::size_t i) const { return data()[i]; }
  std::uint8_t back() const { return data()[size() - 1]; }
  std::span<const std::uint8_t> bytes() const { return {data(), size()}; }

  friend bool operator==(const RegData&, const RegData&) = default;
  friend bool operator==(const RegData& a, const std::vector<std::uint8_t>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  std::string bytes_;
};

struct RegValue {
  std::string name;  // "" is the key's default value ("@")
  std::uint32_t type = 0;
  RegData data;

  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// The text a tree was read from, kept for the values of its keys: a parser
// checks every line of a file at once but leaves each key's values in the
// text until they are first asked for, so that reading a large file builds
// only its keys (and an agent reading its own profile pays for no other).
struct RegSource {
  std::shared_ptr<const void> owner;  // keeps `text` alive
  std::string_view text;
  bool textIsUtf8 = true;
  bool version5 = true;
  // Reads the value lines text[begin, end) into the key (reg_parser.cpp).
  void (*readValues)(const RegSource& source, std::size_t begin, std::size_t end, class RegKey& key) = nullptr;
};

class RegKey {
 public:
  RegKey() = default;
  // `unicodeName`: the name in UTF-8 when the ANSI code page cannot hold it
  // (`name` is then its ANSI form, with '?' for what is lost); else empty.
  explicit RegKey(std::string name, std::string unicodeName = {})
      : name_(std::move(name)), unicodeName_(std::move(unicodeName)) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // The name as the ANSI calls give it (RegEnumKeyExA).
  const std::string& name() const { return name_; }
  // The key's own name in UTF-8 (RegEnumKeyExW).
  std::string unicodeName() const;

  // Subkeys in the registry's order (case-insensitive), with their stored names.
  std::vector<const RegKey*> subkeys() const;
  const RegKey* findSubkey(std::string_view name) const;
  RegKey* findSubkey(std::string_view name);
  // The subkey filed under that name and Unicode name (see subkey); null when none.
  RegKey* findSubkeyNamed(std::string_view name, std::string_view unicodeName);
  // The subkey of that name, created when missing. `unicodeName`, when
  // given, is the name as a Unicode file spells it, in UTF-8: if `name` (its
  // ANSI form) does not convert back to it, the subkey is the one of that
  // Unicode name, unreachable by ANSI names.
  RegKey& subkey(std::string_view name, std::string_view unicodeName = {});
  // Removes the subkey and everything below it; false when there was none.
  bool removeSubkey(std::string_view name, std::string_view unicodeName = {});

  // Values in the order they were first set.
  const std::vector<RegValue>& values() const {
    readPendingValues();
    return values_;
  }
  const RegValue* findValue(std::string_view name) const;
  // Sets a value; an existing value of that name keeps its stored name.
  void setValue(std::string_view name, std::uint32_t type, RegData data);
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

  // Where a subkey is filed: its name, or, for a name the ANSI code page
  // cannot hold, a backslash and its Unicode name (no ANSI name has one).
  static std::string filingName(std::string_view name, std::string_view unicodeName);

  // The value lines source.text[begin, end) hold values of this key, read
  // (after those of earlier ranges) when its values are first asked for.
  void addPendingValues(const RegSource& source, std::size_t begin, std::size_t end);
  // setValue and removeValue for the parser while it reads those lines.
  void setValueAsRead(std::string_view name, std::uint32_t type, RegData data);
  bool removeValueAsRead(std::string_view name);

 private:
  void readPendingValues() const;
  static constexpr std::size_t kValuesSearchedInTurn = 16;

  std::optional<std::size_t> valuePosition(std::string_view name) const;
  std::optional<std::size_t> storedPosition(std::string_view name) const;

  std::string name_;
  std::string unicodeName_;
  std::map<std::string, std::unique_ptr<RegKey>, RegNameLess> subkeys_;
  std::vector<RegValue> values_;
  // Value lines not read yet, and the one reading of them (keys are read
  // from several threads at once).
  const RegSource* pendingSource_ = nullptr;
  std::vector<std::pair<std::size_t, std::size_t>> pendingRanges_;
  mutable std::once_flag pendingRead_;
  // Upper-cased name to position in values_, for keys of many values; out of
  // date (and rebuilt) whenever its size differs from values_'s.
  mutable std::unordered_map<std::string, std::size_t> valueIndex_;
};

// The whole registry: the root holds the hives (HKEY_LOCAL_MACHINE …) as keys.
class RegTree {
 public:
  RegTree() = default;
  RegTree(RegTree&&) = default;
  RegTree& operator=(RegTree&&) = default;

  // The text the tree's keys read their values from (set by the parser).
  const RegSource& keepSource(RegSource source) {
    source_ = std::make_shared<const RegSource>(std::move(source));
    return *source_;
  }

  // Full paths: "HKEY_LOCAL_MACHINE\SOFTWARE\Kolvane". A path is split at
  // backslashes; an empty component or an unknown hive makes it invalid.
  const RegKey* findKey(std::string_view fullPath) const;
  // Creates the key and its missing parents. Throws std::invalid_argument for
  // an invalid path. `unicodePath`, when given, is the same path as a Unicode
  // file spells it, in UTF-8 (RegKey::subkey).
  RegKey& createKey(std::string_view fullPath, std::string_view unicodePath = {});
  // Removes the key and its subtree; false when there was none. Hives cannot be removed.
  bool removeKey(std::string_view fullPath, std::string_view unicodePath = {});

  const RegKey& root() const { return *root_; }
  RegKey& root() { return *root_; }
  bool sameAs(const RegTree& other) const { return root_->sameAs(*other.root_); }

 private:
  std::unique_ptr<RegKey> root_ = std::make_unique<RegKey>();
  std::shared_ptr<const RegSource> source_;
};

// Splits a full key path ("HKEY_LOCAL_MACHINE\SOFTWARE\Kolvane") into its
// components, the hive in its canonical spelling; nullopt when a component
// is empty or too long, the path too deep, or the hive unknown.
std::optional<std::vector<std::string_view>> splitKeyPath(std::string_view path);

}  // namespace vorn::platform::regfile
