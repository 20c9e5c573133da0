// The demo album of `fotolume-sim create --demo N`: numbered test cards of the panel size, added through
// the album store and committed as the command line does. Part of the program only: the emulator
// library stays free of Qt.
#pragma once

#include <QImage>
#include <QSize>
#include <string>

namespace fotolume::sim {

// Test card `number` of `count`: its own colours, a circle, colour bars and the number in large
// seven-segment digits (drawn as shapes, so no font is needed).
QImage DrawTestCard(int number, int count, QSize panel);

// Adds test cards 1 to count to the album of the flash image file and commits it. Empty text when
// done, else why not (the image is then not a finished demo frame).
std::string FillDemoAlbum(const std::string& imagePath, int count);

}  // namespace fotolume::sim
