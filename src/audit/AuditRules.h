#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// One redirect hop: the status of the answer and the address it pointed to.
struct RedirectHop
{
    int status = 0;
    QString target;
};

// Everything the audit knows of one fetched address: the columns of its row
// and what the finding rules need besides.
struct AuditPage
{
    QString url;
    int status = 0;  // the first answer's code, 0 for no answer
    QString failure; // the client's failure text when there was no answer
    QList<RedirectHop> hops;
    bool redirectLoop = false; // a hop came back to the chain, or there were more than 10
    QString finalUrl;
    int finalStatus = 0; // the status of the answer the redirects ended with
    QString contentType;
    qint64 bytes = -1; // -1: no body columns (a redirecting address)
    int responseMs = 0;
    int depth = 0;
    bool html = false;
    bool parsed = false; // an HTML body that was read for its title, headings and links
    bool hasTitle = false;
    QString title;
    bool hasDescription = false;
    QString description;
    int h1Count = 0;
    QString canonical;
    QStringList robotsMeta;
    QStringList robotsHeader;
    bool robotsAllowed = true;
    QString sha256;
    QStringList resources;
    QList<QPair<QString, QString>> hreflang;
    bool indexable = false;

    bool redirected() const { return !hops.isEmpty(); }
    // Meta and header directives merged, lower case, comma-separated.
    QString robots() const;
    bool noindex() const;
    // The hops as "status target" joined by " -> ".
    QString hopText() const;
};

struct AuditFinding
{
    QString code;
    QString url;
    QString detail;
    bool operator==(const AuditFinding& o) const { return code == o.code && url == o.url && detail == o.detail; }
};

namespace AuditRules {

constexpr int MaxHops = 10;
constexpr int TitleLimit = 60;
constexpr int DescriptionLimit = 160;
constexpr int SlowMs = 1000;
constexpr qint64 LargeBytes = 1048576;

bool isHtml(const QString& contentType);
// Answered 200 with no hops, HTML, no noindex, canonical absent or its own, allowed by robots.txt.
bool indexable(const AuditPage& page);
// The rules that need only the page itself.
QList<AuditFinding> pageFindings(const AuditPage& page);
// The rules over the whole crawl: duplicate titles and descriptions among
// indexable pages, canonical targets that were fetched and are not 200, and
// hreflang alternates (in scope, fetched) that do not link back.
QList<AuditFinding> crawlFindings(const QList<AuditPage>& pages);
// The detail of a broken link: the target, its status, its anchor text.
QString brokenLinkDetail(const QString& target, int status, const QString& anchor);
bool broken(int status);
// Findings sorted by code, then address, then detail.
void sort(QList<AuditFinding>& findings);

} // namespace AuditRules
