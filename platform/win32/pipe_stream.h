// One end of a byte-mode named pipe as a non-blocking stream socket, the
// local endpoint termlink-<Port> on Windows. Readiness is emulated: a read is
// kept under way into an internal buffer (readable once data, the peer's end
// or an error is there), and writes are queued and completed in the
// background (writable while the queue is small). As with a socket, one
// thread may send while another receives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/socket.h"
#include "platform/win32/loop_sources.h"
#include "platform/win32/overlapped_operation.h"
#include "platform/win32/unique_handle.h"

namespace vorn::platform::win32 {

class PipeStream final : public StreamSocket, public OverlappedObject {
 public:
  // Data queued beyond this makes send take no more until some is written.
  static constexpr std::size_t kWriteQueueLimit = 64 * 1024;
  static constexpr std::size_t kReadChunk = 64 * 1024;

  // Takes a connected pipe handle opened for overlapped I/O; 0 or the code
  // of a failure to set up its operations.
  static std::uint32_t create(UniqueHandle pipe, std::unique_ptr<PipeStream>& stream);

  // Only create() makes one (the key is private to the class).
  class Key {
    friend class PipeStream;
    Key() = default;
  };
  PipeStream(Key, UniqueHandle pipe);

  // Gives queued data a short while to go out, as a closed socket still
  // delivers what it was sent, then cancels what is under way.
  ~PipeStream() override;
  PipeStream(const PipeStream&) = delete;
  PipeStream& operator=(const PipeStream&) = delete;

  // A pipe end is connected once it exists.
  std::uint32_t connectStatus() override { return 0; }
  std::uint32_t receive(std::span<std::uint8_t> buffer, std::size_t& got) override;
  std::uint32_t send(std::span<const std::uint8_t> data, std::size_t& sent) override;

  unsigned readyFor(unsigned interest) override;
  void appendWaitHandles(std::vector<HANDLE>& handles) const override;

 private:
  void collectRead();
  void startRead();
  void collectWrite();
  void startWrite();
  std::size_t queued() const { return writing_.size() + waiting_.size(); }

  mutable std::mutex mutex_;  // guards everything below but the handle
  UniqueHandle pipe_;
  OverlappedOperation readOperation_;
  OverlappedOperation writeOperation_;

  std::vector<std::uint8_t> readBuffer_;  // the read under way fills it
  std::size_t readBegin_ = 0;             // unread data: [readBegin_, readEnd_)
  std::size_t readEnd_ = 0;
  bool peerEnded_ = false;
  std::uint32_t readFailure_ = 0;

  std::vector<std::uint8_t> writing_;  // the write under way sends it
  std::vector<std::uint8_t> waiting_;  // what comes after it
  std::uint32_t writeFailure_ = 0;
};

}  // namespace vorn::platform::win32
