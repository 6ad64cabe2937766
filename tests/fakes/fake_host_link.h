// A host link component whose creation, subscription, attach request and
// writes can be made to fail, and that records every call in order (the link
// set-up's steps and its teardown) and every message written to the host.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent/diag/exceptions.h"
#include "termlink/host_link.h"

namespace vorn::fakes {

struct HostLinkScript {
  platform::HRESULT createResult = platform::kSOk;
  platform::HRESULT adviseResult = platform::kSOk;
  platform::HRESULT connectResult = platform::kSOk;
  platform::HRESULT writeResult = platform::kSOk;
  bool throwComErrorOnConnect = false;
  std::uint32_t cookie = 77;

  // What happened, in order: "create", "advise", "connect", "write",
  // "unadvise <cookie>", "release".
  std::vector<std::string> calls;
  HostLinkEvents* subscriber = nullptr;

  struct ConnectCall {
    std::string connectString;
    std::int32_t arg1 = 0, arg2 = 0, arg3 = 0;
    std::string printerId;
    std::int32_t deviceFlags = 0;
    std::string forms;
  };
  std::vector<ConnectCall> connects;
  std::vector<std::uint16_t> messageTypes;           // of every message written
  std::vector<std::vector<std::uint8_t>> messages;  // the bytes of every message written
};

class FakeHostLink final : public HostLink {
 public:
  explicit FakeHostLink(HostLinkScript& script) : script_(script) {}
  ~FakeHostLink() override { script_.calls.push_back("release"); }

  platform::HRESULT WriteMessage(const Variant& message) override {
    script_.calls.push_back("write");
    script_.messageTypes.push_back(message.vt);
    script_.messages.emplace_back(message.bytes.begin(), message.bytes.end());
    return script_.writeResult;
  }

  platform::HRESULT Connect(std::string_view connectString, std::int32_t arg1, std::int32_t arg2,
                            std::int32_t arg3, std::string_view printerId, std::int32_t deviceFlags,
                            std::string_view forms) override {
    script_.calls.push_back("connect");
    script_.connects.push_back({std::string(connectString), arg1, arg2, arg3, std::string(printerId),
                                deviceFlags, std::string(forms)});
    if (script_.throwComErrorOnConnect) throw ComError(platform::kEFail);
    return script_.connectResult;
  }

  platform::HRESULT Advise(HostLinkEvents& events, std::uint32_t& cookie) override {
    script_.calls.push_back("advise");
    if (platform::failed(script_.adviseResult)) return script_.adviseResult;
    script_.subscriber = &events;
    cookie = script_.cookie;
    return platform::kSOk;
  }

  platform::HRESULT Unadvise(std::uint32_t cookie) override {
    script_.calls.push_back("unadvise " + std::to_string(cookie));
    script_.subscriber = nullptr;
    return platform::kSOk;
  }

 private:
  HostLinkScript& script_;
};

class FakeHostLinkFactory final : public HostLinkFactory {
 public:
  explicit FakeHostLinkFactory(HostLinkScript& script) : script_(script) {}

  platform::HRESULT create(std::unique_ptr<HostLink>& link) override {
    script_.calls.push_back("create");
    if (platform::failed(script_.createResult)) {
      link.reset();
      return script_.createResult;
    }
    link = std::make_unique<FakeHostLink>(script_);
    return platform::kSOk;
  }

 private:
  HostLinkScript& script_;
};

}  // namespace vorn::fakes
