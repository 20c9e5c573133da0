// Composition costs that the user waits for: loading a large photo, a quarter turn of a full work bitmap,
// a zoom step's rescale, and the compact window's render into the panel bitmap.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QTemporaryDir>

#include "compose/compact_transform.h"
#include "compose/composition.h"
#include "compose/picture_loader.h"
#include "compose/quarter_turn.h"

namespace {

using namespace fotolume::compose;

QImage Gradient(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            row[x] = qRgb(x * 255 / w, y * 255 / h, (x ^ y) & 0xFF);
        }
    }
    return image;
}

// A 12-megapixel photo, written once.
const QString& LargeJpeg() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("large.jpg"));
        Gradient(4000, 3000).save(p, "jpg", 90);
        return p;
    }();
    return path;
}

void BM_LoadWorkBitmap12Mpx(benchmark::State& state) {
    const QString& path = LargeJpeg();
    for (auto _ : state) {
        QImage work = LoadWorkBitmap(path);
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_LoadWorkBitmap12Mpx)->Unit(benchmark::kMillisecond);

void BM_TurnQuarter2000(benchmark::State& state) {
    const QImage work = Gradient(2000, 2000);
    for (auto _ : state) {
        QImage turned = TurnQuarter(work, state.range(0) != 0);
        benchmark::DoNotOptimize(turned.constBits());
    }
}
BENCHMARK(BM_TurnQuarter2000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ZoomStep(benchmark::State& state) {
    CComposition c;
    c.SetRectSize(128, 128);
    c.SetPictureImage(Gradient(2000, 1500));
    int direction = 1;
    for (auto _ : state) {
        if (!c.Zoom(direction)) {
            direction = -direction;
            c.Zoom(direction);
        }
        benchmark::DoNotOptimize(c.DisplaySurface().constBits());
    }
}
BENCHMARK(BM_ZoomStep)->Unit(benchmark::kMillisecond);

void BM_CompactPanelRender(benchmark::State& state) {
    const QImage picture = Gradient(2000, 1500);
    CCompactTransform t;
    t.SetPanelSize(320, 240);
    t.SelectPicture(picture.size());
    t.SetRotation(17);
    for (auto _ : state) {
        QImage panel = t.GetPicDataFromView(picture);
        benchmark::DoNotOptimize(panel.constBits());
    }
}
BENCHMARK(BM_CompactPanelRender)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
