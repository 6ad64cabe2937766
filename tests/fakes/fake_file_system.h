// An in-memory file system whose creating, reading and writing can be made
// short or failing. It records what was opened and written and counts the
// handles still open.
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
    std::string content;
    std::size_t readChunk = 0;             // at most this many bytes per read (0: no limit)
    std::size_t failReadAfter = SIZE_MAX;  // a read that starts at or beyond this offset fails
    bool failSize = false;
  };

  // Fault injection.
  std::uint32_t createError = platform::kErrorSuccess;
  std::uint32_t writeError = platform::kErrorSuccess;  // returned by every write from failWritesFrom on
  std::size_t failWritesFrom = 0;                      // 0-based index among all writes

  // Records.
  std::vector<std::string> opened;      // paths opened for reading or probed, in order
  std::vector<std::size_t> writeSizes;  // size of every write, failed ones too, in order
  int openFiles = 0;                    // handles neither closed nor destroyed
  int closes = 0;

  Entry& add(std::string path, std::string_view content) {
    Entry& entry = files_[std::move(path)];
    entry.content.assign(content);
    return entry;
  }
  Entry& add(std::string path, std::span<const std::byte> bytes) {
    return add(std::move(path), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }

  // The file's content; empty if there is no such file.
  std::string content(std::string_view path) const {
    const auto it = files_.find(std::string(path));
    return it == files_.end() ? std::string() : it->second.content;
  }
  bool empty() const { return files_.empty(); }

  std::uint32_t openForReading(std::string_view path, std::unique_ptr<platform::File>& file) override {
    opened.emplace_back(path);
    const auto it = files_.find(std::string(path));
    if (it == files_.end()) return platform::kErrorFileNotFound;
    file = std::make_unique<OpenFile>(*this, it->second);
    return platform::kErrorSuccess;
  }
  std::uint32_t openToProbe(std::string_view path, std::unique_ptr<platform::File>& file) override {
    return openForReading(path, file);
  }
  std::uint32_t createExclusive(std::string_view path, std::unique_ptr<platform::File>& file) override {
    if (createError != platform::kErrorSuccess) return createError;
    Entry& entry = files_[std::string(path)];
    entry = Entry{};
    file = std::make_unique<OpenFile>(*this, entry);
    return platform::kErrorSuccess;
  }
  std::uint32_t createNew(std::string_view path, std::unique_ptr<platform::File>& file) override {
    if (files_.count(std::string(path)) != 0) return platform::kErrorFileExists;
    return createExclusive(path, file);
  }

 private:
  // Must not outlive the file system that opened it.
  class OpenFile : public platform::File {
   public:
    OpenFile(FakeFileSystem& system, Entry& entry) : system_(system), entry_(entry) { ++system_.openFiles; }
    ~OpenFile() override {
      if (!closed_) --system_.openFiles;
    }

    std::uint32_t read(std::span<std::byte> buffer, std::size_t& got) override {
      got = 0;
      if (offset_ >= entry_.failReadAfter) return platform::kErrorReadFault;
      const std::string& content = entry_.content;
      std::size_t count = std::min(buffer.size(), content.size() - std::min(offset_, content.size()));
      if (entry_.readChunk != 0) count = std::min(count, entry_.readChunk);
      std::copy_n(reinterpret_cast<const std::byte*>(content.data()) + offset_, count, buffer.begin());
      offset_ += count;
      got = count;
      return platform::kErrorSuccess;
    }
    std::uint32_t write(std::span<const std::byte> data) override {
      const std::size_t index = system_.writeSizes.size();
      system_.writeSizes.push_back(data.size());
      if (system_.writeError != platform::kErrorSuccess && index >= system_.failWritesFrom) {
        return system_.writeError;
      }
      entry_.content.append(reinterpret_cast<const char*>(data.data()), data.size());
      return platform::kErrorSuccess;
    }
    std::uint32_t size(std::uint64_t& bytes) override {
      if (entry_.failSize) return platform::kErrorInvalidHandle;
      bytes = entry_.content.size();
      return platform::kErrorSuccess;
    }
    std::uint32_t close() override {
      if (!closed_) {
        closed_ = true;
        --system_.openFiles;
        ++system_.closes;
      }
      return platform::kErrorSuccess;
    }

   private:
    FakeFileSystem& system_;
    Entry& entry_;
    std::size_t offset_ = 0;
    bool closed_ = false;
  };

  std::map<std::string, Entry> files_;
};

}  // namespace vorn::fakes
