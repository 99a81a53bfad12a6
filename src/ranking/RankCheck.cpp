#include "RankCheck.h"

#include "RankLine.h"
#include "RankListModel.h"

#include "net/EHttpException.h"
#include "net/THttpCli.h"
#include "submission/ListFile.h"

#include <QFileInfo>
#include <QLocale>

RankCheck::RankCheck(RankListModel* model, THttpCli* client, QObject* parent)
    : QObject(parent), m_model(model), m_client(client), m_today([] { return QDate::currentDate(); }),
      m_now([] { return QDateTime::currentDateTimeUtc(); })
{
    if (client) {
        connect(client, &THttpCli::OnDocData, this, &RankCheck::HttpRankDocData);
        connect(client, &THttpCli::OnHeaderData, this, [this] {
            if (m_fetching && m_idle.isActive())
                m_idle.start();
        });
    }
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (!m_fetching || !m_client)
            return;
        m_timedOut = true;
        m_client->CancelRequest();
    });
}

std::optional<int> RankCheck::pagesForTop(const QString& top, QString& message)
{
    const std::optional<int> pages = RankLines::pagesForTop(top);
    if (!pages) {
        message = QStringLiteral("\"Check Ranking in Top\" must be a whole number of results, not \"%1\".").arg(top);
        return std::nullopt;
    }
    const int value = top.trimmed().toInt();
    if (value < MinTop || value > MaxTop || value % 10 != 0) {
        message = QStringLiteral("\"Check Ranking in Top\" must be a multiple of 10 from %1 to %2, not \"%3\".")
                      .arg(MinTop)
                      .arg(MaxTop)
                      .arg(top);
        return std::nullopt;
    }
    return pages;
}

QString RankCheck::searchingText()
{
    return QStringLiteral("Searching...");
}

QString RankCheck::skippedText()
{
    return QStringLiteral("<IMG src=\"idx:0\"><b></b>Skipped");
}

// Texts from outside (a reason phrase, the typed Top value, an address) are
// escaped, so the cell stays the HTML it is meant to be.
QString RankCheck::errorText(const QString& reason)
{
    return QStringLiteral("<IMG src=\"idx:0\"><b></b>ERROR:  <b>") + reason.toHtmlEscaped() + QStringLiteral("</b>");
}

QString RankCheck::foundText(const QString& address, int top)
{
    return QStringLiteral("<IMG src=\"idx:2\"><a href=\"") + address.toHtmlEscaped() +
           QStringLiteral("\">You Ranked In the top ") + QString::number(top) + QStringLiteral("</a>");
}

QString RankCheck::notFoundText(const QString& top)
{
    return QStringLiteral("<IMG src=\"idx:0\"><b></b>URL not found in top <b>") + top.toHtmlEscaped() +
           QStringLiteral("</b>");
}

void RankCheck::cancel()
{
    m_cancelled = true;
    m_fetching = false;
}

bool RankCheck::stopped() const
{
    return m_cancelled || !m_model || !m_client;
}

void RankCheck::HttpRankDocData(THttpCli*, const char* buffer, int len)
{
    // Only the page this check is fetching goes into its text, and only its first MaxPageBytes.
    if (!m_fetching || m_pageCut)
        return;
    if (m_idle.isActive())
        m_idle.start();
    const qint64 room = MaxPageBytes - m_pageBytes;
    const int take = static_cast<int>(qMin<qint64>(len, room));
    m_page.appendChunk(buffer, take);
    m_pageBytes += take;
    if (len > room && m_client) {
        m_pageCut = true;
        m_client->CancelRequest();
    }
}

bool RankCheck::fetch(QString& reason)
{
    m_fetching = true;
    m_pageBytes = 0;
    m_pageCut = false;
    m_timedOut = false;
    if (m_idleTimeoutMs > 0)
        m_idle.start(m_idleTimeoutMs);
    bool ok = true;
    try {
        m_client->RunGet();
    } catch (const EHttpException& e) {
        // A page cut at the cap was read as far as it is read at all.
        ok = m_pageCut;
        reason = m_timedOut ? QStringLiteral("Request Timeout") : e.message();
        // A busy client is running someone else's request, which must go on.
        if (!ok && e.Code() != EHttpException::ComponentBusy && m_client)
            m_client->CancelRequest();
    }
    m_idle.stop();
    m_fetching = false;
    return ok;
}

void RankCheck::fail(int row, const QString& message)
{
    m_model->setRowImage(row, RowImage::None);
    m_model->setResult(row, QString());
    throw RankCheckError(message);
}

void RankCheck::run(const QString& keyword, const QString& siteUrl, const QString& top)
{
    // Step 1: the engine lines. A list that is not there has no lines.
    QStringList lines;
    if (QFileInfo::exists(m_engineFile))
        LoadListFromFile(m_engineFile, lines);
    m_page.clear();
    const QLocale locale = QLocale::system();
    // What a finished row reports, besides its cells.
    const auto finish = [&](int row, RankResult result) {
        result.time = QDateTime::fromSecsSinceEpoch(m_now().toSecsSinceEpoch(), Qt::UTC);
        result.keyword = keyword;
        result.url = siteUrl;
        result.engine = m_model->row(row).caption;
        result.top = top.trimmed().toInt();
        emit rowFinished(row, result);
    };

    // Step 2: each row in order.
    for (int i = 0; !stopped() && i < m_model->count(); ++i) {
        m_model->setRowImage(i, RowImage::Running);
        m_model->setResult(i, searchingText());
        if (!m_model->isChecked(i)) {
            m_model->setResult(i, skippedText());
            m_model->setRowImage(i, RowImage::None);
            finish(i, RankResult());
            if (stopped())
                return;
            continue;
        }
        const QString caption = m_model->row(i).caption;
        if (i >= lines.size())
            fail(i, QStringLiteral("The rank engine list has no line for \"%1\" (row %2); load the list again.")
                        .arg(caption)
                        .arg(i + 1));
        const RankLineParse parsed = RankLines::parse(lines.at(i));
        if (!parsed.line)
            fail(i, parsed.error);
        // Refused before the first fetch: every row uses the same Top.
        QString topMessage;
        const std::optional<int> pages = pagesForTop(top, topMessage);
        if (!pages)
            fail(i, topMessage);
        const RankLine& engine = *parsed.line;
        const QString query = RankLines::query(engine, keyword);
        const QString match = RankLines::matchText(engine, siteUrl);

        bool found = false;
        RankResult outcome;
        for (int k = 0; k < *pages && !found; ++k) {
            const QString address = RankLines::pageAddress(query, qint64(engine.firstOffset) + 10 * qint64(k));
            m_client->setURL(address);
            m_client->setTag(i);
            m_page.clear();
            QString reason;
            const bool fetched = fetch(reason);
            if (stopped())
                return;
            outcome.pageAddress = address;
            if (!fetched) {
                m_model->setResult(i, errorText(reason));
                outcome.kind = RankKind::Error;
                outcome.error = reason;
                continue;
            }
            found = m_page.contains(match);
            outcome.kind = found ? RankKind::Found : RankKind::NotFound;
            outcome.bound = found ? 10 * (k + 1) : 0;
            outcome.error.clear();
            m_model->setResult(i, found ? foundText(address, 10 * (k + 1)) : notFoundText(top));
            m_model->setDate(i, locale.toString(m_today(), QLocale::ShortFormat));
        }
        m_page.clear();
        m_model->setRowImage(i, RowImage::None);
        // A Top below one page fetches nothing and so has no result to keep.
        if (!outcome.pageAddress.isEmpty())
            finish(i, outcome);
    }
}
