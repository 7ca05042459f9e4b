#include "framework/imageformat.h"

#include "framework/pngfast.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>

namespace {

bool StartsWith(std::span<const uint8_t> bytes, const char* prefix, size_t length) {
  return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

// Bounds-checked reads of little- or big-endian numbers; nothing past the end.
class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> bytes, bool bigEndian = false) : bytes_(bytes), bigEndian_(bigEndian) {}
  uint64_t size() const { return bytes_.size(); }
  bool Has(uint64_t at, uint64_t length) const { return at <= bytes_.size() && length <= bytes_.size() - at; }
  std::optional<uint32_t> Number(uint64_t at, int length) const {
    if (!Has(at, static_cast<uint64_t>(length))) return std::nullopt;
    uint32_t value = 0;
    for (int i = 0; i < length; ++i) {
      const uint32_t byte = bytes_[at + static_cast<uint64_t>(bigEndian_ ? i : length - 1 - i)];
      value = value << 8 | byte;
    }
    return value;
  }
  std::optional<uint8_t> Byte(uint64_t at) const {
    if (!Has(at, 1)) return std::nullopt;
    return bytes_[at];
  }

 private:
  std::span<const uint8_t> bytes_;
  bool bigEndian_;
};

// The blocks of a GIF file up to the end of its first image: extensions and
// the image's own data come as chains of sub-blocks, each led by its length
// and the chain ended by an empty one.
bool GifHoldsImage(const Bytes& gif) {
  const std::optional<uint8_t> screenFlags = gif.Byte(10);
  if (!screenFlags) return false;
  uint64_t at = 13;
  if (*screenFlags & 0x80) at += 3u << ((*screenFlags & 7) + 1);
  const auto skipSubBlocks = [&gif](uint64_t& pos) {
    for (std::optional<uint8_t> length; (length = gif.Byte(pos)); pos += 1 + *length) {
      if (*length == 0) {
        ++pos;
        return true;
      }
    }
    return false;
  };
  for (;;) {
    const std::optional<uint8_t> introducer = gif.Byte(at);
    if (introducer == 0x21) {  // an extension: its label, then its data
      at += 2;
      if (!skipSubBlocks(at)) return false;
    } else if (introducer == 0x2C) {  // the image: its descriptor, colours, code size, data
      const std::optional<uint8_t> flags = gif.Byte(at + 9);
      if (!flags) return false;
      at += 10;
      if (*flags & 0x80) at += 3u << ((*flags & 7) + 1);
      ++at;
      return skipSubBlocks(at);
    } else {
      return false;  // the end of the file, its trailer or no block at all before any image
    }
  }
}

// Follows a BMP file's run-length pixels from `at` to the end-of-bitmap code
// or the end of the last row, as its decoder does: runs of one value, rows
// ended early and jumps ahead (never past the last row) all in codes of two
// bytes; literal runs, of `bits`-bit pixels, padded to two bytes.
bool RunsReachTheEnd(const Bytes& bmp, uint64_t at, int bits, int64_t rows) {
  for (int64_t row = 0; row < rows;) {
    const std::optional<uint8_t> count = bmp.Byte(at);
    const std::optional<uint8_t> code = bmp.Byte(at + 1);
    if (!code) return false;
    at += 2;
    if (*count != 0) continue;  // a run of one value
    if (*code == 0) {
      ++row;
    } else if (*code == 1) {
      return true;
    } else if (*code == 2) {
      const std::optional<uint8_t> down = bmp.Byte(at + 1);
      if (!down) return false;
      at += 2;
      row = std::min<int64_t>(row + *down, rows - 1);
    } else {
      const uint64_t bytes = (uint64_t{*code} * static_cast<uint64_t>(bits) + 7) / 8;
      at += (bytes + 1) / 2 * 2;
    }
  }
  return true;
}

