#include "platform/regfile/reg_file_editor.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "platform/ansi_code_page.h"
#include "platform/regfile/reg_writer.h"

namespace vorn::platform::regfile {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

std::size_t depthOf(std::string_view path) {
  return 1 + static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\'));
}

// Whether `path` is `prefix` or lies below it.
bool startsWithPath(std::string_view path, std::string_view prefix) {
  return path.size() >= prefix.size() && equalsIgnoringCase(path.substr(0, prefix.size()), prefix) &&
         (path.size() == prefix.size() || path[prefix.size()] == '\\');
}

std::string parentOf(std::string_view path) { return std::string(path.substr(0, path.rfind('\\'))); }

bool endsLine(std::string_view text) { return !text.empty() && text.back() == '\n'; }

bool isBlankText(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

RegFileEditor::RegFileEditor() { preamble_ = keep(std::string(kVersion5Header) + "\r\n\r\n"); }

std::optional<RegFileEditor> RegFileEditor::open(std::span<const std::uint8_t> bytes, std::string_view fileName,
                                                 std::string& fault, std::vector<std::string>* warnings) {
  RegFileLayout layout;
  RegParseResult parsed = parseRegFile(bytes, fileName, &layout);
  if (!parsed.tree) {
    fault = std::move(parsed.error);
    return std::nullopt;
  }
  if (warnings != nullptr) *warnings = std::move(parsed.warnings);
  std::optional<RegFileEditor> editor(std::in_place);
  editor->format_ = layout.format;
  editor->utf8ByteOrderMark_ = layout.utf8ByteOrderMark;
  editor->lineEnd_ = layout.lineEnd;
  const std::string_view text = editor->keep(std::move(layout.text));
  editor->preamble_ = text.substr(0, layout.preambleEnd);
  editor->sections_.reserve(layout.sections.size());
  for (RegFileLayout::Section& from : layout.sections) {
    Section section{{}, text.substr(from.begin, from.headerEnd - from.begin), std::move(from.path), from.reachableDepth,
                    from.deletion, from.skipped, {}};
    section.items.reserve(from.items.size());
    for (RegFileLayout::Item& item : from.items) {
      section.items.push_back(
          {text.substr(item.begin, item.end - item.begin), item.isValue, item.deletion, std::move(item.name)});
    }
    editor->sections_.push_back(std::move(section));
  }
  // Comment lines right above a key's header say something of that key: they
  // go with it (and a new key goes above them, not between).
  for (std::size_t i = 0; i + 1 < editor->sections_.size(); ++i) {
    std::vector<Item>& items = editor->sections_[i].items;
    std::size_t split = items.size();
    while (split > 0 && !items[split - 1].isValue && !isBlankText(items[split - 1].text)) --split;
    std::vector<Item>& leading = editor->sections_[i + 1].leading;
    leading.insert(leading.end(), std::make_move_iterator(items.begin() + static_cast<std::ptrdiff_t>(split)),
                   std::make_move_iterator(items.end()));
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(split), items.end());
  }
  editor->tree_ = std::move(*parsed.tree);
  return editor;
}

std::string_view RegFileEditor::keep(std::string text) { return written_.emplace_back(std::move(text)); }

std::string RegFileEditor::normalPath(std::string_view path) const {
  const auto parts = splitKeyPath(path);
  if (!parts) return {};
  std::string normal;
  for (const std::string_view part : *parts) {
    if (!normal.empty()) normal += '\\';
    normal += part;
  }
  return normal;
}

// The path spelled as the registry holds its keys, where they exist.
std::string RegFileEditor::storedPath(std::string_view path) const {
  const auto parts = splitKeyPath(path);
  std::string stored;
  const RegKey* key = &tree_.root();
  for (const std::string_view part : *parts) {
    key = key != nullptr ? key->findSubkey(part) : nullptr;
    if (!stored.empty()) stored += '\\';
    stored += key != nullptr ? std::string_view(key->name()) : part;
  }
  return stored;
}

// The sections whose values make up the key now: those of its path after the
// last deletion of it or of a key above it.
std::vector<std::size_t> RegFileEditor::liveSections(std::string_view path) const {
  std::vector<std::size_t> live;
  const std::size_t depth = depthOf(path);
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& section = sections_[i];
    if (section.skipped) continue;
    if (section.deletion) {
      if (startsWithPath(path, section.path) && section.reachableDepth == depthOf(section.path)) live.clear();
    } else if (section.reachableDepth == depth && equalsIgnoringCase(section.path, path)) {
      live.push_back(i);
    }
  }
  return live;
}

