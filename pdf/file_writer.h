// The file structure of a PDF written front to back: numbered objects,
// deflated streams, and the cross-reference table and trailer at the end.
// Bytes go to a sink as they are made (at most kFlushSize are held), so a
// document of any length streams through in bounded memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/deflate.h"

namespace vorn::pdf {

class FileWriter {
 public:
  // Receives the file's bytes in order; false when they could not be written.
  using Sink = std::function<bool(std::span<const unsigned char>)>;
  static constexpr std::size_t kFlushSize = 64 * 1024;

  explicit FileWriter(Sink sink);

  // A number for an object written later (forward references are fine).
  int reserveObject();
  // Writes object `id` with `body` (a dictionary, array or number).
  void writeObject(int id, std::string_view body);
  // Writes object `id` as a stream: `dictionary` holds the entries besides
  // /Length and /Filter, `data` is compressed when `deflate` is set.
  void writeStream(int id, std::string_view dictionary, std::span<const unsigned char> data, bool deflate = true);
  void writeStream(int id, std::string_view dictionary, std::string_view data, bool deflate = true);
  // Hands what is buffered to the sink.
  void flush();
  // The cross-reference table and the trailer naming `catalog`, `info` and
  // the file identifier `id` (16 bytes, both halves of /ID), then a flush.
  void finish(int catalog, int info, std::span<const unsigned char, 16> id);

  // Whether the sink or the compressor failed; everything after a failure is dropped.
  bool failed() const { return failed_; }
  // The bytes made so far.
  std::uint64_t size() const { return written_; }

 private:
  void append(std::string_view bytes);
  void beginObject(int id);

  Sink sink_;
  std::string buffer_;
  std::uint64_t written_ = 0;            // bytes handed to the sink or buffered
  std::vector<std::uint64_t> offsets_;   // of each object, by number - 1
  Deflater deflater_;
  std::string compressed_;               // reused for every stream
  bool failed_ = false;
};

}  // namespace vorn::pdf
