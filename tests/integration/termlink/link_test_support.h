// What the host link tests share (with test::TempRoot): an event loop
// with a time limit, a receiver that records events, and the host's side
// served from a thread.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "termlink/host_link.h"
#include "platform/event_loop.h"
#include "platform/socket.h"
#include "termlink/term_link.h"
#include "tests/support/test_support.h"
#include "tools/vornhost/frame_channel.h"

namespace vorn::test {

// Runs an event loop on the test's thread; gives up after a time limit.
class LoopRunner {
 public:
  LoopRunner() : loop_(platform::createEventLoop()) {}
  platform::EventLoop& loop() { return *loop_; }

  // Runs until quit(); false when the time limit ended it.
  bool run(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::atomic<bool> done = false;
    std::atomic<bool> timedOut = false;
    std::thread watchdog([&] {
      const auto end = std::chrono::steady_clock::now() + limit;
      while (!done && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (!done) {
        timedOut = true;
        loop_->post([this] { loop_->quit(1); });
      }
    });
    loop_->run();
    done = true;
    watchdog.join();
    return !timedOut;
  }

 private:
  std::unique_ptr<platform::EventLoop> loop_;
};

// Records every event as a line; quits the loop once `quitAfter` events came.
class RecordingReceiver final : public HostLinkEvents {
 public:
  explicit RecordingReceiver(platform::EventLoop& loop, std::size_t quitAfter = 1)
      : quitAfter_(quitAfter), loop_(loop) {}

  void ConnectResult(std::int32_t code, std::int32_t detail, std::int32_t a, std::int32_t b) override {
    add("connect-result " + std::to_string(code) + " " + hex(detail) + " " + std::to_string(a) + " " +
        std::to_string(b));
  }
  void ReadMessage(const Variant& message) override {
    messages.emplace_back(message.bytes.begin(), message.bytes.end());
    add("message " + std::to_string(message.bytes.size()));
    if (onMessage) onMessage(message);
  }
  void PrinterIdle() override { add("idle"); }
  void Terminate(std::int32_t reason, std::int32_t detail) override {
    add("terminate " + std::to_string(reason) + " " + hex(detail));
  }

  static std::string hex(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
  }

  std::vector<std::string> events;
  std::vector<std::vector<std::uint8_t>> messages;
  std::function<void(const Variant&)> onMessage;

 private:
  void add(std::string line) {
    events.push_back(std::move(line));
    if (events.size() == quitAfter_) loop_.quit(0);
  }
  std::size_t quitAfter_;
  platform::EventLoop& loop_;
};

// The host's side on a thread of its own: accepts one agent and runs `script`.
class HostThread {
 public:
  using Script = std::function<void(vornhost::FrameChannel&)>;

  HostThread(std::unique_ptr<platform::StreamListener> listener, Script script)
      : listener_(std::move(listener)), thread_([this, script = std::move(script)] {
          std::unique_ptr<platform::StreamSocket> peer;
          for (;;) {
            const auto error = listener_->accept(peer);
            if (error == 0) break;
            if (error != platform::kWsaEWouldBlock) return;
            if (platform::waitReady(*listener_, 10000) == 0) return;
          }
          vornhost::FrameChannel channel(std::move(peer));
          script(channel);
        }) {}
  ~HostThread() { thread_.join(); }

 private:
  std::unique_ptr<platform::StreamListener> listener_;
  std::thread thread_;
};

}  // namespace vorn::test
