// Feeds arbitrary bytes to the INI reader as a file, reads and writes keys
// and checks that a written value reads back as the reading rules say.
#include "settings/IniDocument.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    IniDocument doc = IniDocument::fromBytes(bytes);

    const QList<QPair<QString, QString>> pairs = doc.readSection(QStringLiteral("List"));
    for (const auto& pair : pairs) {
        if (pair.second.size() > IniDocument::MaxValueLength)
            std::abort();
    }
    doc.readInteger(QStringLiteral("SubOptions"), QStringLiteral("Ports"), 10);
    doc.readBool(QStringLiteral("Reports"), QStringLiteral("GenReport"), true);

    // Whatever the file held, a written key must read back as its clean value.
    const QString value = QString::fromLatin1(bytes.left(64));
    doc.writeString(QStringLiteral("Fuzz"), QStringLiteral("key"), value);
    IniDocument again = IniDocument::fromBytes(doc.toBytes());
    QString expected = value;
    // The writer stores a CR LF pair as one blank, a lone CR or LF as one blank each.
    expected.replace(QLatin1String("\r\n"), QLatin1String(" "));
    expected.replace(QLatin1Char('\r'), QLatin1Char(' '));
    expected.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (again.readString(QStringLiteral("Fuzz"), QStringLiteral("key"), QString()) != IniDocument::cleanValue(expected))
        std::abort();
    doc.eraseSection(QStringLiteral("Fuzz"));
    if (doc.hasSection(QStringLiteral("Fuzz")))
        std::abort();
    return 0;
}
