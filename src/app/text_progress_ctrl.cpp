#include "app/text_progress_ctrl.h"

#include <QMetaObject>
#include <QPainter>
#include <QPalette>
#include <QThread>
#include <cmath>

namespace fotolume::app {

namespace {

bool OnOwnThread(const QObject* object) { return QThread::currentThread() == object->thread(); }

}  // namespace

CTextProgressCtrl::CTextProgressCtrl(QWidget* parent) : QWidget(parent) {
    const QPalette pal = palette();
    m_barColor = pal.color(QPalette::Highlight);
    m_bgColor = pal.color(QPalette::Base);
    m_textOnBg = pal.color(QPalette::Highlight);
    m_textOnBar = pal.color(QPalette::Base);
    // All drawing happens in paintEvent; Qt must not clear the area first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int CTextProgressCtrl::FilledWidth(int pos) const {
    const double fraction = static_cast<double>(pos - m_lower) / static_cast<double>(m_upper - m_lower);
    return static_cast<int>(std::trunc(fraction * width()));
}

int CTextProgressCtrl::SetPos(int value) {
    const int previous = m_pos.exchange(value);
    if (!OnOwnThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, value] { SetPos(value); }, Qt::QueuedConnection);
        return previous;
    }
    const int filled = FilledWidth(value);
    if (filled != m_drawnWidth) {
        m_drawnWidth = filled;
        repaint();
    }
    Q_EMIT posChanged(value);
    return previous;
}

int CTextProgressCtrl::SetStep(int step) {
    const int previous = m_step;
    m_step = step;
    return previous;
}

int CTextProgressCtrl::StepIt() {
    int next = m_pos.load() + m_step;
    if (next > m_upper) next = m_lower;
    return SetPos(next);
}

void CTextProgressCtrl::SetText(const QString& text) {
    if (!OnOwnThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, text] { SetText(text); }, Qt::QueuedConnection);
        return;
    }
    if (text == m_text) return;
    m_text = text;
    update();
}

QString CTextProgressCtrl::GetText() const { return m_text; }

void CTextProgressCtrl::SetShowText(bool show) {
    if (show == m_showText) return;
    m_showText = show;
    update();
}

void CTextProgressCtrl::SetBarColor(const QColor& colour) {
    m_barColor = colour;
    update();
}

void CTextProgressCtrl::SetBgColor(const QColor& colour) {
    m_bgColor = colour;
    update();
}

void CTextProgressCtrl::SetTextColors(const QColor& onBackground, const QColor& onBar) {
    m_textOnBg = onBackground;
    m_textOnBar = onBar;
    update();
}

QString CTextProgressCtrl::DisplayText() const {
    if (!m_text.isEmpty()) return m_text;
    const double fraction = static_cast<double>(m_pos.load() - m_lower) / static_cast<double>(m_upper - m_lower);
    return QStringLiteral("%1%").arg(static_cast<int>(std::trunc(fraction * 100.0)));
}

void CTextProgressCtrl::paintEvent(QPaintEvent* /*event*/) {
    // The widget's backing store already gives the off-screen buffer that
    // keeps the bar from flickering.
    QPainter painter(this);
    const QRect client = rect();
    const int edge = client.left() + FilledWidth(m_pos.load());
    const QRect done(client.left(), client.top(), edge - client.left(), client.height());
    const QRect rest(edge, client.top(), client.right() + 1 - edge, client.height());

    painter.fillRect(done, m_barColor);
    painter.fillRect(rest, m_bgColor);
    if (!m_showText) return;

    const QString text = DisplayText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.save();
    painter.setClipRect(done);
    painter.setPen(m_textOnBar);
    painter.drawText(client, flags, text);
    painter.restore();
    painter.setClipRect(rest);
    painter.setPen(m_textOnBg);
    painter.drawText(client, flags, text);
}

void CTextProgressCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_drawnWidth = -1;
}

}  // namespace fotolume::app
