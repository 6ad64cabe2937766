// The system event log on Windows: an event source of advapi32.
#include "platform/event_log.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace vorn::platform {
namespace {

// Every event carries at least this many insertion strings, missing ones null.
constexpr std::size_t kRecordedStrings = 6;

class Win32EventSource final : public EventSource {
 public:
  explicit Win32EventSource(HANDLE source) : source_(source) {}
  ~Win32EventSource() override { ::DeregisterEventSource(source_); }
  Win32EventSource(const Win32EventSource&) = delete;
  Win32EventSource& operator=(const Win32EventSource&) = delete;

  bool report(std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
              std::span<const std::optional<std::string_view>> strings) override {
    if (strings.size() > 0xFFFF) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    // Each string up to its first zero byte, as a C string would be read.
    std::vector<std::string> texts;
    texts.reserve(strings.size());
    for (const auto& s : strings) texts.emplace_back(s ? s->substr(0, s->find('\0')) : std::string_view{});
    std::vector<LPCSTR> pointers(std::max(strings.size(), kRecordedStrings), nullptr);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      if (strings[i]) pointers[i] = texts[i].c_str();
    }
    if (::ReportEventA(source_, type, category, eventId, nullptr, static_cast<WORD>(pointers.size()), 0,
                       pointers.data(), nullptr)) {
      return true;
    }
    const win32::LastErrorKeeper failure;
    return false;
  }

 private:
  HANDLE source_;
};

class Win32EventLog final : public EventLog {
 public:
  std::unique_ptr<EventSource> registerSource(std::string_view sourceName) override {
    const std::string name(sourceName);
    const HANDLE source = ::RegisterEventSourceA(nullptr, name.c_str());
    if (source == nullptr) return nullptr;
    return std::make_unique<Win32EventSource>(source);
  }
};

}  // namespace

EventLog& systemEventLog() {
  static Win32EventLog log;  // stateless
  return log;
}

}  // namespace vorn::platform
