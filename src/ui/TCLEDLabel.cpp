#include "TCLEDLabel.h"

#include "RepaintPacer.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// Segments a..g in the usual order; bit i set means segment i is lit.
constexpr unsigned char kDigitSegments[10] = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F,
};
constexpr unsigned char kMinusSegments = 0x40;

} // namespace

TCLEDLabel::TCLEDLabel(int digitCount, QWidget* parent)
    : QWidget(parent), m_text(QStringLiteral("0")), m_digitCount(qMax(1, digitCount)),
      m_repaint(new RepaintPacer(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(m_text);
}

void TCLEDLabel::setText(const QString& text)
{
    m_valueShownValid = false;
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    // A counter of a run changes hundreds of times a second; it is painted at most every 40 ms.
    m_repaint->request();
    emit textChanged(text);
}

long long TCLEDLabel::value() const
{
    bool ok = false;
    const long long v = m_text.trimmed().toLongLong(&ok);
    return ok ? v : 0;
}

void TCLEDLabel::setValue(long long value)
{
    if (m_valueShownValid && value == m_valueShown)
        return;
    setText(QString::number(value));
    m_valueShown = value;
    m_valueShownValid = true;
}

void TCLEDLabel::setOnColor(const QColor& color)
{
    m_onColor = color;
    update();
}

void TCLEDLabel::setOffColor(const QColor& color)
{
    m_offColor = color;
    update();
}

void TCLEDLabel::setBorderColor(const QColor& color)
{
    m_borderColor = color;
    update();
}

void TCLEDLabel::setDigitCount(int count)
{
    m_digitCount = qMax(1, count);
    updateGeometry();
    update();
}

QSize TCLEDLabel::sizeHint() const
{
    return QSize(m_digitCount * 12 + 4, 22);
}

QSize TCLEDLabel::minimumSizeHint() const
{
    return QSize(m_digitCount * 6 + 2, 12);
}

void TCLEDLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal cellWidth = (width() - 4.0) / m_digitCount;
    const QRectF area(2, 2, width() - 4.0, height() - 4.0);
    // Right-aligned: the last character sits in the last cell; extra leading
    // characters that do not fit are not drawn.
    const int shown = qMin<int>(m_text.size(), m_digitCount);
    const int firstCell = m_digitCount - shown;
    for (int cell = 0; cell < m_digitCount; ++cell) {
        const QRectF r(area.left() + cell * cellWidth, area.top(), cellWidth, area.height());
        const int index = cell - firstCell + (m_text.size() - shown);
        paintDigit(painter, r, cell >= firstCell ? m_text.at(index) : QChar(u' '));
    }
}

void TCLEDLabel::paintDigit(QPainter& painter, const QRectF& cell, QChar ch) const
{
    unsigned char lit = 0;
    if (ch >= u'0' && ch <= u'9')
        lit = kDigitSegments[ch.unicode() - u'0'];
    else if (ch == u'-')
        lit = kMinusSegments;

    const qreal w = cell.width() * 0.7;
    const qreal h = cell.height();
    const qreal t = qMax<qreal>(1.5, w * 0.18);
    const qreal x = cell.left() + (cell.width() - w) / 2;
    const qreal y = cell.top();
    const qreal half = h / 2;

    // Each segment as a rectangle: a, b, c, d, e, f, g.
    const QRectF segments[7] = {
        QRectF(x + t, y, w - 2 * t, t),
        QRectF(x + w - t, y + t, t, half - 1.5 * t),
        QRectF(x + w - t, y + half + 0.5 * t, t, half - 1.5 * t),
        QRectF(x + t, y + h - t, w - 2 * t, t),
        QRectF(x, y + half + 0.5 * t, t, half - 1.5 * t),
        QRectF(x, y + t, t, half - 1.5 * t),
        QRectF(x + t, y + half - 0.5 * t, w - 2 * t, t),
    };
    for (int i = 0; i < 7; ++i) {
        const bool on = lit & (1u << i);
        painter.setPen(on ? QPen(m_borderColor, 0.5) : Qt::NoPen);
        painter.setBrush(on ? m_onColor : m_offColor);
        painter.drawRoundedRect(segments[i], t / 3, t / 3);
    }
}
