// The panel bitmap as the encoder takes it: 24-bit blue-green-red, rows bottom-up, each row padded with
// zero bytes to a multiple of 4.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

namespace fotolume::compose {

// Bytes in one padded row of a 24-bit bitmap of the given width.
int PaddedRowBytes(int width);

// The pixel data of a 24-bit bottom-up BMP: height rows of PaddedRowBytes(width). Empty for a null image.
std::vector<std::uint8_t> ToBgrBottomUp(const QImage& image);

// Writes the image as an uncompressed 24-bit BMP with the codec's own writer: a 54-byte header, then
// ToBgrBottomUp's rows; resolution fields 0. Written to a temporary file and renamed over the path.
// False on failure.
bool SavePanelBmp(const QImage& image, const QString& path);

}  // namespace fotolume::compose
