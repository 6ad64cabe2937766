// An in-memory registry for tests: keys with typed values, a log of every
// open and query, the number of keys currently open, and injectable open
// failures. Key paths and value names are compared without regard to case.
#pragma once

#include <algorithm>
#include <iterator>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/error.h"
#include "platform/registry.h"

namespace vorn::fakes {

struct FakeRegistryValue {
  std::uint32_t type = platform::kRegNone;
  std::vector<std::uint8_t> data;
};

using platform::equalsIgnoringCase;

struct FakeRegistryState {
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const {
      return platform::compareIgnoringCase(a, b) < 0;
    }
  };
  using Values = std::map<std::string, FakeRegistryValue, CaseInsensitiveLess>;

  std::map<std::string, Values, CaseInsensitiveLess> keys;
  std::vector<std::string> openedPaths;     // every openKey call, in order
  std::vector<std::uint32_t> openedAccess;  // the access mask of each call
  std::vector<std::string> queriedNames;    // every queryValue call, in order
  int openKeys = 0;                         // keys opened and not yet closed
  std::uint32_t openFailure = platform::kErrorSuccess;  // non-zero: every open fails with it
};

class FakeRegistryKey : public platform::RegistryKey {
 public:
  FakeRegistryKey(std::shared_ptr<FakeRegistryState> state, std::string path)
      : state_(std::move(state)), path_(std::move(path)) {
    ++state_->openKeys;
  }
  ~FakeRegistryKey() override { --state_->openKeys; }
  FakeRegistryKey(const FakeRegistryKey&) = delete;
  FakeRegistryKey& operator=(const FakeRegistryKey&) = delete;

  std::uint32_t queryValue(std::string_view name, std::uint32_t& type,
                           std::span<std::uint8_t> buffer, std::uint32_t& size) override {
    state_->queriedNames.emplace_back(name);
    const auto& values = state_->keys[path_];
    const auto it = values.find(std::string(name));
    if (it == values.end()) return platform::kErrorFileNotFound;
    type = it->second.type;
    size = static_cast<std::uint32_t>(it->second.data.size());
    if (buffer.empty()) return platform::kErrorSuccess;
    if (buffer.size() < it->second.data.size()) return platform::kErrorMoreData;
    std::copy(it->second.data.begin(), it->second.data.end(), buffer.begin());
    return platform::kErrorSuccess;
  }

  std::uint32_t enumSubkey(std::uint32_t index, std::string& name) override {
    const std::string prefix = path_ + "\\";
    std::uint32_t seen = 0;
    for (const auto& [path, values] : state_->keys) {
      if (path.size() <= prefix.size() || !equalsIgnoringCase(path.substr(0, prefix.size()), prefix)) {
        continue;
      }
      const std::string rest = path.substr(prefix.size());
      if (rest.find('\\') != std::string::npos) continue;
      if (seen++ == index) {
        name = rest;
        return platform::kErrorSuccess;
      }
    }
    return platform::kErrorNoMoreItems;
  }

  // Its keys' names are all ANSI texts.
  std::uint32_t enumSubkeyNames(std::uint32_t index, std::string& ansiName, std::string& unicodeName) override {
    const std::uint32_t result = enumSubkey(index, ansiName);
    if (result == platform::kErrorSuccess) unicodeName = platform::utf8FromAnsi(ansiName);
    return result;
  }

  std::uint32_t enumValue(std::uint32_t index, std::string& name, std::uint32_t& type,
                          std::vector<std::uint8_t>& data) override {
    const auto& values = state_->keys[path_];
    if (index >= values.size()) return platform::kErrorNoMoreItems;
    const auto it = std::next(values.begin(), index);
    name = it->first;
    type = it->second.type;
    data = it->second.data;
    return platform::kErrorSuccess;
  }

  // Writes take effect at once, as on Windows.
  std::uint32_t setValue(std::string_view name, std::uint32_t type, std::span<const std::uint8_t> data) override {
    auto& values = state_->keys[path_];
    const auto it = values.find(std::string(name));
    const std::string stored = it == values.end() ? std::string(name) : it->first;
    values[stored] = {type, std::vector<std::uint8_t>(data.begin(), data.end())};
    return platform::kErrorSuccess;
  }