// Whether the text, read again, would hold the key: a section of it or of a
// key below it after the last deletion of it or of a key above it.
bool RegFileEditor::existsInText(std::string_view path) const {
  bool exists = false;
  const std::size_t depth = depthOf(path);
  for (const Section& section : sections_) {
    if (section.skipped) continue;
    if (section.deletion) {
      if (startsWithPath(path, section.path) && section.reachableDepth == depthOf(section.path)) exists = false;
    } else if (section.reachableDepth >= depth && startsWithPath(section.path, path)) {
      exists = true;
    }
  }
  return exists;
}

// The place just after the last deletion of the key or of a key above it
// (0 for none): a section placed before it would be undone.
std::size_t RegFileEditor::afterLastDeletionOf(std::string_view path) const {
  std::size_t after = 0;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& section = sections_[i];
    if (section.deletion && !section.skipped && startsWithPath(path, section.path)) after = i + 1;
  }
  return after;
}

// Where a new section of the key goes: after the last section under its
// parent (beside its siblings), but never before a deletion that would undo
// it; else at the end.
std::size_t RegFileEditor::newSectionPlace(std::string_view path) const {
  const std::string parent = parentOf(path);
  const std::size_t parentDepth = depthOf(parent);
  std::size_t afterSibling = 0;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& section = sections_[i];
    if (!section.skipped && !section.deletion && section.reachableDepth > parentDepth &&
        startsWithPath(section.path, parent)) {
      afterSibling = i + 1;
    }
  }
  return afterSibling > afterLastDeletionOf(path) ? afterSibling : sections_.size();
}

// Makes the text before a new line end with a line end: the last piece of
// the section (or the preamble, for none).
void RegFileEditor::endWithLineEnd(std::size_t section) {
  std::string_view* last = &preamble_;
  if (section < sections_.size()) {
    Section& s = sections_[section];
    last = s.items.empty() ? &s.header : &s.items.back().text;
  }
  if (!endsLine(*last)) *last = keep(std::string(*last) + lineEnd_);
}

void RegFileEditor::insertSection(std::size_t place, std::string_view path, std::vector<Item> items) {
  const std::size_t before = place == 0 ? sections_.size() : place - 1;  // sections_.size(): the preamble
  endWithLineEnd(before);
  // A blank line between keys, as regedit writes them.
  if (before < sections_.size()) {
    Section& previous = sections_[before];
    const std::string_view last = previous.items.empty() ? previous.header : previous.items.back().text;
    if (!isBlankText(last)) previous.items.push_back({keep(lineEnd_), false, false, {}});
  }
  Section section{{}, keep(regKeyHeaderText(storedPath(path), format_, lineEnd_)), std::string(path), depthOf(path),
                  false, false, std::move(items)};
  section.items.push_back({keep(lineEnd_), false, false, {}});
  sections_.insert(sections_.begin() + static_cast<std::ptrdiff_t>(place), std::move(section));
}

bool RegFileEditor::createKey(std::string_view keyPath) {
  const std::string path = normalPath(keyPath);
  if (path.empty()) throw std::invalid_argument("invalid registry key path");
  if (tree_.findKey(path) != nullptr) return false;
  const std::size_t place = newSectionPlace(path);
  insertSection(place, path, {});
  tree_.createKey(path);
  return true;
}

