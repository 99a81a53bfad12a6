#pragma once

#include <QDateTime>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A certificate authority of the test's own, made with the openssl program in a
// temporary directory, and the server certificates it (or nobody) signs.
class TestCertificates
{
public:
    struct Pair
    {
        QString certificate; // PEM file
        QString key;         // PEM file
    };

    // The openssl program's path, empty when it is not installed.
    static QString program();
    // Creates the authority; false with errorString() when openssl fails.
    bool createAuthority();
    // A certificate for the DNS `name` signed by the authority; `moreNames` are further
    // subject alternative names as openssl writes them ("IP:127.0.0.1", "DNS:x").
    bool issue(const QString& name, Pair& out, const QStringList& moreNames = {});
    // Like issue(), valid from `notBefore` to `notAfter` only, so a test can make one that has
    // expired or is not valid yet.
    bool issueDated(const QString& name, const QDateTime& notBefore, const QDateTime& notAfter, Pair& out);
    // A certificate for `name` that signs itself and that no one trusts.
    bool selfSigned(const QString& name, Pair& out);

    QList<QSslCertificate> authority() const;
    QString errorString() const { return m_error; }

private:
    bool run(const QStringList& arguments);
    // A key, a signing request and the extensions file for a server certificate for `name`.
    bool request(const QString& name, const QStringList& moreNames, Pair& out, QString& request, QString& extensions);
    QString path(const QString& file) const { return m_dir.filePath(file); }

    QTemporaryDir m_dir;
    QString m_error;
    int m_count = 0;
};
