// Deterministic pictures for the programs that compose and show them, and the frame streams made of them.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace fotolume::testsupport {

// One colour all over.
QImage SolidPicture(int width, int height, QColor colour);
// Detail everywhere, so it encodes large and shrinks with quality; the same seed gives the same picture.
QImage NoisePicture(int width, int height, unsigned seed);
// Every pixel distinct in its low bits, so any misplaced pixel shows.
QImage PatternPicture(int width, int height);
// The left half red, the right half blue.
QImage SplitPicture(int width, int height);

// Writes a JPEG with an EXIF APP1 segment carrying the given orientation.
bool WriteJpegWithOrientation(const QImage& picture, int orientation, const QString& path);

// True when the colour is within tolerance of the expected one in every channel.
bool Near(QRgb actual, QRgb expected, int tolerance);

// The frame picture stream (H2V2, no JFIF) of a panel-size picture at a quality; empty when encoding fails.
std::vector<std::uint8_t> PictureStream(const QImage& picture, int quality);
// Streams of count noise pictures of that size at a quality, seeds from firstSeed on.
std::vector<std::vector<std::uint8_t>> NoiseStreams(unsigned firstSeed, int count, int width, int height, int quality);

}  // namespace fotolume::testsupport
