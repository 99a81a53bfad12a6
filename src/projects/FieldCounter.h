#pragma once

#include "ui/TCLEDLabel.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;

// The counter beside a title, description or keyword field: shows the
// count on its LED label, red borders above the limit, aqua otherwise,
// maroon unlit segments. It never limits or changes the text.
class FieldCounter : public QObject
{
    Q_OBJECT

public:
    enum Kind { Title, Description, Keywords };

    FieldCounter(Kind kind, TCLEDLabel* label, QObject* parent = nullptr);

    Kind kind() const { return m_kind; }
    TCLEDLabel* label() const { return m_label; }

    static int limit(Kind kind);
    // Commas plus one, 0 for an empty text; `between` runs after each comma.
    static int keywordCount(const QString& text, const std::function<void()>& between = {});
    static int count(Kind kind, const QString& text, const std::function<void()>& between = {});
    static QColor borderColor(int count, int limit);
    static QColor aqua() { return QColor(0x00, 0xFF, 0xFF); }
    static QColor red() { return QColor(0xFF, 0x00, 0x00); }
    static QColor maroon() { return QColor(0x80, 0x00, 0x00); }

    // A 5-digit counter label at "0" with the counters' starting colours.
    static TCLEDLabel* createLabel(const QString& objectName, QWidget* parent);

public slots:
    // The counter rule for the field's new text. Counting commas takes
    // microseconds even for megabytes, so it runs whole, without letting
    // events run in between.
    void update(const QString& text);

private:
    void show(int count);

    Kind m_kind;
    QPointer<TCLEDLabel> m_label;
};
