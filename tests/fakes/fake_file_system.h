// An in-memory file system whose reads can be made short or failing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file.h"

namespace vorn::fakes {

class FakeFileSystem : public platform::FileSystem {
 public:
  struct Entry {
    std::vector<std::byte> bytes;
    std::size_t readChunk = 0;          // at most this many bytes per read (0: no limit)
    std::size_t failReadAfter = SIZE_MAX;  // a read that starts at or beyond this offset fails
    bool failSize = false;
  };

  Entry& add(std::string path, std::span<const std::byte> bytes) {
    Entry& entry = files_[std::move(path)];
    entry.bytes.assign(bytes.begin(), bytes.end());
    return entry;
  }
  Entry& add(std::string path, std::string_view text) {
    return add(std::move(path), std::as_bytes(std::span(text.data(), text.size())));
  }

  // Paths opened so far, in order.
  const std::vector<std::string>& opened() const { return opened_; }

  std::uint32_t openForReading(std::string_view path, std::unique_ptr<platform::File>& file) override {
    opened_.emplace_back(path);
    const auto it = files_.find(std::string(path));
    if (it == files_.end()) return platform::kErrorFileNotFound;
    file = std::make_unique<OpenFile>(it->second);
    return 0;
  }
  std::uint32_t openToProbe(std::string_view path, std::unique_ptr<platform::File>& file) override {
    return openForReading(path, file);
  }
  std::uint32_t createExclusive(std::string_view path, std::unique_ptr<platform::File>& file) override {
    Entry& entry = files_[std::string(path)];
    entry = Entry{};
    file = std::make_unique<OpenFile>(entry);
    return 0;
  }

 private:
  class OpenFile : public platform::File {
   public:
    explicit OpenFile(Entry& entry) : entry_(entry) {}
    std::uint32_t read(std::span<std::byte> buffer, std::size_t& got) override {
      got = 0;
      if (offset_ >= entry_.failReadAfter) return platform::kErrorReadFault;
      std::size_t count = std::min(buffer.size(), entry_.bytes.size() - std::min(offset_, entry_.bytes.size()));
      if (entry_.readChunk != 0) count = std::min(count, entry_.readChunk);
      std::copy_n(entry_.bytes.begin() + static_cast<std::ptrdiff_t>(offset_), count, buffer.begin());
      offset_ += count;
      got = count;
      return 0;
    }
    std::uint32_t write(std::span<const std::byte> data) override {
      entry_.bytes.insert(entry_.bytes.end(), data.begin(), data.end());
      return 0;
    }
    std::uint32_t size(std::uint64_t& bytes) override {
      if (entry_.failSize) return platform::kErrorInvalidHandle;
      bytes = entry_.bytes.size();
      return 0;
    }
    std::uint32_t close() override { return 0; }

   private:
    Entry& entry_;
    std::size_t offset_ = 0;
  };

  std::map<std::string, Entry> files_;
  std::vector<std::string> opened_;
};

}  // namespace vorn::fakes