// The pixel data of a BMP file, from its header on, as its decoder finds
// them: after the header, the colour masks and the colour table, or where the
// file header says when that lies further on.
bool BmpHoldsImage(const Bytes& bmp) {
  const std::optional<uint32_t> dataOffset = bmp.Number(10, 4);
  const std::optional<uint32_t> headerSize = bmp.Number(14, 4);
  if (!dataOffset || !headerSize) return false;
  // A header of a size other than these is the oldest one, of 16-bit sizes.
  const bool full = *headerSize == 40 || *headerSize == 64 || *headerSize == 108 || *headerSize == 124;
  const std::optional<uint32_t> width = bmp.Number(18, full ? 4 : 2);
  const std::optional<uint32_t> height = bmp.Number(full ? 22 : 20, full ? 4 : 2);
  const std::optional<uint32_t> bits = bmp.Number(full ? 28 : 24, 2);
  const std::optional<uint32_t> compression = full ? bmp.Number(30, 4) : 0u;
  const std::optional<uint32_t> coloursUsed = full ? bmp.Number(46, 4) : 0u;
  if (!width || !height || !bits || !compression || !coloursUsed) return false;
  const int64_t rows =
      full ? std::abs(int64_t{static_cast<int32_t>(*height)}) : std::abs(int64_t{static_cast<int16_t>(*height)});
  const int64_t columns = full ? int64_t{static_cast<int32_t>(*width)} : int64_t{static_cast<int16_t>(*width)};
  constexpr uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3;
  uint64_t start = 14 + uint64_t{*headerSize};
  if (*compression == kBitFields && *headerSize < 108) start += 12;
  if (*bits <= 8) start += uint64_t{*coloursUsed != 0 ? *coloursUsed : 1u << *bits} * (full ? 4 : 3);
  if (static_cast<int32_t>(*dataOffset) > 0) start = std::max<uint64_t>(start, *dataOffset);
  if (columns <= 0 || *bits == 0 || *bits > 32) return true;  // refused by the decoder
  if (*compression == kRle8 || *compression == kRle4) return RunsReachTheEnd(bmp, start, static_cast<int>(*bits), rows);
  const uint64_t rowBytes = (static_cast<uint64_t>(columns) * *bits + 31) / 32 * 4;
  return bmp.Has(start, rowBytes * static_cast<uint64_t>(rows));
}

// Everything the first directory of a TIFF file points to: the directory
// itself, each entry's values kept outside it, and the strips or tiles whose
// places and lengths it lists.
bool TiffHoldsImage(const Bytes& tiff) {
  const std::optional<uint32_t> directory = tiff.Number(4, 4);
  const std::optional<uint32_t> entries = directory ? tiff.Number(*directory, 2) : std::nullopt;
  if (!entries || !tiff.Has(*directory, 2 + 12 * uint64_t{*entries} + 4)) return false;
  // Bytes of a value of each type (1 to 13), 0 for types not known.
  constexpr uint8_t kTypeBytes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  struct List {
    uint32_t type = 0, count = 0;
    uint64_t at = 0;
  } offsets, lengths;
  for (uint32_t i = 0; i < *entries; ++i) {
    const uint64_t entry = *directory + 2 + 12 * uint64_t{i};
    const uint32_t tag = *tiff.Number(entry, 2);
    const uint32_t type = *tiff.Number(entry + 2, 2);
    const uint32_t count = *tiff.Number(entry + 4, 4);
    if (type >= std::size(kTypeBytes) || kTypeBytes[type] == 0) continue;
    const uint64_t bytes = uint64_t{count} * kTypeBytes[type];
    const uint64_t at = bytes <= 4 ? entry + 8 : *tiff.Number(entry + 8, 4);
    if (!tiff.Has(at, bytes)) return false;
    if (tag == 273 || tag == 324) offsets = {type, count, at};  // strip or tile offsets
    if (tag == 279 || tag == 325) lengths = {type, count, at};  // their byte counts
  }
  const auto value = [&tiff](const List& list, uint32_t i) -> uint64_t {
    return list.type == 3 ? *tiff.Number(list.at + 2 * uint64_t{i}, 2) : *tiff.Number(list.at + 4 * uint64_t{i}, 4);
  };
  const auto isNumber = [](const List& list) { return list.type == 3 || list.type == 4; };
  // Without the lengths the reader estimates them; there is nothing to check.
  if (!isNumber(offsets) || !isNumber(lengths) || offsets.count != lengths.count) return true;
  for (uint32_t i = 0; i < offsets.count; ++i) {
    if (!tiff.Has(value(offsets, i), value(lengths, i))) return false;
  }
  return true;
}

}  // namespace

ImageFormat FormatOf(std::span<const uint8_t> start) {
  if (IsPngSignature(start)) return ImageFormat::kPng;
  if (StartsWith(start, "\xFF\xD8", 2)) return ImageFormat::kJpeg;
  if (StartsWith(start, "GIF87a", 6) || StartsWith(start, "GIF89a", 6)) return ImageFormat::kGif;
  if (StartsWith(start, "BM", 2)) return ImageFormat::kBmp;
  if (StartsWith(start, "II*\0", 4) || StartsWith(start, "MM\0*", 4)) return ImageFormat::kTiff;
  // An icon or a cursor.
  if (StartsWith(start, "\0\0\1\0", 4) || StartsWith(start, "\0\0\2\0", 4)) return ImageFormat::kIco;
  return ImageFormat::kNone;
}

bool HoldsItsImageData(ImageFormat format, std::span<const uint8_t> file) {
  switch (format) {
    case ImageFormat::kGif:
      return GifHoldsImage(Bytes(file));
    case ImageFormat::kBmp:
      return BmpHoldsImage(Bytes(file));
    case ImageFormat::kTiff:
      return TiffHoldsImage(Bytes(file, file.size() > 0 && file[0] == 'M'));
    default:
      return true;
  }
}
