#include "ProjectImport.h"

#include "PageScan.h"
#include "net/SplitHttpUrl.h"
#include "settings/IniDocument.h"
#include "settings/TextCodec.h"
#include "settings/UserFile.h"

#include <QFile>

namespace {

// Lines of each section of a ".sav" file, by upper-cased name; the first
// section of a name wins, as the profile-file rules read it.
QMap<QString, QList<QByteArray>> savSections(const QByteArray& bytes)
{
    QMap<QString, QList<QByteArray>> sections;
    QList<QByteArray>* current = nullptr;
    QMap<QString, QList<QByteArray>> later; // sections named a second time
    for (const QByteArray& line : PageScan::splitLines(bytes)) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.indexOf(']');
            const QString name = decodeText(trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed()).toUpper();
            current = sections.contains(name) ? &later[name] : &sections[name];
            continue;
        }
        if (current)
            current->append(line);
    }
    return sections;
}

QString joined(const QList<QByteArray>& lines)
{
    QByteArray all;
    for (const QByteArray& line : lines)
        all += line;
    all.replace('\r', QByteArray());
    all.replace('\n', QByteArray());
    all.replace('\0', QByteArray());
    return decodeText(all);
}

} // namespace

namespace ProjectImport {

QByteArray readFile(const QString& path)
{
    // A FIFO or a device picked in the file dialog would hang or never end.
    QFile file;
    QString reason;
    if (!UserFile::open(file, path, &reason))
        throw ImportError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason).toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ImportError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()).toStdString());
    return bytes;
}

Fields fromSav(const QByteArray& bytes, const QString& currentFirst, const QString& currentLast)
{
    static const QList<QPair<const char*, ProjectField>> table = {
        {"MAILTO", ProjectField::Email},  {"DESCRIP", ProjectField::Description},
        {"URL", ProjectField::Url},       {"KEY0", ProjectField::Keywords},
        {"DESC", ProjectField::Title},    {"COMPANY", ProjectField::Company},
        {"ADD1", ProjectField::Address1}, {"ADD2", ProjectField::Address2},
        {"TOWN", ProjectField::City},     {"STATE", ProjectField::State},
        {"POSTCODE", ProjectField::Zip},  {"COUNTRY", ProjectField::Country},
        {"TEL", ProjectField::Phone},     {"FAX", ProjectField::Fax},
    };
    const QMap<QString, QList<QByteArray>> sections = savSections(bytes);
    bool any = sections.contains(QStringLiteral("SUBMITTER"));
    for (const auto& entry : table)
        any = any || sections.contains(QString::fromLatin1(entry.first));
    // A file with none of the sections (a binary file, say) would only blank the editor.
    if (!any)
        throw ImportError(QStringLiteral("This file holds none of the sections of a project file").toStdString());
    Fields fields;
    for (const auto& [section, field] : table)
        fields.insert(field, joined(sections.value(QString::fromLatin1(section))));

    QStringList lines;
    for (const QByteArray& line : sections.value(QStringLiteral("SUBMITTER")))
        lines.append(decodeText(line));
    QString text = lines.join(QLatin1Char('\n'));
    text.replace(QLatin1Char(' '), QLatin1Char('\n'));
    QStringList pieces = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    if (!pieces.isEmpty() && pieces.constLast().isEmpty())
        pieces.removeLast();
    QString first = currentFirst;
    QString last = currentLast;
    if (pieces.size() == 1) {
        first = QString(text).remove(QLatin1Char('\n'));
    } else if (pieces.size() == 2) {
        first = pieces.at(0);
        last = pieces.at(1);
    } else if (pieces.size() == 3) {
        first = pieces.at(0);
        last = pieces.at(2);
    }
    fields.insert(ProjectField::FirstName, first);
    fields.insert(ProjectField::LastName, last);
    return fields;
}

Fields fromZro(const QByteArray& bytes, const QString& fileName)
{
    const IniDocument ini = IniDocument::fromBytes(bytes);
    QString section;
    bool found = false;
    for (const QByteArray& line : PageScan::splitLines(bytes)) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith('['))
            continue;
        const qsizetype close = trimmed.indexOf(']');
        section = decodeText(trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed());
        found = true;
        break;
    }
    if (!found || section.isEmpty())
        throw ImportError(
            QStringLiteral("\"%1\" holds no section, so it names no Project").arg(fileName).toStdString());

    auto read = [&ini, &section](const char* key) {
        return ini.readString(section, QString::fromLatin1(key), QString());
    };
    Fields fields;
    fields.insert(ProjectField::SessionName, section);
    static const QList<QPair<const char*, ProjectField>> table = {
        {"url", ProjectField::Url},           {"catagory", ProjectField::Category},
        {"title", ProjectField::Title},       {"description", ProjectField::Description},
        {"email", ProjectField::Email},       {"name", ProjectField::FirstName},
        {"last", ProjectField::LastName},     {"company", ProjectField::Company},
        {"address1", ProjectField::Address1}, {"address2", ProjectField::Address2},
        {"country", ProjectField::Country},   {"city", ProjectField::City},
        {"state", ProjectField::State},       {"phone", ProjectField::Phone},
        {"fax", ProjectField::Fax},           {"zip", ProjectField::Zip},
    };
    for (const auto& [key, field] : table)
        fields.insert(field, read(key));
    QString keywords = read("key1");
    for (int i = 2; i <= 16; ++i) {
        const QString more = read(QStringLiteral("key%1").arg(i).toLatin1().constData());
        if (!more.isEmpty())
            keywords += QStringLiteral(", ") + more;
    }
    fields.insert(ProjectField::Keywords, keywords);
    return fields;
}

int freeNumber(const QString& base, const QString& listTextUpper, int from)
{
    const QString upper = base.toUpper();
    int n = from < 1 ? 1 : from;
    while (listTextUpper.contains(upper + QString::number(n)))
        ++n;
    return n;
}

QString savName(const QString& url, const QStringList& projectNames)
{
    QString proto, user, password, host, port, path;
    SplitHttpUrl(url, proto, user, password, host, port, path);
    host.remove(QStringLiteral("www."), Qt::CaseInsensitive);
    const qsizetype dot = host.indexOf(QLatin1Char('.'));
    const QString name = dot < 0 ? host : host.left(dot);
    const QString list = projectNames.join(QLatin1Char('\n')).toUpper();
    if (!list.contains(name.toUpper()))
        return name;
    return name + QString::number(freeNumber(name, list));
}

} // namespace ProjectImport
