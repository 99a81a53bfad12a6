#pragma once

#include "net/ProxyValues.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class QWidget;
class THttpCli;

// "Check Key": fetches <scheme>://<host of the Project's URL>/<key>.txt and
// tells whether the site serves its IndexNow key there. No window of its own;
// the editor's button starts it and report() shows the outcome.
class IndexNowKeyCheck : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { NoUrl, BadUrl, NoKey, BadKey, Found, NotFound, OtherContent, TlsFailure, NoAnswer };

    struct Result
    {
        Outcome outcome = Outcome::NoAnswer;
        QString address; // the key file's address, when there is one
        QString detail;  // the status or the failure, as the client gave it
    };

    // A key file is read no further than this; a key is at most 128 characters.
    static constexpr int MaxFileBytes = 4096;
    static constexpr int DefaultTimeoutMs = 30000;

    explicit IndexNowKeyCheck(QObject* parent = nullptr);
    ~IndexNowKeyCheck() override;

    // The key file's address for a Project URL (no scheme means http), or
    // empty when the URL names no http or https host.
    static QString keyFileAddress(const QString& projectUrl, const QString& key);
    // A key location as given, or empty when it is no http or https address.
    static QString keyFileAddress(const QString& location);

    void setTimeout(int ms) { m_timeoutMs = ms; }
    // Every later check goes through this proxy.
    void setProxy(const ProxyValues& proxy)
    {
        m_proxy = proxy;
        m_proxyEnabled = true;
    }
    bool isRunning() const { return m_client != nullptr || m_pending; }
    // Starts a check unless one runs; finished() follows from the event
    // loop, also when no request was needed to know the outcome.
    // `location`, when set, is the address the key file is published at
    // instead of the site's top.
    void start(const QString& projectUrl, const QString& key, const QString& location = QString());

    static QString caption() { return QStringLiteral("Check Key"); }
    static QString message(const Result& result);
    // The outcome in a message box: a notice when the key was found, else a warning.
    static void report(QWidget* parent, const Result& result);

signals:
    void finished(const IndexNowKeyCheck::Result& result);

private:
    void finishWith(const Result& result);
    void requestDone();

    THttpCli* m_client = nullptr;
    QTimer* m_timer;
    int m_timeoutMs = DefaultTimeoutMs;
    ProxyValues m_proxy;
    bool m_proxyEnabled = false;
    bool m_pending = false;
    QString m_key;
    QString m_address;
    QByteArray m_body;
    bool m_headerSeen = false;
    bool m_tooLong = false;
    // The answer's status as its header gave it; a cancel later overwrites the client's.
    int m_status = 0;
    QString m_statusText;
    bool m_timedOut = false;
};
