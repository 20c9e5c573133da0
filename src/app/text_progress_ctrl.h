// CTextProgressCtrl: the progress bar that writes its percentage on itself.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <atomic>

namespace fotolume::app {

// Flat two-colour progress bar with a centred text that changes colour where
// the bar's edge crosses it. It repaints only when the filled width in pixels
// changes, so a transfer loop may set the position as often as it likes.
// SetPos and SetText may be called from a worker: the call is then handed to
// the window thread, in call order.
class CTextProgressCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CTextProgressCtrl(QWidget* parent = nullptr);

    // Stores the position and repaints at once if the filled width changed.
    // Returns the previous position.
    int SetPos(int value);
    int GetPos() const { return m_pos.load(); }
    int SetStep(int step);
    int StepIt();

    // A non-empty text replaces the percentage; an empty one brings it back.
    void SetText(const QString& text);
    QString GetText() const;
    void SetShowText(bool show);

    void SetBarColor(const QColor& colour);
    void SetBgColor(const QColor& colour);
    void SetTextColors(const QColor& onBackground, const QColor& onBar);

    int GetLower() const { return m_lower; }
    int GetUpper() const { return m_upper; }
    // Filled width at the last repaint; -1 before the first one.
    int GetDrawnWidth() const { return m_drawnWidth; }
    // The text drawn now: the stored text, or the percentage.
    QString DisplayText() const;

Q_SIGNALS:
    // A position was set (window thread), whether or not the bar moved.
    void posChanged(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int FilledWidth(int pos) const;

    std::atomic<int> m_pos{0};
    int m_step = 1;
    const int m_lower = 0;
    const int m_upper = 100;
    QString m_text;
    bool m_showText = true;
    int m_drawnWidth = -1;
    QColor m_barColor;
    QColor m_bgColor;
    QColor m_textOnBg;
    QColor m_textOnBar;
};

}  // namespace fotolume::app
