// ReadFile and WriteFile on a byte-mode pipe opened with FILE_FLAG_OVERLAPPED,
// one read and one write under way at a time.
#include "platform/win32/pipe_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/error.h"

namespace vorn::platform::win32 {
namespace {

// How long a closing end waits for its queued data to be taken.
constexpr DWORD kCloseFlushMs = 1000;

// The pipe's codes for a peer that is gone.
bool peerGone(DWORD error) {
  return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NO_DATA;
}

// An operation ends with this when the thread that started it exits (any
// thread may call in, e.g. a sender that is done) or someone else cancels
// it: the pipe is fine and the operation is simply started again. Only the
// destructor cancels on purpose, and it collects nothing after that.
bool abortedWithItsThread(DWORD error) { return error == ERROR_OPERATION_ABORTED; }

}  // namespace

std::uint32_t PipeStream::create(UniqueHandle pipe, std::unique_ptr<PipeStream>& stream) {
  stream.reset();
  auto fresh = std::make_unique<PipeStream>(Key(), std::move(pipe));
  if (const std::uint32_t error = fresh->readOperation_.create()) return error;
  if (const std::uint32_t error = fresh->writeOperation_.create()) return error;
  fresh->startRead();
  stream = std::move(fresh);
  return 0;
}

PipeStream::PipeStream(Key, UniqueHandle pipe) : pipe_(std::move(pipe)), readBuffer_(kReadChunk) {}

PipeStream::~PipeStream() {
  std::lock_guard lock(mutex_);
  const ULONGLONG deadline = ::GetTickCount64() + kCloseFlushMs;
  for (;;) {
    collectWrite();
    if (!writeOperation_.pending()) break;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) break;
    ::WaitForSingleObject(writeOperation_.event(), static_cast<DWORD>(deadline - now));
  }
  writeOperation_.cancel(pipe_.get());
  readOperation_.cancel(pipe_.get());
}

std::uint32_t PipeStream::receive(std::span<std::uint8_t> buffer, std::size_t& got) {
  std::lock_guard lock(mutex_);
  got = 0;
  collectRead();
  if (readBegin_ == readEnd_ && !peerEnded_ && readFailure_ == 0) {
    startRead();
    collectRead();  // a read that found data completes at once
  }
  if (readBegin_ < readEnd_) {
    got = std::min(buffer.size(), readEnd_ - readBegin_);
    std::memcpy(buffer.data(), readBuffer_.data() + readBegin_, got);
    readBegin_ += got;
    if (readBegin_ == readEnd_) startRead();
    return 0;
  }
  if (peerEnded_) return 0;
  if (readFailure_ != 0) return readFailure_;
  collectWrite();
  if (writeFailure_ != 0) return writeFailure_;
  return kWsaEWouldBlock;
}

std::uint32_t PipeStream::send(std::span<const std::uint8_t> data, std::size_t& sent) {
  std::lock_guard lock(mutex_);
  sent = 0;
  collectWrite();
  if (writeFailure_ != 0) return writeFailure_;
  const std::size_t room = kWriteQueueLimit - std::min(queued(), kWriteQueueLimit);
  if (room == 0 && !data.empty()) return kWsaEWouldBlock;
  sent = std::min(room, data.size());
  waiting_.insert(waiting_.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(sent));
  startWrite();
  return writeFailure_;
}

unsigned PipeStream::readyFor(unsigned interest) {
  std::lock_guard lock(mutex_);
  collectRead();
  collectWrite();
  if (readBegin_ == readEnd_) startRead();
  unsigned ready = 0;
  if (peerEnded_ || readFailure_ != 0 || writeFailure_ != 0) ready |= kReadable;
  if ((interest & kReadable) && readBegin_ < readEnd_) ready |= kReadable;
  if ((interest & kWritable) && writeFailure_ == 0 && queued() < kWriteQueueLimit) ready |= kWritable;
  return ready;
}

void PipeStream::appendWaitHandles(std::vector<HANDLE>& handles) const {
  std::lock_guard lock(mutex_);
  if (readOperation_.pending()) handles.push_back(readOperation_.event());
  if (writeOperation_.pending()) handles.push_back(writeOperation_.event());
}

void PipeStream::startRead() {
  if (readOperation_.pending() || readBegin_ < readEnd_ || peerEnded_ || readFailure_ != 0) return;
  readBegin_ = readEnd_ = 0;
  const DWORD wanted = static_cast<DWORD>(readBuffer_.size());
  if (::ReadFile(pipe_.get(), readBuffer_.data(), wanted, nullptr, readOperation_.begin())) return;
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_PENDING) return;
  readOperation_.abandon();
  if (peerGone(error))
    peerEnded_ = true;
  else
    readFailure_ = error;
}

void PipeStream::collectRead() {
  DWORD transferred = 0;
  DWORD error = 0;
  if (!readOperation_.finished(pipe_.get(), transferred, error)) return;
  if (error == 0 || abortedWithItsThread(error)) {
    readBegin_ = 0;
    readEnd_ = transferred;
    if (transferred == 0) startRead();  // an empty write of the peer's, or an aborted read: nothing to tell
  } else if (peerGone(error)) {
    peerEnded_ = true;
  } else {
    readFailure_ = error;
  }
}

void PipeStream::startWrite() {
  if (writeOperation_.pending() || waiting_.empty() || writeFailure_ != 0) return;
  writing_.swap(waiting_);
  waiting_.clear();
  const DWORD size = static_cast<DWORD>(writing_.size());  // at most the queue limit
  if (::WriteFile(pipe_.get(), writing_.data(), size, nullptr, writeOperation_.begin())) return;
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_PENDING) return;
  writeOperation_.abandon();
  writing_.clear();
  writeFailure_ = peerGone(error) ? kWsaEConnReset : error;
}

void PipeStream::collectWrite() {
  DWORD transferred = 0;
  DWORD error = 0;
  if (!writeOperation_.finished(pipe_.get(), transferred, error)) return;
  if (error != 0 && !abortedWithItsThread(error)) {
    writing_.clear();
    writeFailure_ = peerGone(error) ? kWsaEConnReset : error;
    return;
  }
  // What a write left over (or an aborted one did not send) goes out first
  // with the next one.
  const std::size_t done = std::min<std::size_t>(transferred, writing_.size());
  writing_.erase(writing_.begin(), writing_.begin() + static_cast<std::ptrdiff_t>(done));
  waiting_.insert(waiting_.begin(), writing_.begin(), writing_.end());
  writing_.clear();
  startWrite();
}

}  // namespace vorn::platform::win32
