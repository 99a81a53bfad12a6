#include "IndexNowKeyText.h"

#include <QRandomGenerator>

namespace IndexNowKeyText {

bool isWellFormed(const QString& key)
{
    if (key.size() < 8 || key.size() > 128)
        return false;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-';
        if (!ok)
            return false;
    }
    return true;
}

QString generate()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    QString key;
    key.reserve(32);
    for (quint32 word : words)
        key += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
    return key;
}

} // namespace IndexNowKeyText
