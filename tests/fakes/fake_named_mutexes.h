// Named mutexes for tests: ones that another process holds for a number of
// tries (or for ever), and a creation that fails.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/named_mutex.h"
#include "platform/wait.h"

namespace vorn::fakes {

class FakeNamedMutexes final : public platform::NamedMutexes {
 public:
  std::uint32_t create(std::string_view name, std::unique_ptr<platform::NamedMutex>& mutex) override {
    if (createFailure != platform::kErrorSuccess) {
      platform::setLastError(createFailure);
      return createFailure;
    }
    mutex = std::make_unique<Mutex>(*this, std::string(name));
    return platform::kErrorSuccess;
  }

  // Names another process holds, with how many more tries find them held
  // (kForEver: every one).
  static constexpr int kForEver = -1;
  std::map<std::string, int> heldElsewhere;
  std::uint32_t createFailure = platform::kErrorSuccess;

 private:
  class Mutex final : public platform::NamedMutex {
   public:
    Mutex(FakeNamedMutexes& owner, std::string name) : owner_(owner), name_(std::move(name)) {}
    std::uint32_t tryAcquire() override {
      const auto held = owner_.heldElsewhere.find(name_);
      if (held == owner_.heldElsewhere.end() || held->second == 0) return platform::kWaitObject0;
      if (held->second > 0) --held->second;
      return platform::kWaitTimeout;
    }

   private:
    FakeNamedMutexes& owner_;
    std::string name_;
  };
};

}  // namespace vorn::fakes
