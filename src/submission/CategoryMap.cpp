#include "CategoryMap.h"

#include "ListFile.h"

#include "settings/TextCodec.h"
#include "settings/UserFile.h"

#include <QFile>

QString CategoryMap::lookup(const QString& scheme, const QString& category) const
{
    QFile file;
    if (!UserFile::open(file, m_path))
        return QString();
    return lookupInText(decodeText(file.readAll()), QStringLiteral("Sub") + scheme, category);
}

QString CategoryMap::lookupInText(const QString& text, const QString& section, const QString& key)
{
    const QString wantedSection = section.trimmed();
    const QString wantedKey = key.trimmed();
    if (wantedKey.isEmpty())
        return QString();
    bool inSection = false;
    for (const QString& rawLine : splitListLines(text)) {
        const QStringView line = QStringView(rawLine).trimmed();
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            inSection = close > 0 && line.mid(1, close - 1).trimmed().compare(wantedSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(wantedKey, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed().toString();
    }
    return QString();
}
