#include "pdf/file_writer.h"

#include <cstdio>
#include <utility>

namespace vorn::pdf {
namespace {

std::span<const unsigned char> bytesOf(std::string_view text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

}  // namespace

FileWriter::FileWriter(Sink sink) : sink_(std::move(sink)) {
  // The binary comment tells transfer programs that the file is not text.
  append("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
}

int FileWriter::reserveObject() {
  offsets_.push_back(0);
  return static_cast<int>(offsets_.size());
}

void FileWriter::beginObject(int id) {
  if (id < 1 || static_cast<std::size_t>(id) > offsets_.size()) {
    failed_ = true;  // a number never reserved: the file would be inconsistent
    return;
  }
  offsets_[static_cast<std::size_t>(id) - 1] = written_;
  append(std::to_string(id));
  append(" 0 obj\n");
}

void FileWriter::writeObject(int id, std::string_view body) {
  beginObject(id);
  append(body);
  append("\nendobj\n");
}

void FileWriter::writeStream(int id, std::string_view dictionary, std::span<const unsigned char> data, bool deflate) {
  std::span<const unsigned char> body = data;
  if (deflate) {
    if (!deflater_.compress(data, compressed_)) {
      failed_ = true;
      return;
    }
    body = bytesOf(compressed_);
  }
  beginObject(id);
  append("<<");
  append(dictionary);
  append(deflate ? "/Filter/FlateDecode/Length " : "/Length ");
  append(std::to_string(body.size()));
  append(">>\nstream\n");
  append({reinterpret_cast<const char*>(body.data()), body.size()});
  append("\nendstream\nendobj\n");
}

void FileWriter::writeStream(int id, std::string_view dictionary, std::string_view data, bool deflate) {
  writeStream(id, dictionary, bytesOf(data), deflate);
}

void FileWriter::append(std::string_view bytes) {
  if (failed_) return;
  buffer_.append(bytes);
  written_ += bytes.size();
  if (buffer_.size() >= kFlushSize) flush();
}

void FileWriter::flush() {
  if (failed_ || buffer_.empty()) return;
  if (!sink_(bytesOf(buffer_))) failed_ = true;
  buffer_.clear();
}

void FileWriter::finish(int catalog, int info, std::span<const unsigned char, 16> id) {
  const std::uint64_t xref = written_;
  append("xref\n0 ");
  append(std::to_string(offsets_.size() + 1));
  append("\n0000000000 65535 f \n");
  char entry[21];
  for (const std::uint64_t offset : offsets_) {
    // An object reserved but never written is listed as free.
    std::snprintf(entry, sizeof entry, "%010llu %05d %c \n", static_cast<unsigned long long>(offset),
                  offset == 0 ? 65535 : 0, offset == 0 ? 'f' : 'n');
    append({entry, 20});
  }
  append("trailer\n<</Size ");
  append(std::to_string(offsets_.size() + 1));
  append("/Root ");
  append(std::to_string(catalog));
  append(" 0 R/Info ");
  append(std::to_string(info));
  append(" 0 R/ID[");
  std::string hex = "<";
  char digits[3];
  for (const unsigned char b : id) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    hex += digits;
  }
  hex += '>';
  append(hex);
  append(hex);  // the first half never changes; the second would on an update, which a printed file never has
  append("]>>\nstartxref\n");
  append(std::to_string(xref));
  append("\n%%EOF\n");
  flush();
}

}  // namespace vorn::pdf
