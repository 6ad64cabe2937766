#include "agent/render/bitmaps.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "agent/render/load_files.h"
#include "agent/render/raw_data.h"

namespace vorn {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
// BITMAPV5HEADER, the longest (ImageMagick's default); V4 has 108 bytes.
constexpr std::size_t kInfoHeaderMax = 124;
constexpr std::size_t kInfoHeaderMin = platform::BitmapInfoHeader::kSize;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::size_t kBitfieldMasksSize = 12;

std::uint32_t readU32(std::span<const std::byte> bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= std::to_integer<std::uint32_t>(bytes[offset + i]) << (8 * i);
  return value;
}

// Whether the pixel data and colour table cover what the header describes, so
// that the device never reads past them. Only uncompressed layouts are taken:
// for them the sizes are known in advance. `colourTableSize` counts the
// colour masks of BI_BITFIELDS wherever the file holds them.
bool describesItsData(const platform::BitmapInfoHeader& header, std::uint64_t colourTableSize,
                      std::uint64_t pixelDataSize) {
  const std::uint32_t bits = header.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (header.compression == kBiBitfields) {
    if ((bits != 16 && bits != 32) || colourTableSize < kBitfieldMasksSize) return false;
  } else if (header.compression != kBiRgb) {
    return false;
  }
  if (header.width <= 0 || header.height == 0) return false;

  const std::uint64_t width = static_cast<std::uint64_t>(header.width);
  const std::uint64_t rows =
      header.height < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(header.height))
                        : static_cast<std::uint64_t>(header.height);
  const std::uint64_t stride = (width * bits + 31) / 32 * 4;  // rows are padded to 4 bytes
  if (rows > pixelDataSize / stride) return false;

  if (bits <= 8) {
    const std::uint64_t maxColours = std::uint64_t{1} << bits;
    const std::uint64_t colours = header.clrUsed == 0 || header.clrUsed > maxColours ? maxColours : header.clrUsed;
    if (colourTableSize < colours * 4) return false;
  }
  return true;
}

// A bitmap from an open file. Any header that does not match the file makes
// it absent; nothing is read or allocated beyond what the file's own size holds.
DeviceBitmap loadOpenFile(RenderState& state, platform::File& file) {
  std::array<std::byte, kFileHeaderSize + kInfoHeaderMax> headers{};
  if (!ReadExact(file, std::span(headers).first(kFileHeaderSize + 4))) return {};
  const std::uint32_t infoSize = readU32(headers, kFileHeaderSize);
  if (infoSize > kInfoHeaderMax || infoSize < kInfoHeaderMin) return {};
  if (!ReadExact(file, std::span(headers).subspan(kFileHeaderSize + 4, infoSize - 4))) return {};

  std::uint64_t actualSize = 0;
  if (file.size(actualSize) != 0) return {};
  const std::uint32_t fileSize = readU32(headers, 2);
  const std::uint32_t pixelOffset = readU32(headers, 10);
  if (headers[0] != std::byte{'B'} || headers[1] != std::byte{'M'} || fileSize != actualSize) return {};
  if (pixelOffset < kFileHeaderSize + infoSize || pixelOffset > fileSize) return {};

  const std::size_t colourTableSize = pixelOffset - kFileHeaderSize - infoSize;
  const std::size_t pixelDataSize = fileSize - pixelOffset;
  const auto infoHeader = std::span<const std::byte>(headers).subspan(kFileHeaderSize).first<kInfoHeaderMin>();
  const platform::BitmapInfoHeader header = platform::BitmapInfoHeader::fromBytes(infoHeader);
  // A header of version 2 or later (52 bytes and more) holds the colour masks
  // itself; the 40-byte header the device takes has them after it, where a
  // colour table would be.
  const std::size_t headerMasks =
      header.compression == kBiBitfields && infoSize >= kInfoHeaderMin + kBitfieldMasksSize ? kBitfieldMasksSize : 0;
  if (!describesItsData(header, headerMasks + colourTableSize, pixelDataSize)) return {};

  // The information block: the 40-byte header, marked as such, the masks and the colour table.
  std::vector<std::byte> info(kInfoHeaderMin + headerMasks + colourTableSize);
  std::memcpy(info.data(), infoHeader.data(), kInfoHeaderMin);
  const std::uint32_t blockHeaderSize = kInfoHeaderMin;
  for (std::size_t i = 0; i < 4; ++i) info[i] = static_cast<std::byte>((blockHeaderSize >> (8 * i)) & 0xFF);
  std::memcpy(info.data() + kInfoHeaderMin, headers.data() + kFileHeaderSize + kInfoHeaderMin, headerMasks);
  if (!ReadExact(file, std::span(info).subspan(kInfoHeaderMin + headerMasks))) return {};

  std::vector<std::byte> pixels(pixelDataSize);
  if (!ReadExact(file, pixels)) return {};

  const platform::GdiObject bitmap = state.document.dc->createDIBitmap(header, pixels, info);
  if (bitmap == platform::kNoObject) return {};
  return DeviceBitmap(*state.document.dc, bitmap);
}

}  // namespace

// A file that exists but gives no bitmap is reported (once a document), and
// the macro of the same name is tried as for an absent one.
DeviceBitmap LoadBitmapFile(RenderState& state, std::string_view name) {
  const auto path = ComposeLoadPath(state.context.loadDirectory, name, "bmp");
  if (!path) return {};
  std::unique_ptr<platform::File> file;
  if (state.files.openForReading(path->view(), file) != 0 || !file) return {};
  DeviceBitmap bitmap = loadOpenFile(state, *file);
  if (!bitmap && state.context.badBitmapFile) {
    auto& reported = state.document.badBitmapsReported;
    if (std::find(reported.begin(), reported.end(), path->view()) == reported.end()) {
      reported.emplace_back(path->view());
      state.context.badBitmapFile(path->view());
    }
  }
  return bitmap;
}

int DrawBitmap(RenderState& state, platform::GdiObject bitmap) {
  platform::DeviceContext& dc = *state.document.dc;
  if ((dc.getDeviceCaps(platform::kRasterCaps) & platform::kRcBitBlt) == 0) return 0;

  const std::unique_ptr<platform::DeviceContext> memory = dc.createCompatibleDC();
  if (!memory) return 0;
  if (memory->selectObject(bitmap) == platform::kNoObject) return 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (!dc.getBitmapSize(bitmap, width, height)) return 0;

  // One bitmap pixel is one printer dot; the current position stays where it is.
  platform::Point position;
  if (!dc.getCurrentPosition(position)) return 0;
  if (!dc.bitBlt(position.x, position.y, width, height, *memory, 0, 0, platform::kSrcCopy)) return 0;
  return 1;
}

void PlaceImageOrMacro(RenderState& state, std::string_view name) {
  if (const DeviceBitmap bitmap = LoadBitmapFile(state, name)) {
    DrawBitmap(state, bitmap.get());
  } else {
    SendMacroFile(state, name);
  }
}

}  // namespace vorn
