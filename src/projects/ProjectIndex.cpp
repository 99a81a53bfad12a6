#include "ProjectIndex.h"

#include "ProjectFile.h"
#include "ProjectName.h"
#include "settings/IniDocument.h"
#include "settings/IniFile.h"
#include "settings/TextCodec.h"
#include "settings/UserFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <charconv>

#include <cstdio>

namespace {

const QString kList = QStringLiteral("List");
const QString kSession = QStringLiteral("Session");
const QString kCount = QStringLiteral("Count");

// Lines as IniDocument splits them: CR LF, LF and a lone CR end a line.
QStringList splitLines(const QByteArray& bytes)
{
    QString text = decodeText(bytes);
    if (text.isEmpty())
        return {};
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool sectionName(const QString& line, QString* name)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return false;
    const int close = trimmed.indexOf(QLatin1Char(']'));
    *name = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
    return true;
}

// A value as a key-by-key write stores it: a line break becomes a blank.
QString storedValue(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

} // namespace

QString ProjectIndex::path(const QString& programDir)
{
    return ProjectFile::sessionDir(programDir) + QStringLiteral("/session.zro");
}

QList<QPair<QString, QString>> ProjectIndex::readListSection(const QByteArray& bytes)
{
    const QStringList lines = splitLines(bytes);
    QList<QPair<QString, QString>> pairs;
    int begin = -1;
    QString name;
    for (int i = 0; i < lines.size(); ++i) {
        if (sectionName(lines.at(i), &name) && name.compare(kList, Qt::CaseInsensitive) == 0) {
            begin = i + 1;
            break;
        }
    }
    if (begin < 0)
        return pairs;
    // A repeated key reads as its first occurrence, as a key look-up would.
    QHash<QString, QString> first;
    QList<QString> keys;
    for (int i = begin; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (sectionName(line, &name))
            break;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (key.isEmpty())
            continue;
        const QString folded = key.toCaseFolded();
        if (!first.contains(folded))
            first.insert(folded, IniDocument::cleanValue(line.mid(eq + 1)));
        pairs.append({key, first.value(folded)});
    }
    return pairs;
}

QStringList ProjectIndex::valuesByNumber(const QList<QPair<QString, QString>>& pairs, int count)
{
    QHash<QString, QString> byKey;
    for (const auto& pair : pairs) {
        const QString folded = pair.first.toCaseFolded();
        if (!byKey.contains(folded))
            byKey.insert(folded, pair.second);
    }
    QStringList values;
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(byKey.value(QString::number(i)));
    return values;
}

QStringList ProjectIndex::namesFrom(const QList<QPair<QString, QString>>& pairs)
{
    return valuesByNumber(pairs, pairs.size());
}

QByteArray ProjectIndex::rewritten(const QByteArray& current, const QStringList& names, bool* changed)
{
    IniDocument doc = IniDocument::fromBytes(current);
    const bool hadList = doc.hasSection(kList);
    doc.eraseSection(kList);
    if (names.isEmpty()) {
        // "Count" keeps its old value: it is written only with an entry.
        if (changed)
            *changed = hadList;
        return hadList ? doc.toBytes() : current;
    }
    if (changed)
        *changed = true;
    return composed(doc, names);
}

QByteArray ProjectIndex::encodedName(const QString& name)
{
    return storedValue(name).toUtf8();
}

QByteArray ProjectIndex::composed(IniDocument& rest, const QStringList& names)
{
    QList<QByteArray> encoded;
    encoded.reserve(names.size());
    for (const QString& name : names)
        encoded.append(encodedName(name));
    return composedEncoded(rest, encoded);
}

QByteArray ProjectIndex::composedEncoded(IniDocument& rest, const QList<QByteArray>& encoded)
{
    // Every "Count" write after the first replaces the same line, so the
    // last one alone leaves the same text. "List" was removed whole, so its
    // first entry appends the section at the end and each further entry
    // follows the one before.
    rest.writeString(kSession, kCount, QString::number(encoded.size() - 1));
    QByteArray out = rest.toBytes();
    qsizetype size = out.size() + 8;
    for (const QByteArray& name : encoded)
        size += name.size() + 9;
    out.reserve(size);
    out += "[List]\r\n";
    char digits[24];
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const auto end = std::to_chars(digits, digits + sizeof digits, i).ptr;
        out.append(digits, end - digits);
        out += '=';
        out += encoded.at(i);
        out += "\r\n";
    }
    return out;
}

QList<QPair<QString, QString>> ProjectIndex::load(const QString& programDir)
{
    return readListSection(readBytes(path(programDir)));
}

void ProjectIndex::rewrite(const QString& programDir, const QStringList& names, Flush flush)
{
    const QString file = path(programDir);
    bool changed = false;
    const QByteArray bytes = rewritten(readBytes(file), names, &changed);
    if (changed)
        writeBytes(file, bytes, flush);
}

QStringList ProjectIndex::unlistedFiles(const QString& programDir, const QStringList& listed)
{
    const QSet<QString> known(listed.cbegin(), listed.cend());
    const QString suffix = QStringLiteral(".zro");
    QStringList found;
    QDirIterator it(ProjectFile::sessionDir(programDir), {QStringLiteral("*.zro")}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString file = it.fileName();
        if (!file.endsWith(suffix))
            continue;
        const QString name = file.chopped(suffix.size());
        if (known.contains(name) || ProjectName::check(name) != ProjectName::Verdict::Ok ||
            ProjectName::normalized(name) != name)
            continue;
        // Only a file a save wrote: it holds the section of its own name.
        if (IniDocument::fromBytes(readBytes(it.filePath())).hasSection(name))
            found << name;
    }
    std::sort(found.begin(), found.end());
    return found;
}

void ProjectIndex::ensureWritable(const QString& programDir)
{
    const QString file = path(programDir);
    const QFileInfo info(file);
    const QFileInfo dir(info.path());
    if ((info.exists() && !info.isWritable()) || !dir.isDir() || !dir.isWritable())
        throw IniWriteError(file);
}

QByteArray ProjectIndex::readBytes(const QString& file)
{
    return UserFile::read(file).bytes;
}

void ProjectIndex::writeBytes(const QString& file, const QByteArray& bytes, Flush flush)
{
    const QFileInfo info(file);
    if (info.exists() && !info.isWritable())
        throw IniWriteError(file);
    if (flush == Flush::Synced) {
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            throw IniWriteError(file);
        if (out.write(bytes) != bytes.size() || !out.commit())
            throw IniWriteError(file);
        return;
    }
    // The same replacement without the flush: a whole new file beside the
    // old one, renamed over it.
    QString temporary;
    QFile out;
    for (int attempt = 0; attempt < 100 && !out.isOpen(); ++attempt) {
        temporary = file + QStringLiteral(".new%1").arg(attempt);
        out.setFileName(temporary);
        out.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    if (!out.isOpen())
        throw IniWriteError(file);
    const bool written = out.write(bytes) == bytes.size() && out.flush();
    out.close();
    if (written && info.exists())
        QFile::setPermissions(temporary, info.permissions());
    if (!written || std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(file).constData()) != 0) {
        QFile::remove(temporary);
        throw IniWriteError(file);
    }
}
