#include "platform/regfile/reg_key_tree.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "platform/ansi_code_page.h"
#include "platform/registry.h"

namespace vorn::platform::regfile {
namespace {

constexpr std::array<std::string_view, 5> kHives = {
    "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS", "HKEY_CURRENT_CONFIG",
};

std::optional<std::string_view> canonicalHive(std::string_view name) {
  for (const std::string_view hive : kHives) {
    if (regNamesEqual(hive, name)) return hive;
  }
  return std::nullopt;
}

// The components of a Unicode path matching the ANSI path's `parts`, or
// none where they do not pair up.
std::vector<std::string_view> unicodeParts(std::string_view unicodePath, std::size_t count) {
  std::vector<std::string_view> parts;
  if (unicodePath.empty()) return parts;
  while (true) {
    const std::size_t slash = unicodePath.find('\\');
    parts.push_back(unicodePath.substr(0, slash));
    if (slash == std::string_view::npos) break;
    unicodePath.remove_prefix(slash + 1);
  }
  if (parts.size() != count) parts.clear();
  return parts;
}

}  // namespace

std::optional<std::vector<std::string_view>> splitKeyPath(std::string_view path) {
  std::vector<std::string_view> parts;
  while (true) {
    const std::size_t slash = path.find('\\');
    const std::string_view part = path.substr(0, slash);
    if (part.empty() || part.size() > kMaxKeyNameLength || parts.size() >= kMaxKeyDepth) return std::nullopt;
    parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  const auto hive = canonicalHive(parts.front());
  if (!hive) return std::nullopt;
  parts.front() = *hive;
  return parts;
}


bool isTextType(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

bool RegNameLess::operator()(std::string_view a, std::string_view b) const { return compareIgnoringCase(a, b) < 0; }

bool regNamesEqual(std::string_view a, std::string_view b) { return equalsIgnoringCase(a, b); }

std::vector<const RegKey*> RegKey::subkeys() const {
  std::vector<const RegKey*> keys;
  keys.reserve(subkeys_.size());
  for (const auto& [name, key] : subkeys_) keys.push_back(key.get());
  return keys;
}

const RegKey* RegKey::findSubkey(std::string_view name) const {
  const auto it = subkeys_.find(name);
  return it == subkeys_.end() ? nullptr : it->second.get();
}

RegKey* RegKey::findSubkey(std::string_view name) {
  const auto it = subkeys_.find(name);
  return it == subkeys_.end() ? nullptr : it->second.get();
}

std::string RegKey::unicodeName() const { return unicodeName_.empty() ? utf8FromAnsi(name_) : unicodeName_; }

std::string RegKey::filingName(std::string_view name, std::string_view unicodeName) {
  if (unicodeName.empty() || name == unicodeName || utf8FromAnsi(name) == unicodeName) return std::string(name);
  return "\\" + std::string(unicodeName);
}

RegKey* RegKey::findSubkeyNamed(std::string_view name, std::string_view unicodeName) {
  const auto it = subkeys_.find(filingName(name, unicodeName));
  return it == subkeys_.end() ? nullptr : it->second.get();
}

RegKey& RegKey::subkey(std::string_view name, std::string_view unicodeName) {
  if (name.empty() || name.size() > kMaxKeyNameLength || name.find('\\') != std::string_view::npos) {
    throw std::invalid_argument("invalid registry key name");
  }
  std::string filed = filingName(name, unicodeName);
  const auto existing = subkeys_.find(filed);
  if (existing != subkeys_.end()) return *existing->second;
  auto key = std::make_unique<RegKey>(std::string(name), filed != name ? std::string(unicodeName) : std::string());
  RegKey& added = *key;
  subkeys_.emplace(std::move(filed), std::move(key));
  return added;
}

bool RegKey::removeSubkey(std::string_view name, std::string_view unicodeName) {
  const auto it = subkeys_.find(filingName(name, unicodeName));
  if (it == subkeys_.end()) return false;
  subkeys_.erase(it);
  return true;
}

void RegKey::addPendingValues(const RegSource& source, std::size_t begin, std::size_t end) {
  pendingSource_ = &source;
  pendingRanges_.emplace_back(begin, end);
}

void RegKey::readPendingValues() const {
  if (pendingSource_ == nullptr) return;  // never had any: made in memory
  std::call_once(pendingRead_, [this] {
    // The lines were checked when the file was read; here they only fill in
    // the values, in file order (later lines replace and delete earlier ones).
    auto& self = const_cast<RegKey&>(*this);
    for (const auto& [begin, end] : pendingRanges_) pendingSource_->readValues(*pendingSource_, begin, end, self);
    self.pendingRanges_.clear();
    self.pendingRanges_.shrink_to_fit();
  });
}

std::optional<std::size_t> RegKey::valuePosition(std::string_view name) const {
  readPendingValues();
  return storedPosition(name);
}

std::optional<std::size_t> RegKey::storedPosition(std::string_view name) const {
  // A few values are searched in turn; a key with many gets an index, so
  // that reading a key of thousands of values stays linear.
  if (values_.size() <= kValuesSearchedInTurn) {
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (regNamesEqual(values_[i].name, name)) return i;
    }
    return std::nullopt;
  }
  if (valueIndex_.size() != values_.size()) {
    valueIndex_.clear();
    for (std::size_t i = 0; i < values_.size(); ++i) valueIndex_.emplace(ansiUpperCase(values_[i].name), i);
  }
  const auto it = valueIndex_.find(ansiUpperCase(name));
  if (it == valueIndex_.end()) return std::nullopt;
  return it->second;
}

const RegValue* RegKey::findValue(std::string_view name) const {
  const auto position = valuePosition(name);
  return position ? &values_[*position] : nullptr;
}

void RegKey::setValue(std::string_view name, std::uint32_t type, RegData data) {
  readPendingValues();
  setValueAsRead(name, type, std::move(data));
}

void RegKey::setValueAsRead(std::string_view name, std::uint32_t type, RegData data) {
  if (const auto position = storedPosition(name)) {
    values_[*position].type = type;
    values_[*position].data = std::move(data);
    return;
  }
  values_.push_back(RegValue{std::string(name), type, std::move(data)});
  if (!valueIndex_.empty()) valueIndex_.emplace(ansiUpperCase(name), values_.size() - 1);
}

void RegKey::setString(std::string_view name, std::string_view text) {
  setValue(name, kRegSz, RegData::terminatedText(text));
}

void RegKey::setExpandString(std::string_view name, std::string_view text) {
  setValue(name, kRegExpandSz, RegData::terminatedText(text));
}

void RegKey::setMultiString(std::string_view name, std::span<const std::string> strings) {
  std::vector<std::uint8_t> data;
  for (const std::string& s : strings) {
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
  }
  data.push_back(0);
  setValue(name, kRegMultiSz, std::move(data));
}

void RegKey::setDword(std::string_view name, std::uint32_t value) {
  setValue(name, kRegDword,
           {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

bool RegKey::removeValue(std::string_view name) {
  readPendingValues();
  return removeValueAsRead(name);
}

bool RegKey::removeValueAsRead(std::string_view name) {
  const auto position = storedPosition(name);
  if (!position) return false;
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(*position));
  valueIndex_.clear();  // positions moved: built again when next needed
  return true;
}

bool RegKey::sameAs(const RegKey& other) const {
  if (name_ != other.name_ || unicodeName_ != other.unicodeName_ || values() != other.values() ||
      subkeys_.size() != other.subkeys_.size())
    return false;
  return std::equal(subkeys_.begin(), subkeys_.end(), other.subkeys_.begin(),
                    [](const auto& a, const auto& b) { return a.second->sameAs(*b.second); });
}

const RegKey* RegTree::findKey(std::string_view fullPath) const {
  const auto parts = splitKeyPath(fullPath);
  if (!parts) return nullptr;
  const RegKey* key = root_.get();
  for (const std::string_view part : *parts) {
    key = key->findSubkey(part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

RegKey& RegTree::createKey(std::string_view fullPath, std::string_view unicodePath) {
  const auto parts = splitKeyPath(fullPath);
  if (!parts) throw std::invalid_argument("invalid registry key path");
  const auto unicode = unicodeParts(unicodePath, parts->size());
  RegKey* key = root_.get();
  for (std::size_t i = 0; i < parts->size(); ++i)
    key = &key->subkey((*parts)[i], unicode.empty() || i == 0 ? std::string_view{} : unicode[i]);
  return *key;
}

bool RegTree::removeKey(std::string_view fullPath, std::string_view unicodePath) {
  const auto parts = splitKeyPath(fullPath);
  if (!parts || parts->size() < 2) return false;
  const auto unicode = unicodeParts(unicodePath, parts->size());
  const auto unicodeAt = [&](std::size_t i) { return unicode.empty() || i == 0 ? std::string_view{} : unicode[i]; };
  RegKey* parent = root_.get();
  for (std::size_t i = 0; i + 1 < parts->size(); ++i) {
    parent = parent->findSubkeyNamed((*parts)[i], unicodeAt(i));
    if (parent == nullptr) return false;
  }
  return parent->removeSubkey(parts->back(), unicodeAt(parts->size() - 1));
}

}  // namespace vorn::platform::regfile
