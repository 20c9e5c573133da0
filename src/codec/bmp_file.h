// BMP files of the codec: the 24-bit writer of decoded pictures and the reader that feeds the encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fotolume::codec {

// Row length of 24-bit pixel data: 3 bytes per pixel, padded to a multiple of 4.
inline std::size_t Bmp24Stride(int width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }

// The bytes of an uncompressed bottom-up BMP: 54-byte header, then height rows of
// (width x bytesPerPixel) rounded up to 4 bytes, file row j taken from source row (height - 1 - j).
// Source rows run top to bottom, rowBytes apart; row bytes past rowBytes are written as 0.
std::vector<std::uint8_t> MakeBmpFile(const std::uint8_t* topDownRows, std::size_t rowBytes, int width, int height,
                                      int bytesPerPixel, int pixelsPerMetre);

// Writes a 24-bit BMP from top-down blue-green-red rows (rowBytes apart); replaces the file as a whole.
bool SaveBmpFile(const std::string& path, const std::uint8_t* topDownRows, std::size_t rowBytes, int width,
                 int height, int pixelsPerMetre = 300);

// Replaces path with bytes through a temporary file in the same folder, so no reader sees half a file.
// A path that names a device or a FIFO is written to instead (false when a FIFO has no reader).
bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

// Reads a BMP as width x height 24-bit pixel data for the encoder: bottom row first, rows
// Bmp24Stride(width) apart. The file's own size fields are not used: the caller gives the panel size.
// 16-bit files are read as 5-5-5; 8-bit files through their palette; 32-bit files drop the fourth byte;
// anything else as 24-bit. Missing bytes of a short file stay 0 (black), and endedEarly, when given, says
// whether there were any. 1 when read, 0 when the file cannot be opened, is no regular file (a FIFO is
// refused at once) or the size is not positive.
int LoadPicFromDir(const std::string& path, std::vector<std::uint8_t>& pixels, int width, int height,
                   bool* endedEarly = nullptr);

}  // namespace fotolume::codec
