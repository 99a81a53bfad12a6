#include "RobotsTxt.h"

#include "PageScan.h"

#include <QLocale>
#include <QTimeZone>

#include <cctype>

namespace {

bool unreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

RobotsTxt RobotsTxt::allowAll()
{
    return RobotsTxt();
}

RobotsTxt RobotsTxt::disallowAll(const QString& reason)
{
    RobotsTxt robots;
    robots.m_refuseAll = true;
    robots.m_reason = reason;
    return robots;
}

QByteArray RobotsTxt::normalisePath(const QByteArray& path)
{
    QByteArray out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char c = path.at(i);
        if (c == '%' && i + 2 < path.size() && hexValue(path.at(i + 1)) >= 0 && hexValue(path.at(i + 2)) >= 0) {
            const char decoded = static_cast<char>(hexValue(path.at(i + 1)) * 16 + hexValue(path.at(i + 2)));
            if (unreserved(decoded)) {
                out += decoded;
            } else {
                out += '%';
                out += PageScan::asciiUpper(path.mid(i + 1, 2));
            }
            i += 2;
            continue;
        }
        // Octets outside ASCII compare as their escapes, as a URL carries them.
        if (static_cast<unsigned char>(c) >= 0x80) {
            out += '%';
            out += QByteArray::number(static_cast<unsigned char>(c), 16).toUpper();
            continue;
        }
        out += c;
    }
    return out;
}

bool RobotsTxt::matches(const QByteArray& rawPattern, const QByteArray& path)
{
    QByteArray pattern = rawPattern;
    bool anchored = false;
    if (pattern.endsWith('$')) {
        anchored = true;
        pattern.chop(1);
    }
    // Greedy wildcard match with backtracking to the last "*"; without "$"
    // the pattern is a prefix, as if it ended in "*".
    qsizetype p = 0, s = 0, star = -1, mark = 0;
    const qsizetype pn = pattern.size(), sn = path.size();
    while (s < sn) {
        if (p < pn && pattern.at(p) == '*') {
            star = p++;
            mark = s;
        } else if (p < pn && pattern.at(p) == path.at(s)) {
            ++p;
            ++s;
        } else if (p == pn && !anchored) {
            return true;
        } else if (star >= 0) {
            p = star + 1;
            s = ++mark;
        } else {
            return false;
        }
    }
    while (p < pn && pattern.at(p) == '*')
        ++p;
    return p == pn;
}

RobotsTxt RobotsTxt::parse(const QByteArray& whole, const QString& token)
{
    QByteArray text = whole.left(MaxBytes);
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    const QByteArray wanted = PageScan::asciiUpper(token.toUtf8());

    struct Group
    {
        QList<QByteArray> agents;
        QList<Rule> rules;
        double delay = 0;
        bool hasDelay = false;
    };
    QList<Group> groups;
    QStringList sitemaps;
    bool inAgents = false;
    for (const QByteArray& raw : PageScan::splitLines(text)) {
        QByteArray line = raw;
        const qsizetype hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = PageScan::asciiUpper(line.left(colon).trimmed());
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (key == "SITEMAP") {
            // Sitemap lines stand outside the groups.
            inAgents = false;
            if (!value.isEmpty())
                sitemaps.append(QString::fromUtf8(value));
            continue;
        }
        if (key == "USER-AGENT") {
            if (!inAgents || groups.isEmpty())
                groups.append(Group());
            inAgents = true;
            groups.last().agents.append(PageScan::asciiUpper(value));
            continue;
        }
        if (groups.isEmpty())
            continue; // rules before any User-agent line belong to no group
        if (key == "ALLOW" || key == "DISALLOW") {
            inAgents = false;
            // An empty Disallow matches nothing; an empty Allow likewise.
            if (!value.isEmpty())
                groups.last().rules.append(Rule{key == "ALLOW", normalisePath(value)});
        } else if (key == "CRAWL-DELAY") {
            inAgents = false;
            bool ok = false;
            const double delay = QLocale::c().toDouble(QString::fromLatin1(value), &ok);
            if (ok && delay >= 0) {
                groups.last().delay = qMax(groups.last().delay, delay);
                groups.last().hasDelay = true;
            }
        } else {
            inAgents = false; // Sitemap and others end the User-agent run
        }
    }

    // Our token's groups when any names it, else the "*" groups; several are merged.
    auto pick = [&groups](auto&& match) {
        QList<const Group*> picked;
        for (const Group& g : groups) {
            for (const QByteArray& agent : g.agents) {
                if (match(agent)) {
                    picked.append(&g);
                    break;
                }
            }
        }
        return picked;
    };
    QList<const Group*> chosen = pick([&wanted](const QByteArray& agent) {
        // A product token is letters, "_" and "-"; anything after it (a version) is ignored.
        qsizetype n = 0;
        while (n < agent.size() &&
               (std::isalpha(static_cast<unsigned char>(agent.at(n))) || agent.at(n) == '_' || agent.at(n) == '-'))
            ++n;
        return n > 0 && agent.left(n) == wanted;
    });
    if (chosen.isEmpty())
        chosen = pick([](const QByteArray& agent) { return agent == "*"; });

    RobotsTxt robots;
    robots.m_sitemaps = sitemaps;
    for (const Group* g : chosen) {
        robots.m_rules += g->rules;
        if (g->hasDelay)
            robots.m_crawlDelay = qMax(robots.m_crawlDelay, g->delay);
    }
    return robots;
}

RobotsTxt::Verdict RobotsTxt::check(const QString& pathAndQuery) const
{
    Verdict verdict;
    QByteArray path = pathAndQuery.toUtf8();
    if (path.isEmpty())
        path = "/";
    if (path == "/robots.txt")
        return verdict;
    if (m_refuseAll) {
        verdict.allowed = false;
        verdict.rule = m_reason;
        return verdict;
    }
    path = normalisePath(path);
    qsizetype best = -1;
    for (const Rule& rule : m_rules) {
        if (!matches(rule.pattern, path))
            continue;
        const qsizetype length = rule.pattern.size();
        if (length > best || (length == best && rule.allow && !verdict.allowed)) {
            best = length;
            verdict.allowed = rule.allow;
            verdict.rule = QString::fromUtf8((rule.allow ? "Allow: " : "Disallow: ") + rule.pattern);
        }
    }
    return verdict;
}

int retryAfterSeconds(const QString& raw, const QDateTime& nowUtc, int cap)
{
    const QString value = raw.trimmed();
    bool ok = false;
    const qlonglong seconds = value.toLongLong(&ok);
    if (ok && seconds >= 0)
        return static_cast<int>(qMin<qlonglong>(seconds, cap));
    // An HTTP date: "Sun, 06 Nov 1994 08:49:37 GMT".
    QDateTime when = QLocale::c().toDateTime(value, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    when.setTimeZone(QTimeZone::utc());
    if (!when.isValid())
        return -1;
    const qint64 wait = nowUtc.secsTo(when);
    return static_cast<int>(qBound<qint64>(qint64(0), wait, qint64(cap)));
}
