#include "platform/posix/print/pdf_writer.h"

#include <zlib.h>

#include <cstdio>
#include <utility>

namespace vorn::platform::posix {
namespace {

// zlib's level for every stream: text content deflates nearly as small at
// this level as at the default, in about half the time.
constexpr int kDeflateLevel = 3;

std::span<const unsigned char> bytesOf(std::string_view text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

}  // namespace

Deflater::Deflater() { ready_ = deflateInit(&stream_, kDeflateLevel) == Z_OK; }

Deflater::~Deflater() {
  if (ready_) deflateEnd(&stream_);
}

bool Deflater::compress(std::span<const unsigned char> data, std::string& compressed) {
  compressed.clear();
  if (!ready_ || deflateReset(&stream_) != Z_OK) return false;
  const uLong bound = deflateBound(&stream_, static_cast<uLong>(data.size()));
  if (compressed.capacity() < bound) compressed.reserve(bound);
  compressed.resize(bound);
  stream_.next_in = const_cast<Bytef*>(data.data());  // zlib's interface predates const; it only reads
  stream_.avail_in = static_cast<uInt>(data.size());
  stream_.next_out = reinterpret_cast<Bytef*>(compressed.data());
  stream_.avail_out = static_cast<uInt>(bound);
  const bool done = deflate(&stream_, Z_FINISH) == Z_STREAM_END;
  compressed.resize(done ? stream_.total_out : 0);
  return done;
}

PdfWriter::PdfWriter(Sink sink) : sink_(std::move(sink)) {
  // The binary comment tells transfer programs that the file is not text.
  append("%PDF-1.6\n%\xE2\xE3\xCF\xD3\n");
}

int PdfWriter::reserveObject() {
  offsets_.push_back(0);
  return static_cast<int>(offsets_.size());
}

void PdfWriter::beginObject(int id) {
  if (id < 1 || static_cast<std::size_t>(id) > offsets_.size()) {
    failed_ = true;  // a number never reserved: the file would be inconsistent
    return;
  }
  offsets_[static_cast<std::size_t>(id) - 1] = written_;
  append(std::to_string(id));
  append(" 0 obj\n");
}

void PdfWriter::writeObject(int id, std::string_view body) {
  beginObject(id);
  append(body);
  append("\nendobj\n");
}

void PdfWriter::writeStream(int id, std::string_view dictionary, std::span<const unsigned char> data, bool deflate) {
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

void PdfWriter::writeStream(int id, std::string_view dictionary, std::string_view data, bool deflate) {
  writeStream(id, dictionary, bytesOf(data), deflate);
}

void PdfWriter::append(std::string_view bytes) {
  if (failed_) return;
  buffer_.append(bytes);
  written_ += bytes.size();
  if (buffer_.size() >= kFlushSize) flush();
}

void PdfWriter::flush() {
  if (failed_ || buffer_.empty()) return;
  if (!sink_(bytesOf(buffer_))) failed_ = true;
  buffer_.clear();
}

void PdfWriter::finish(int catalog, int info) {
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
  append(" 0 R>>\nstartxref\n");
  append(std::to_string(xref));
  append("\n%%EOF\n");
  flush();
}

}  // namespace vorn::platform::posix
