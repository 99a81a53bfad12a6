#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// What the audit takes from one HTML page, parsed with gumbo (the HTML5
// parsing algorithm). Texts have their entities decoded and their whitespace
// collapsed; addresses are resolved against the page (or its <base href>).
struct PageLink
{
    QString url; // resolved; empty when the href is not an http(s) address
    QString anchor;
    bool nofollow = false;
};

struct PageFacts
{
    QString charset; // the encoding the body was decoded with
    bool hasTitle = false;
    QString title;
    bool hasDescription = false;
    QString description;
    QStringList h1s;
    QStringList robotsMeta;                  // <meta name="robots"> directives, lower case, no duplicates
    QString canonical;                       // resolved, empty when absent
    QList<QPair<QString, QString>> hreflang; // (language, resolved address)
    QList<PageLink> links;
    QStringList resources; // resolved src/href of images, scripts and style sheets
};

namespace PageExtract {

// The charset named by a Content-Type value, lower case; empty when none.
QString headerCharset(const QString& contentType);
// The charset of a <meta charset> or <meta http-equiv content="...charset=">
// within the first 1024 bytes; empty when none.
QString metaCharset(const QByteArray& body);
// The body as text: the header's charset, else a <meta charset>, else UTF-8
// when it is valid, else Windows-1252. `used` receives the charset taken.
QString decode(const QByteArray& body, const QString& contentType, QString* used = nullptr);

PageFacts extract(const QByteArray& body, const QString& contentType, const QUrl& page);

// Whitespace runs made one blank, ends trimmed.
QString collapse(const QString& text);
// Characters (code points), not UTF-16 units.
int characterCount(const QString& text);
// Robots directives of a meta content or an X-Robots-Tag value: lower case,
// trimmed, duplicates dropped, in their order; appended to `into`.
void addDirectives(QStringList& into, const QString& value);

} // namespace PageExtract