  std::uint32_t deleteValue(std::string_view name) override {
    return state_->keys[path_].erase(std::string(name)) == 0 ? platform::kErrorFileNotFound : platform::kErrorSuccess;
  }

  std::uint32_t deleteTree(std::string_view subkey) override {
    const std::string top = path_ + "\\" + std::string(subkey);
    const std::size_t removed = std::erase_if(state_->keys, [&top](const auto& entry) {
      const std::string& path = entry.first;
      return path.size() >= top.size() && equalsIgnoringCase(path.substr(0, top.size()), top) &&
             (path.size() == top.size() || path[top.size()] == '\\');
    });
    return removed == 0 ? platform::kErrorFileNotFound : platform::kErrorSuccess;
  }

  std::uint32_t flush() override { return platform::kErrorSuccess; }

 private:
  std::shared_ptr<FakeRegistryState> state_;
  std::string path_;
};

class FakeRegistry : public platform::Registry {
 public:
  FakeRegistry() : state_(std::make_shared<FakeRegistryState>()) {}

  std::uint32_t openKey(std::string_view path, std::uint32_t access,
                        std::unique_ptr<platform::RegistryKey>& key) override {
    state_->openedPaths.emplace_back(path);
    state_->openedAccess.push_back(access);
    if (state_->openFailure != platform::kErrorSuccess) return state_->openFailure;
    if (state_->keys.find(std::string(path)) == state_->keys.end()) {
      return platform::kErrorFileNotFound;
    }
    key = std::make_unique<FakeRegistryKey>(state_, std::string(path));
    return platform::kErrorSuccess;
  }

  std::uint32_t createKey(std::string_view path, std::uint32_t access, std::unique_ptr<platform::RegistryKey>& key,
                          std::uint32_t& disposition) override {
    state_->openedPaths.emplace_back(path);
    state_->openedAccess.push_back(access);
    if (state_->openFailure != platform::kErrorSuccess) return state_->openFailure;
    disposition = state_->keys.contains(std::string(path)) ? platform::kRegOpenedExistingKey
                                                           : platform::kRegCreatedNewKey;
    for (std::size_t slash = path.find('\\'); slash != std::string_view::npos; slash = path.find('\\', slash + 1))
      state_->keys[std::string(path.substr(0, slash))];  // its parents
    state_->keys[std::string(path)];
    key = std::make_unique<FakeRegistryKey>(state_, std::string(path));
    return platform::kErrorSuccess;
  }

  // Creates the key (without values) if it does not exist.
  void addKey(std::string_view path) { state_->keys[std::string(path)]; }

  // Stores raw bytes under any type, exactly as given.
  void setRaw(std::string_view path, std::string_view name, std::uint32_t type,
              std::vector<std::uint8_t> data) {
    state_->keys[std::string(path)][std::string(name)] = {type, std::move(data)};
  }

  // A text with its terminating zero byte (REG_SZ unless told otherwise).
  void setString(std::string_view path, std::string_view name, std::string_view text,
                 std::uint32_t type = platform::kRegSz) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    setRaw(path, name, type, std::move(data));
  }

  // A string list with its two closing zero bytes.
  void setMultiString(std::string_view path, std::string_view name,
                      const std::vector<std::string>& strings) {
    std::vector<std::uint8_t> data;
    for (const auto& text : strings) {
      data.insert(data.end(), text.begin(), text.end());
      data.push_back(0);
    }
    data.push_back(0);
    setRaw(path, name, platform::kRegMultiSz, std::move(data));
  }

  // A REG_DWORD, little-endian.
  void setDword(std::string_view path, std::string_view name, std::uint32_t value) {
    setRaw(path, name, platform::kRegDword,
           {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
  }

  FakeRegistryState& state() { return *state_; }

 private:
  std::shared_ptr<FakeRegistryState> state_;
};

}  // namespace vorn::fakes
