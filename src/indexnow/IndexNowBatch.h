#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One POST of the protocol's bulk form: the addresses of one host, at most
// MaxUrls of them, and the JSON body that carries them:
//   {"host":"<host>","key":"<key>","keyLocation":"<address>","urlList":[...]}
// (keyLocation only when the Project names one).
struct IndexNowPost
{
    QString host;
    QStringList urls;
    QStringList hashes; // the content hash of each address, empty when unknown
    QByteArray body;
};

struct IndexNowSkip
{
    QString address;
    QString reason;
};

// Addresses (and their content hashes) cut into POSTs for the Project's host.
// Addresses of another host, or that are no http or https address, are
// skipped; an address given twice is sent once.
struct IndexNowBatch
{
    static constexpr int MaxUrls = 10000;

    QList<IndexNowPost> posts;
    QList<IndexNowSkip> skipped;

    // The host of a Project URL as the protocol names it, or empty.
    static QString hostOf(const QString& address);
    static QByteArray body(const QString& host, const QString& key, const QString& keyLocation,
                           const QStringList& urls);
    static IndexNowBatch build(const QString& projectUrl, const QString& key, const QString& keyLocation,
                               const QStringList& urls, const QStringList& hashes, int maxUrls = MaxUrls);
};
