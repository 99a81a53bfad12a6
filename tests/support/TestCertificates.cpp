#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QStringList EcKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

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

bool TestCertificates::issue(const QString& name, Pair& out, const QStringList& moreNames)
{
    const QString base = QStringLiteral("server%1").arg(++m_count);
    out.key = path(base + QStringLiteral(".key"));
    out.certificate = path(base + QStringLiteral(".crt"));
    const QString request = path(base + QStringLiteral(".csr"));
    const QString extensions = path(base + QStringLiteral(".ext"));
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly) ||
        ext.write(QStringLiteral("subjectAltName=%1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
                      .arg((QStringList{QStringLiteral("DNS:") + name} + moreNames).join(QLatin1Char(',')))
                      .toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write %1").arg(extensions);
        return false;
    }
    ext.close();
    return run(QStringList{QStringLiteral("req")} + EcKey +
               QStringList{QStringLiteral("-keyout"), out.key, QStringLiteral("-out"), request, QStringLiteral("-subj"),
                           QStringLiteral("/CN=") + name}) &&
           run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request, QStringLiteral("-CA"),
                path(QStringLiteral("ca.crt")), QStringLiteral("-CAkey"), path(QStringLiteral("ca.key")),
                QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), out.certificate, QStringLiteral("-days"),
                QStringLiteral("2"), QStringLiteral("-extfile"), extensions});
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
