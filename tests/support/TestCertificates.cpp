#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QStringList EcKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

bool writeFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

QString TestCertificates::program()
{
    return QStandardPaths::findExecutable(QStringLiteral("openssl"));
}

bool TestCertificates::run(const QStringList& arguments)
{
    if (program().isEmpty()) {
        m_error = QStringLiteral("openssl is not installed");
        return false;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program(), arguments);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error =
            QStringLiteral("openssl %1: %2").arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool TestCertificates::createAuthority()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    return run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey +
               QStringList{QStringLiteral("-keyout"), path(QStringLiteral("ca.key")), QStringLiteral("-out"),
                           path(QStringLiteral("ca.crt")), QStringLiteral("-days"), QStringLiteral("2"),
                           QStringLiteral("-subj"), QStringLiteral("/CN=Vantor Test Authority"),
                           QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                           QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

bool TestCertificates::request(const QString& name, const QStringList& moreNames, Pair& out, QString& request,
                               QString& extensions)
{
    const QString base = QStringLiteral("server%1").arg(++m_count);
    out.key = path(base + QStringLiteral(".key"));
    out.certificate = path(base + QStringLiteral(".crt"));
    request = path(base + QStringLiteral(".csr"));
    extensions = path(base + QStringLiteral(".ext"));
    const QByteArray text =
        QStringLiteral("subjectAltName=%1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
            .arg((QStringList{QStringLiteral("DNS:") + name} + moreNames).join(QLatin1Char(',')))
            .toUtf8();
    if (!writeFile(extensions, text)) {
        m_error = QStringLiteral("cannot write %1").arg(extensions);
        return false;
    }
    return run(QStringList{QStringLiteral("req")} + EcKey +
               QStringList{QStringLiteral("-keyout"), out.key, QStringLiteral("-out"), request, QStringLiteral("-subj"),
                           QStringLiteral("/CN=") + name});
}

bool TestCertificates::issue(const QString& name, Pair& out, const QStringList& moreNames)
{
    QString csr, extensions;
    return request(name, moreNames, out, csr, extensions) &&
           run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), csr, QStringLiteral("-CA"),
                path(QStringLiteral("ca.crt")), QStringLiteral("-CAkey"), path(QStringLiteral("ca.key")),
                QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), out.certificate, QStringLiteral("-days"),
                QStringLiteral("2"), QStringLiteral("-extfile"), extensions});
}

bool TestCertificates::issueDated(const QString& name, const QDateTime& notBefore, const QDateTime& notAfter, Pair& out)
{
    // "openssl x509 -req" of OpenSSL 3.0 starts every certificate now; "openssl ca" takes any dates,
    // given a database of its own.
    const QString config = path(QStringLiteral("ca.cnf"));
    if (!QFile::exists(config)) {
        const QByteArray text =
            QStringLiteral("[ca]\ndefault_ca = test\n"
                           "[test]\ndatabase = %1\nserial = %2\nnew_certs_dir = %3\n"
                           "default_md = sha256\npolicy = any\nunique_subject = no\n"
                           "[any]\ncommonName = supplied\n")
                .arg(path(QStringLiteral("index.txt")), path(QStringLiteral("ca-serial")), m_dir.path())
                .toUtf8();
        if (!writeFile(path(QStringLiteral("index.txt")), {}) ||
            !writeFile(path(QStringLiteral("ca-serial")), "1000\n") || !writeFile(config, text)) {
            m_error = QStringLiteral("cannot write the authority's files in %1").arg(m_dir.path());
            return false;
        }
    }
    const auto date = [](const QDateTime& t) {
        return t.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('Z');
    };
    QString csr, extensions;
    return request(name, {}, out, csr, extensions) &&
           run({QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-notext"), QStringLiteral("-config"),
                config, QStringLiteral("-cert"), path(QStringLiteral("ca.crt")), QStringLiteral("-keyfile"),
                path(QStringLiteral("ca.key")), QStringLiteral("-in"), csr, QStringLiteral("-out"), out.certificate,
                QStringLiteral("-startdate"), date(notBefore), QStringLiteral("-enddate"), date(notAfter),
                QStringLiteral("-extfile"), extensions});
}

bool TestCertificates::selfSigned(const QString& name, Pair& out)
{
    const QString base = QStringLiteral("self%1").arg(++m_count);
    out.key = path(base + QStringLiteral(".key"));
    out.certificate = path(base + QStringLiteral(".crt"));
    return run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey +
               QStringList{QStringLiteral("-keyout"), out.key, QStringLiteral("-out"), out.certificate,
                           QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                           QStringLiteral("/CN=") + name, QStringLiteral("-addext"),
                           QStringLiteral("subjectAltName=DNS:") + name});
}

QList<QSslCertificate> TestCertificates::authority() const
{
    return QSslCertificate::fromPath(path(QStringLiteral("ca.crt")));
}
