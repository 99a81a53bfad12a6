#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// A site's robots.txt (RFC 9309): the group for our product token, or "*",
// with its Allow and Disallow rules ("*" and "$" in paths, the longest
// match wins, Allow on a tie) and the Crawl-delay it asks for.
class RobotsTxt
{
public:
    // The product token the spider looks for in User-agent lines.
    static QString productToken() { return QStringLiteral("VantorPro"); }
    // At least this much of the file is parsed; the rest is ignored.
    static constexpr int MaxBytes = 512 * 1024;

    // Every path may be fetched (no file, or a 4xx answer).
    static RobotsTxt allowAll();
    // No path may be fetched (a 5xx answer or an unreachable host).
    static RobotsTxt disallowAll(const QString& reason);
    static RobotsTxt parse(const QByteArray& text, const QString& token = productToken());

    struct Verdict
    {
        bool allowed = true;
        QString rule; // the rule that decided, as written ("Disallow: /x"); empty when none matched
    };
    // For a path with its query ("/a/b?c"); "/robots.txt" is always allowed.
    Verdict check(const QString& pathAndQuery) const;
    // Seconds, 0 when the group names none.
    double crawlDelay() const { return m_crawlDelay; }
    bool refusesAll() const { return m_refuseAll; }
    QString reason() const { return m_reason; }
    int ruleCount() const { return static_cast<int>(m_rules.size()); }
    // The Sitemap: addresses of the file, whichever group they stand in.
    QStringList sitemaps() const { return m_sitemaps; }

    // Whether `pattern` (with "*" and a closing "$") matches the start of
    // `path`, or the whole of it with "$".
    static bool matches(const QByteArray& pattern, const QByteArray& path);
    // Percent-escapes upper-cased and unreserved characters unescaped, so
    // equal paths compare equal.
    static QByteArray normalisePath(const QByteArray& path);

private:
    struct Rule
    {
        bool allow = false;
        QByteArray pattern;
    };
    QList<Rule> m_rules;
    QStringList m_sitemaps;
    double m_crawlDelay = 0;
    bool m_refuseAll = false;
    QString m_reason;
};

// Seconds to wait from a Retry-After value (delta-seconds or an HTTP date),
// between 0 and `cap`; -1 when the value is neither.
int retryAfterSeconds(const QString& value, const QDateTime& nowUtc, int cap = 60);
