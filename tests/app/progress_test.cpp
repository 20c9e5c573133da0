#include "app/text_progress_ctrl.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

using fotolume::app::CTextProgressCtrl;

namespace {

// A bar of this width in a shown window, counting the paints it receives.
class ShownBar : public QObject {
public:
    explicit ShownBar(int width)
    {
        bar.setGeometry(0, 0, width, 23);
        window.resize(width + 20, 40);
        bar.installEventFilter(this);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }

    QWidget window;
    CTextProgressCtrl& bar = *new CTextProgressCtrl(&window);
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

bool IsRedDominant(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100;
}

bool IsGreenDominant(QRgb c)
{
    return qGreen(c) > 150 && qRed(c) < 100;
}

} // namespace

TEST(TextProgress, HalfwayBarSplitsColoursAndTextAtTheEdge)
{
    ShownBar shown(200);
    const QColor barColour(0, 0, 255);
    const QColor background(255, 255, 255);
    const QColor textOnBackground(255, 0, 0);
    const QColor textOnBar(0, 255, 0);
    shown.bar.SetBarColor(barColour);
    shown.bar.SetBgColor(background);
    shown.bar.SetTextColors(textOnBackground, textOnBar);
    QFont big = shown.bar.font();
    big.setPixelSize(18);
    shown.bar.setFont(big);

    EXPECT_EQ(shown.bar.SetPos(50), 0);
    EXPECT_EQ(shown.bar.GetDrawnWidth(), 100);
    EXPECT_EQ(shown.bar.DisplayText(), QStringLiteral("50%"));

    const QImage image = shown.bar.grab().toImage();
    ASSERT_EQ(image.width(), 200);
    // The top row holds no text: bar colour up to the edge, background after it.
    EXPECT_EQ(image.pixel(0, 0), barColour.rgb());
    EXPECT_EQ(image.pixel(99, 0), barColour.rgb());
    EXPECT_EQ(image.pixel(100, 0), background.rgb());
    EXPECT_EQ(image.pixel(199, 0), background.rgb());

    // The text straddles the edge: green over the bar, red over the rest, never the other way.
    bool greenLeft = false;
    bool redRight = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (x < 100) {
                EXPECT_FALSE(IsRedDominant(c)) << x << "," << y;
                greenLeft = greenLeft || IsGreenDominant(c);
            } else {
                EXPECT_FALSE(IsGreenDominant(c)) << x << "," << y;
                redRight = redRight || IsRedDominant(c);
            }
        }
    }
    EXPECT_TRUE(greenLeft);
    EXPECT_TRUE(redRight);
}

TEST(TextProgress, RepaintsOnlyWhenTheFilledWidthChanges)
{
    ShownBar shown(200);

    shown.paints = 0;
    shown.bar.SetPos(33);
    EXPECT_EQ(shown.paints, 1);
    EXPECT_EQ(shown.bar.SetPos(33), 33);
    EXPECT_EQ(shown.paints, 1);
    // 33.5% of 200 pixels is still 66 pixels.
    shown.bar.SetPos(33);
    EXPECT_EQ(shown.paints, 1);
    shown.bar.SetPos(34);
    EXPECT_EQ(shown.paints, 2);
}

TEST(TextProgress, NarrowBarDrawsOnceForEveryPositionThatFillsNothing)
{
    ShownBar shown(7);

    shown.paints = 0;
    for (int pos = 0; pos <= 14; ++pos) {
        shown.bar.SetPos(pos);
        EXPECT_EQ(shown.bar.GetDrawnWidth(), 0) << pos;
    }
    EXPECT_EQ(shown.paints, 1);
    shown.bar.SetPos(15); // 1.05 pixels
    EXPECT_EQ(shown.bar.GetDrawnWidth(), 1);
    EXPECT_EQ(shown.paints, 2);
}

TEST(TextProgress, ResizeForgetsTheDrawnWidth)
{
    ShownBar shown(200);
    shown.bar.SetPos(40);
    shown.bar.resize(200, 20);
    EXPECT_EQ(shown.bar.GetDrawnWidth(), -1);
    shown.paints = 0;
    shown.bar.SetPos(40);
    EXPECT_GE(shown.paints, 1);
    EXPECT_EQ(shown.bar.GetDrawnWidth(), 80);
}

TEST(TextProgress, TextReplacesThePercentageUntilCleared)
{
    CTextProgressCtrl bar;
    bar.resize(100, 20);
    bar.SetPos(42);
    EXPECT_EQ(bar.DisplayText(), QStringLiteral("42%"));
    bar.SetText(QStringLiteral("Sending"));
    EXPECT_EQ(bar.DisplayText(), QStringLiteral("Sending"));
    EXPECT_EQ(bar.GetText(), QStringLiteral("Sending"));
    bar.SetText(QString());
    EXPECT_EQ(bar.DisplayText(), QStringLiteral("42%"));
    // The percentage truncates.
    bar.SetPos(99);
    EXPECT_EQ(bar.DisplayText(), QStringLiteral("99%"));
    bar.SetPos(100);
    EXPECT_EQ(bar.DisplayText(), QStringLiteral("100%"));
}

TEST(TextProgress, PositionsFromAWorkerArriveOnTheWindowThreadInOrder)
{
    ShownBar shown(200);
    std::thread worker([&shown] {
        for (int pos = 1; pos <= 60; ++pos)
            shown.bar.SetPos(pos);
        shown.bar.SetText(QStringLiteral("Sending"));
    });
    worker.join();
    // Nothing was drawn from the worker itself.
    EXPECT_EQ(shown.bar.GetDrawnWidth(), -1);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.bar.GetPos(), 60);
    EXPECT_EQ(shown.bar.GetDrawnWidth(), 120);
    EXPECT_EQ(shown.bar.GetText(), QStringLiteral("Sending"));
}
