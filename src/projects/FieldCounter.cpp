#include "FieldCounter.h"

#include "ui/TCLEDLabel.h"

FieldCounter::FieldCounter(Kind kind, TCLEDLabel* label, QObject* parent)
    : QObject(parent), m_kind(kind), m_label(label)
{
}

int FieldCounter::limit(Kind kind)
{
    return kind == Title ? 60 : 250;
}

int FieldCounter::keywordCount(const QString& text, const std::function<void()>& between)
{
    if (text.isEmpty())
        return 0;
    // Our own copy: the field may change while pending events run.
    const QString rest = text;
    int count = 0;
    for (int comma = rest.indexOf(QLatin1Char(',')); comma >= 0; comma = rest.indexOf(QLatin1Char(','), comma + 1)) {
        ++count;
        if (between)
            between();
    }
    return count + 1;
}

int FieldCounter::count(Kind kind, const QString& text, const std::function<void()>& between)
{
    return kind == Keywords ? keywordCount(text, between) : static_cast<int>(text.size());
}

QColor FieldCounter::borderColor(int count, int limit)
{
    return count > limit ? red() : aqua();
}

TCLEDLabel* FieldCounter::createLabel(const QString& objectName, QWidget* parent)
{
    auto* label = new TCLEDLabel(5, parent);
    label->setObjectName(objectName);
    label->setText(QStringLiteral("0"));
    label->setOnColor(aqua());
    label->setBorderColor(aqua());
    label->setOffColor(maroon());
    return label;
}

void FieldCounter::update(const QString& text)
{
    show(count(m_kind, text));
}

void FieldCounter::show(int count)
{
    if (!m_label)
        return;
    m_label->setText(QString::number(count));
    m_label->setBorderColor(borderColor(count, limit(m_kind)));
    m_label->setOffColor(maroon());
}
