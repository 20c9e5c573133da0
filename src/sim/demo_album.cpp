#include "sim/demo_album.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "album/album_store.h"
#include "config/file_ops.h"
#include "pictures/panel_add.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"

namespace fotolume::sim {

namespace {

constexpr int kDemoQuality = 90;

// Segments a (top) to g (middle) lit for each digit, bit 0 = a.
constexpr unsigned char kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// One digit in the cell (x, y, w, h) as bars of its lit segments; neighbouring bars overlap at the
// corners, so their union reads as one block letter.
void AddDigit(QPainterPath& path, int digit, double x, double y, double w, double h) {
    const double t = std::max(2.0, w / 4);  // bar thickness
    const double half = h / 2;
    const QRectF segment[7] = {
        {x, y, w, t},                                  // a
        {x + w - t, y, t, half + t / 2},               // b
        {x + w - t, y + half - t / 2, t, half + t / 2},  // c
        {x, y + h - t, w, t},                          // d
        {x, y + half - t / 2, t, half + t / 2},        // e
        {x, y, t, half + t / 2},                       // f
        {x, y + half - t / 2, w, t},                   // g
    };
    for (int s = 0; s < 7; ++s) {
        if (kSegments[digit] >> s & 1) path.addRect(segment[s]);
    }
}

}  // namespace

QImage DrawTestCard(int number, int count, QSize panel) {
    QImage card(panel, QImage::Format_RGB32);
    const int w = panel.width(), h = panel.height();
    // Hues spread over the circle by the card's place in the album, so neighbours differ most.
    const int hue = (number - 1) * 360 / std::max(count, 1) % 360;
    QLinearGradient background(0, 0, w, h);
    background.setColorAt(0, QColor::fromHsv(hue, 200, 250));
    background.setColorAt(1, QColor::fromHsv((hue + 70) % 360, 255, 140));
    QPainter painter(&card);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(card.rect(), background);

    // Colour bars along the bottom.
    static const QRgb bars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
    const int barTop = h - std::max(4, h / 7);
    for (int i = 0; i < 8; ++i) {
        painter.fillRect(QRectF(w * i / 8.0, barTop, w / 8.0 + 1, h - barTop), QColor(bars[i]));
    }
    // The circle of a test card, in the complementary hue.
    const double radius = std::min(w, barTop) * 0.45;
    painter.setPen(QPen(QColor::fromHsv((hue + 180) % 360, 255, 255), std::max(2.0, radius / 12)));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(w / 2.0, barTop / 2.0), radius, radius);

    // The number, large, white on a dark outline.
    const std::string digits = std::to_string(number);
    const auto n = static_cast<double>(digits.size());
    const double digitH = barTop * 0.6;
    const double digitW = std::min(digitH * 0.6, w * 0.8 / (n + (n - 1) * 0.25));
    const double gap = digitW * 0.25;
    double x = (w - (n * digitW + (n - 1) * gap)) / 2;
    const double y = (barTop - digitH) / 2;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (char c : digits) {
        AddDigit(path, c - '0', x, y, digitW, digitH);
        x += digitW + gap;
    }
    painter.setPen(QPen(Qt::black, std::max(1.5, digitW / 12)));
    painter.setBrush(Qt::white);
    painter.drawPath(path.simplified());
    painter.end();
    return card;
}

std::string FillDemoAlbum(const std::string& imagePath, int count) {
    std::string error;
    auto emulator = CFlashEmulator::OpenImage(imagePath, {}, error);
    if (!emulator) return error;
    album::CAlbumStore store;
    store.Bind(MakeEmulatorBackend({emulator.get()}), emulator->GetOptions().vendor);
    const std::filesystem::path folder = std::filesystem::absolute(imagePath).parent_path();
    config::CScratchFolder scratch(folder, ".demo-");
    if (!scratch.Ok()) return "cannot make a scratch folder in " + folder.string();
    try {
        store.GetInformation();
        store.ReadPictureList();
        const QSize panel(static_cast<int>(store.Info().lcdWidth), static_cast<int>(store.Info().lcdHeight));
        for (int i = 1; i <= count; ++i) {
            const album::AddResult r = pictures::AddPanelPicture(store, DrawTestCard(i, count, panel),
                                                                 scratch.File("card.bmp"), scratch.File("card.stream"),
                                                                 kDemoQuality);
            if (!r.Added()) {
                return "the frame has room for " + std::to_string(i - 1) + " demo pictures, not " +
                       std::to_string(count);
            }
        }
        store.CommitAlbum();
    } catch (const album::CAlbumError& e) {
        return std::string("writing the demo album failed: ") + e.what();
    }
    return {};
}

}  // namespace fotolume::sim
