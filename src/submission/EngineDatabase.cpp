#include "EngineDatabase.h"

#include "EngineDatabaseLoader.h"
#include "EngineLine.h"
#include "ListFile.h"

#include <QLocale>

QCollator EngineDatabase::lineCollator()
{
    QCollator collator{QLocale::system()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// The C locale's collator compares without case but its sort keys keep case;
// there the folded text is the key.
bool EngineDatabase::collatorIsC(const QCollator& collator)
{
    return collator.locale().language() == QLocale::C;
}

int EngineDatabase::compareLines(const QString& a, const QString& b)
{
    const QCollator collator = lineCollator();
    if (collatorIsC(collator))
        return a.compare(b, Qt::CaseInsensitive);
    return collator.compare(a, b);
}

void EngineDatabase::setLines(const QStringList& lines)
{
    EngineDatabaseLoader loader(lines);
    loader.finish();
    *this = loader.takeDatabase();
}

void EngineDatabase::clear()
{
    m_lines.clear();
    m_firstByName.clear();
}

void EngineDatabase::load(const QString& path)
{
    EngineDatabaseLoader loader(path);
    loader.finish();
    *this = loader.takeDatabase();
}

void EngineDatabase::save(const QString& path) const
{
    SaveListToFile(m_lines, path);
}

QString EngineDatabase::nameKey(const QString& name)
{
    // Names are nearly always ASCII, where folding is lowering A to Z; Qt's folding looks every
    // character up in the Unicode tables, which costs more than the rest of a lookup.
    QString key(name.size(), Qt::Uninitialized);
    QChar* out = key.data();
    const QChar* in = name.constData();
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = in[i].unicode();
        if (c >= 0x80)
            return name.toCaseFolded();
        out[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c);
    }
    return key;
}

void EngineDatabase::rebuildIndex()
{
    m_firstByName.clear();
    m_firstByName.reserve(m_lines.size());
    for (int i = 0; i < m_lines.size(); ++i)
        indexLine(i);
}

void EngineDatabase::indexLine(int index)
{
    const QString key = nameKey(EngineLine::nameOf(m_lines.at(index)));
    if (!m_firstByName.contains(key))
        m_firstByName.insert(key, index);
}

int EngineDatabase::indexOf(const QString& name) const
{
    return m_firstByName.value(nameKey(name), -1);
}

QString EngineDatabase::lookup(const QString& name) const
{
    const int index = indexOf(name);
    return index < 0 ? QString() : EngineLine::valueOf(m_lines.at(index)).toString();
}

void EngineDatabase::removeAt(int index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    m_lines.removeAt(index);
    rebuildIndex();
}
