#include "IndexNowKeyCheck.h"

#include "net/SplitHttpUrl.h"
#include "net/THttpCli.h"
#include "projects/IndexNowKeyText.h"
#include "ui/Dialogs.h"

#include <QTimer>

#include <algorithm>

IndexNowKeyCheck::IndexNowKeyCheck(QObject* parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (!m_client)
            return;
        m_timedOut = true;
        m_client->CancelRequest();
    });
}

IndexNowKeyCheck::~IndexNowKeyCheck()
{
    delete m_client;
}

QString IndexNowKeyCheck::keyFileAddress(const QString& projectUrl, const QString& key)
{
    QString proto, user, password, host, port, path;
    SplitHttpUrl(projectUrl.trimmed(), proto, user, password, host, port, path);
    if (proto.isEmpty())
        proto = QStringLiteral("http");
    proto = proto.toLower();
    if ((proto != QLatin1String("http") && proto != QLatin1String("https")) || host.isEmpty())
        return QString();
    QString address = proto + QStringLiteral("://") + host;
    if (!port.isEmpty())
        address += QLatin1Char(':') + port;
    return address + QLatin1Char('/') + key + QStringLiteral(".txt");
}

QString IndexNowKeyCheck::keyFileAddress(const QString& location)
{
    QString proto, user, password, host, port, path;
    SplitHttpUrl(location.trimmed(), proto, user, password, host, port, path);
    proto = proto.toLower();
    if ((proto != QLatin1String("http") && proto != QLatin1String("https")) || host.isEmpty())
        return QString();
    return location.trimmed();
}

void IndexNowKeyCheck::start(const QString& projectUrl, const QString& key, const QString& location)
{
    if (isRunning())
        return;
    Result early;
    early.address = location.isEmpty() ? keyFileAddress(projectUrl, key) : keyFileAddress(location);
    bool settled = true;
    if (projectUrl.trimmed().isEmpty()) {
        early.outcome = Outcome::NoUrl;
    } else if (early.address.isEmpty()) {
        early.outcome = Outcome::BadUrl;
        early.detail = location.isEmpty() ? projectUrl.trimmed() : location.trimmed();
    } else if (key.isEmpty()) {
        early.outcome = Outcome::NoKey;
    } else if (!IndexNowKeyText::isWellFormed(key)) {
        early.outcome = Outcome::BadKey;
    } else {
        settled = false;
    }
    if (settled) {
        // Same order of events as a check that went out.
        m_pending = true;
        QMetaObject::invokeMethod(
            this,
            [this, early] {
                m_pending = false;
                emit finished(early);
            },
            Qt::QueuedConnection);
        return;
    }

    m_key = key;
    m_address = early.address;
    m_body.clear();
    m_headerSeen = m_tooLong = m_timedOut = false;
    m_client = new THttpCli(this);
    m_client->setURL(m_address);
    if (m_proxyEnabled)
        applyProxy(*m_client, m_proxy);
    m_client->setAccept(QStringLiteral("text/plain, */*"));
    m_client->setIdleTimeout(std::max(1, (m_timeoutMs + 999) / 1000));
    connect(m_client, &THttpCli::OnHeaderEnd, this, [this] {
        m_headerSeen = true;
        m_status = m_client->ResponseCode();
        m_statusText = m_client->ResponseText();
        m_body.clear();
    });
    // A redirect starts over: what counts is the answer at its end.
    connect(m_client, &THttpCli::OnLocationChange, this, [this] {
        m_headerSeen = false;
        m_body.clear();
    });
    connect(m_client, &THttpCli::OnDocData, this, [this](THttpCli*, const char* data, int len) {
        if (m_tooLong)
            return;
        m_body.append(data, len);
        if (m_body.size() > MaxFileBytes) {
            m_tooLong = true;
            m_client->CancelRequest();
        }
    });
    connect(m_client, &THttpCli::OnRequestDone, this, [this](THttpCli*, int, int) { requestDone(); });
    m_timer->start(m_timeoutMs);
    m_client->BeginGet();
}

void IndexNowKeyCheck::requestDone()
{
    m_timer->stop();
    Result result;
    result.address = m_address;
    const int code = m_headerSeen ? m_status : m_client->ResponseCode();
    const QString text = m_headerSeen ? m_statusText : m_client->ResponseText();
    // The status first: a refusal with a long body is a refusal, not a file that holds something else.
    if (m_headerSeen && (code < 200 || code > 299)) {
        result.outcome = Outcome::NotFound;
        result.detail = QStringLiteral("%1 %2").arg(code).arg(text).trimmed();
    } else if (m_tooLong) {
        result.outcome = Outcome::OtherContent;
    } else if (m_timedOut) {
        result.outcome = Outcome::NoAnswer;
        result.detail = QStringLiteral("no answer within %1 seconds").arg((m_timeoutMs + 999) / 1000);
    } else if (!m_headerSeen) {
        result.outcome =
            text.startsWith(QLatin1String("TLS handshake failed")) ? Outcome::TlsFailure : Outcome::NoAnswer;
        result.detail = text;
    } else {
        // Surrounding blanks and line ends, and the byte-order mark some
        // editors put first, are not part of what the file holds.
        QByteArray held = m_body;
        if (held.startsWith("\xEF\xBB\xBF"))
            held.remove(0, 3);
        result.outcome = held.trimmed() == m_key.toLatin1() ? Outcome::Found : Outcome::OtherContent;
    }
    finishWith(result);
}

void IndexNowKeyCheck::finishWith(const Result& result)
{
    // Released after its own notification has returned.
    m_client->deleteLater();
    m_client = nullptr;
    emit finished(result);
}

QString IndexNowKeyCheck::message(const Result& r)
{
    switch (r.outcome) {
    case Outcome::NoUrl:
        return QStringLiteral("The Project has no URL.\n\rEnter the address of your site in \"URL:\" first.");
    case Outcome::BadUrl:
        return QStringLiteral("The Project's URL \"%1\" is not an http or https address.").arg(r.detail);
    case Outcome::NoKey:
        return QStringLiteral("The Project has no IndexNow key.\n\rClick \"Generate\" to make one.");
    case Outcome::BadKey:
        return QStringLiteral("The IndexNow key must be 8 to 128 characters of a-z, A-Z, 0-9 and \"-\".\n\r"
                              "Click \"Generate\" to make one.");
    case Outcome::Found:
        return QStringLiteral("The key file %1 is on your site and holds the key.").arg(r.address);
    case Outcome::NotFound:
        return QStringLiteral("The key file %1 was not found (%2).\n\r"
                              "Upload a file of that name, holding only the key, to the top folder of your site.")
            .arg(r.address, r.detail);
    case Outcome::OtherContent:
        return QStringLiteral("The file %1 is there but does not hold the key.\n\r"
                              "It must hold the key and nothing else.")
            .arg(r.address);
    case Outcome::TlsFailure:
        return QStringLiteral("The secure connection for %1 failed:\n\r%2").arg(r.address, r.detail);
    case Outcome::NoAnswer:
        return QStringLiteral("No answer for %1:\n\r%2").arg(r.address, r.detail);
    }
    return QString();
}

void IndexNowKeyCheck::report(QWidget* parent, const Result& result)
{
    if (result.outcome == Outcome::Found)
        Dialogs::message(parent, caption(), message(result), Dialogs::Icon::Information, Dialogs::Ok);
    else
        Dialogs::warning(parent, caption(), message(result));
}
