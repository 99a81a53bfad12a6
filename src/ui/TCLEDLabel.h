#pragma once

#include <QColor>
#include <QWidget>

class RepaintPacer;

// A seven-segment LED number label: a fixed number of digit cells showing a
// whole decimal number right-aligned on a black background. Its value is its
// text; an increase reads the shown number and writes the new one.
class TCLEDLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(QColor offColor READ offColor WRITE setOffColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(int digitCount READ digitCount WRITE setDigitCount)

public:
    explicit TCLEDLabel(int digitCount, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // The shown number; text that is no whole number reads as 0.
    long long value() const;
    void setValue(long long value);
    void add(long long amount) { setValue(value() + amount); }

    QColor onColor() const { return m_onColor; }
    void setOnColor(const QColor& color);
    QColor offColor() const { return m_offColor; }
    void setOffColor(const QColor& color);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor& color);
    int digitCount() const { return m_digitCount; }
    void setDigitCount(int count);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintDigit(class QPainter& painter, const QRectF& cell, QChar ch) const;

    QString m_text;
    // The number m_text was last made from by setValue, while no other text has replaced it:
    // a run sets all three counters on every request and usually only one has moved.
    long long m_valueShown = 0;
    bool m_valueShownValid = false;
    QColor m_onColor = Qt::cyan;
    QColor m_offColor = QColor(0x80, 0, 0);
    QColor m_borderColor = Qt::cyan;
    int m_digitCount;
    RepaintPacer* m_repaint;
};