bool RegFileEditor::setValue(std::string_view keyPath, std::string_view name, std::uint32_t type, RegData data) {
  const std::string path = normalPath(keyPath);
  if (path.empty() || tree_.findKey(path) == nullptr) return false;
  RegKey& key = tree_.createKey(path);  // the existing key
  const RegValue* existing = key.findValue(name);
  const RegValue value{existing != nullptr ? existing->name : std::string(name), type, data};
  Item item{keep(regValueText(value, format_, lineEnd_)), true, false, value.name};

  // The value's first line in the key's sections takes the new value; any
  // later ones (repeats, deletions) go.
  const std::vector<std::size_t> live = liveSections(path);
  bool placed = false;
  for (const std::size_t s : live) {
    std::vector<Item>& items = sections_[s].items;
    for (std::size_t i = 0; i < items.size();) {
      if (!items[i].isValue || !regNamesEqual(items[i].name, name)) {
        ++i;
      } else if (!placed) {
        const bool lastLineOfFile = !endsLine(items[i].text);
        items[i] = item;
        if (lastLineOfFile) items[i].text = items[i].text.substr(0, items[i].text.size() - lineEnd_.size());
        placed = true;
        ++i;
      } else {
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }
  if (!placed && !live.empty()) {
    // After the last value of the key's last section.
    Section& section = sections_[live.back()];
    std::size_t place = 0;
    for (std::size_t i = 0; i < section.items.size(); ++i) {
      if (section.items[i].isValue) place = i + 1;
    }
    std::string_view& before = place == 0 ? section.header : section.items[place - 1].text;
    if (!endsLine(before)) before = keep(std::string(before) + lineEnd_);
    section.items.insert(section.items.begin() + static_cast<std::ptrdiff_t>(place), std::move(item));
  } else if (!placed) {
    insertSection(newSectionPlace(path), path, {std::move(item)});
  }
  key.setValue(name, type, std::move(data));
  return true;
}

bool RegFileEditor::deleteValue(std::string_view keyPath, std::string_view name) {
  const std::string path = normalPath(keyPath);
  if (path.empty() || tree_.findKey(path) == nullptr || tree_.findKey(path)->findValue(name) == nullptr) return false;
  for (const std::size_t s : liveSections(path)) {
    std::erase_if(sections_[s].items,
                  [name](const Item& item) { return item.isValue && regNamesEqual(item.name, name); });
  }
  tree_.createKey(path).removeValue(name);
  return true;
}

bool RegFileEditor::deleteTree(std::string_view keyPath) {
  const std::string path = normalPath(keyPath);
  if (path.empty() || depthOf(path) < 2 || tree_.findKey(path) == nullptr) return false;
  // Every section of the key and below it goes, deletions included.
  const std::size_t depth = depthOf(path);
  std::size_t firstRemoved = sections_.size();
  for (std::size_t i = sections_.size(); i-- > 0;) {
    const Section& section = sections_[i];
    if (startsWithPath(section.path, path) && (section.skipped || section.reachableDepth >= depth)) {
      sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
      firstRemoved = i;
    }
  }
  tree_.removeKey(path);
  // The parent stays, as on Windows, also where nothing else in the file
  // names it: a section of its own where the key's first one was.
  const std::string parent = parentOf(path);
  if (!existsInText(parent)) insertSection(std::max(firstRemoved, afterLastDeletionOf(parent)), parent, {});
  return true;
}

std::string RegFileEditor::text() const {
  std::string text(preamble_);
  for (const Section& section : sections_) {
    for (const Item& item : section.leading) text += item.text;
    text += section.header;
    for (const Item& item : section.items) text += item.text;
  }
  return text;
}

std::string RegFileEditor::bytes() const {
  std::string text = this->text();
  // The text must read back as the registry the edits made. Where the file's
  // own deletions and repetitions defeat an edit in place, the file is written
  // whole in its canonical form instead.
  const RegParseResult check = parseRegFile(text, "edited");
  if (!check.tree || !check.tree->sameAs(tree_)) {
    text = writeRegFile(tree_, format_ == RegFileFormat::kRegedit4 ? format_ : RegFileFormat::kVersion5Utf8);
  }
  if (format_ == RegFileFormat::kVersion5Utf16) return utf16FileFromUtf8(text);
  return utf8ByteOrderMark_ ? std::string(kUtf8ByteOrderMark) + text : text;
}

}  // namespace vorn::platform::regfile
