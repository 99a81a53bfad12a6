// Addresses into <loc>: whatever an escaped address holds, the element is
// well-formed XML and reads back as the address itself.
#include "audit/Sitemap.h"

#include <QXmlStreamReader>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString address = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray escaped = Sitemap::escapeLoc(address);
    if (escaped.isEmpty())
        return 0;
    QXmlStreamReader xml("<?xml version=\"1.0\" encoding=\"UTF-8\"?><loc>" + escaped + "</loc>");
    if (!xml.readNextStartElement())
        std::abort();
    QString text = xml.readElementText();
    // XML reads a CR, and a CR LF, as LF; nothing else may change.
    QString expected = address;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (xml.hasError() || text != expected)
        std::abort();
    return 0;
}
