// The FlateDecode compressors side by side on the content streams of the
// equal-work report (1,000 pages of 60 lines of 80 random printable
// characters, each page a stream of its own as the PDF writer makes it):
// zlib's levels and libdeflate's, the time to compress every page and the
// bytes made. Every output is inflated again and compared with its page, so
// each compressor has done the same work.
//
//   build/bin/pdf_bench_compressors [pages]
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// A page's content as the writer makes it: one text object, a run a line.
std::string pageContent(std::mt19937& random) {
  std::uniform_int_distribution<int> printable(0x21, 0x7E);
  std::string page = "q 1 0 0 -1 0 841.889764 cm\n0 0 595.276 841.89 re W n\nBT\n/F2 12 Tf\n-0.001176 Tc\n";
  page += "1 0 0 -1 0 24 Tm\n";
  for (int line = 0; line < 60; ++line) {
    if (line > 0) page += "0 -12 Td\n";
    page += '(';
    for (int column = 0; column < 80; ++column) {
      const char c = static_cast<char>(printable(random));
      if (c == '(' || c == ')' || c == '\\') page += '\\';
      page += c;
    }
    page += ")Tj\n";
  }
  return page + "ET\nQ\n";
}

struct Result {
  double seconds = 0;
  std::size_t bytes = 0;
};

using Compress = std::function<std::string(const std::string&)>;

Result measure(const std::vector<std::string>& pages, const Compress& compress) {
  std::vector<std::string> out(pages.size());
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < pages.size(); ++i) out[i] = compress(pages[i]);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  Result result{elapsed.count(), 0};
  std::string back;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    result.bytes += out[i].size();
    uLongf length = static_cast<uLongf>(pages[i].size());
    back.assign(length, '\0');
    if (uncompress(reinterpret_cast<Bytef*>(back.data()), &length, reinterpret_cast<const Bytef*>(out[i].data()),
                   static_cast<uLong>(out[i].size())) != Z_OK ||
        length != pages[i].size() || back != pages[i]) {
      std::fprintf(stderr, "page %zu does not inflate to itself: not the same work\n", i + 1);
      std::exit(1);
    }
  }
  return result;
}

// One stream state made once and reset for each page, as a writer keeps it.
Compress zlibAt(int level) {
  struct Stream {
    z_stream z{};
    ~Stream() { deflateEnd(&z); }
  };
  auto stream = std::make_shared<Stream>();
  deflateInit(&stream->z, level);
  return [stream](const std::string& in) {
    z_stream& z = stream->z;
    deflateReset(&z);
    std::string out(deflateBound(&z, static_cast<uLong>(in.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));  // zlib only reads it
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    return out;
  };
}

Compress libdeflateAt(int level) {
  auto compressor = std::shared_ptr<libdeflate_compressor>(libdeflate_alloc_compressor(level), libdeflate_free_compressor);
  return [compressor](const std::string& in) {
    std::string out(libdeflate_zlib_compress_bound(compressor.get(), in.size()), '\0');
    out.resize(libdeflate_zlib_compress(compressor.get(), in.data(), in.size(), out.data(), out.size()));
    return out;
  };
}

}  // namespace

int main(int argc, char** argv) {
  const int pageCount = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  std::mt19937 random(13);
  std::vector<std::string> pages;
  std::size_t total = 0;
  for (int i = 0; i < pageCount; ++i) {
    pages.push_back(pageContent(random));
    total += pages.back().size();
  }
  struct Entry {
    std::string name;
    Compress compress;
  };
  std::vector<Entry> entries;
  for (const int level : {1, 3, 6}) entries.push_back({"zlib " + std::to_string(level), zlibAt(level)});
  for (const int level : {1, 3, 4, 6, 9}) entries.push_back({"libdeflate " + std::to_string(level), libdeflateAt(level)});
  std::printf("%d pages, %zu bytes of content; the best of 3 runs\n", pageCount, total);
  std::printf("  %-14s %9s %11s %7s\n", "compressor", "time", "bytes", "ratio");
  for (const Entry& e : entries) {
    Result best{1e9, 0};
    for (int run = 0; run < 3; ++run) {
      const Result r = measure(pages, e.compress);
      if (r.seconds < best.seconds) best = r;
    }
    std::printf("  %-14s %8.3fs %11zu %6.3f\n", e.name.c_str(), best.seconds, best.bytes,
                static_cast<double>(best.bytes) / static_cast<double>(total));
  }
  return 0;
}
