// An in-memory file system for the job tests: files are strings by path,
// and opening, writing and closing can be made to fail.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file.h"

namespace vorn::testing {

struct JobsFakeFiles {
  std::map<std::string, std::string> contents;
  std::vector<std::string> probed;                  // paths asked about, in order
  std::vector<std::size_t> writeSizes;              // size of every write, in order
  std::uint32_t createError = platform::kErrorSuccess;
  std::uint32_t writeError = platform::kErrorSuccess;
  std::size_t failWritesFrom = 0;                   // index of the first failing write
  std::uint32_t closeError = platform::kErrorSuccess;
  int openFiles = 0;
  int closes = 0;
};

class JobsFakeFile final : public platform::File {
 public:
  JobsFakeFile(std::shared_ptr<JobsFakeFiles> state, std::string path)
      : state_(std::move(state)), path_(std::move(path)) {
    ++state_->openFiles;
  }
  ~JobsFakeFile() override {
    if (!closed_) --state_->openFiles;
  }

  std::uint32_t read(std::span<std::byte>, std::size_t& got) override {
    got = 0;
    return platform::kErrorSuccess;
  }
  std::uint32_t write(std::span<const std::byte> data) override {
    const std::size_t index = state_->writeSizes.size();
    state_->writeSizes.push_back(data.size());
    if (state_->writeError != platform::kErrorSuccess && index >= state_->failWritesFrom) {
      return state_->writeError;
    }
    state_->contents[path_].append(reinterpret_cast<const char*>(data.data()), data.size());
    return platform::kErrorSuccess;
  }
  std::uint32_t size(std::uint64_t& bytes) override {
    bytes = state_->contents[path_].size();
    return platform::kErrorSuccess;
  }
  std::uint32_t close() override {
    if (!closed_) {
      closed_ = true;
      --state_->openFiles;
      ++state_->closes;
    }
    return state_->closeError;
  }

 private:
  std::shared_ptr<JobsFakeFiles> state_;
  std::string path_;
  bool closed_ = false;
};

class JobsFakeFileSystem final : public platform::FileSystem {
 public:
  std::shared_ptr<JobsFakeFiles> state = std::make_shared<JobsFakeFiles>();

  std::uint32_t openForReading(std::string_view path, std::unique_ptr<platform::File>& file) override {
    return openExisting(path, file);
  }
  std::uint32_t openToProbe(std::string_view path, std::unique_ptr<platform::File>& file) override {
    state->probed.emplace_back(path);
    return openExisting(path, file);
  }
  std::uint32_t createExclusive(std::string_view path, std::unique_ptr<platform::File>& file) override {
    if (state->createError != platform::kErrorSuccess) return state->createError;
    state->contents[std::string(path)].clear();
    file = std::make_unique<JobsFakeFile>(state, std::string(path));
    return platform::kErrorSuccess;
  }

 private:
  std::uint32_t openExisting(std::string_view path, std::unique_ptr<platform::File>& file) {
    if (!state->contents.contains(std::string(path))) return platform::kErrorFileNotFound;
    file = std::make_unique<JobsFakeFile>(state, std::string(path));
    return platform::kErrorSuccess;
  }
};

}  // namespace vorn::testing
