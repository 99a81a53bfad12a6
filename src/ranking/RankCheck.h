#pragma once

#include "RankPageText.h"
#include "RankResult.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <stdexcept>

class RankListModel;
class THttpCli;

// Why a check ended early: a rank line that cannot be used, a row without a
// line, a "Check Ranking in Top" value that is not a number.
class RankCheckError : public std::runtime_error
{
public:
    explicit RankCheckError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// One rank check over the rows of a RankListModel: for every checked row,
// the result pages of its engine are fetched one after the other with the
// client's synchronous RunGet until one holds the site's mark. The check
// keeps its own engine lines and page text, so a check started after this
// one was cancelled cannot disturb it, nor it the new one.
class RankCheck : public QObject
{
    Q_OBJECT

public:
    // The rank client's agent, in the window and on the command line.
    static constexpr const char* Agent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1;)";

    RankCheck(RankListModel* model, THttpCli* client, QObject* parent = nullptr);

    // The most of a result page that is read; the fetch ends there and the part read is searched.
    static constexpr qint64 MaxPageBytes = 8 * 1024 * 1024;
    // "Check Ranking in Top": a multiple of 10 within these bounds.
    static constexpr int MinTop = 10;
    static constexpr int MaxTop = 1000;
    // The pages to fetch for a Top value; nullopt with the message when it is refused.
    static std::optional<int> pagesForTop(const QString& top, QString& message);

    // A fetch that receives nothing for this long ends as a failed page; 0 for no limit.
    void setIdleTimeoutMs(int ms) { m_idleTimeoutMs = ms; }

    // The rank engine list, read when the check starts.
    void setEngineFile(const QString& path) { m_engineFile = path; }
    // The date written beside a result; today's by default.
    void setToday(std::function<QDate()> today) { m_today = std::move(today); }
    // The time a finished row is stamped with; now by default.
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    // Runs the whole check and returns when it has ended or was cancelled.
    // Throws RankCheckError (or ListFileError) when it cannot go on; the rows
    // done before keep their results.
    void run(const QString& keyword, const QString& siteUrl, const QString& top);
    // Ends the check: the page being fetched is its last, and no row is written after.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    // The result cell texts.
    static QString searchingText();
    static QString skippedText();
    static QString errorText(const QString& reason);
    static QString foundText(const QString& address, int top);
    static QString notFoundText(const QString& top);

signals:
    // A row has its result (skipped rows too); a row cut short by cancel
    // or by an error that ends the check gives none.
    void rowFinished(int row, const RankResult& result);

private:
    void HttpRankDocData(THttpCli* sender, const char* buffer, int len);
    bool stopped() const;
    // Fetches the client's URL; false with the reason when the fetch failed.
    bool fetch(QString& reason);
    [[noreturn]] void fail(int row, const QString& message);

    QPointer<RankListModel> m_model;
    QPointer<THttpCli> m_client;
    QString m_engineFile;
    std::function<QDate()> m_today;
    std::function<QDateTime()> m_now;
    RankPageText m_page;
    bool m_fetching = false;
    bool m_cancelled = false;
    qint64 m_pageBytes = 0;
    bool m_pageCut = false; // the page reached MaxPageBytes
    // The fetch deadline: restarted by every byte that arrives.
    QTimer m_idle;
    int m_idleTimeoutMs = 0;
    bool m_timedOut = false;
};
