#include "support/LocalPeer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

LocalPeer::LocalPeer() = default;

LocalPeer::~LocalPeer()
{
    stop();
}

quint16 LocalPeer::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool LocalPeer::waitForListening(quint16 port, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

bool LocalPeer::writeFile(const QString& relative, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool LocalPeer::start()
{
    if (program().isEmpty()) {
        m_error = QStringLiteral("not installed");
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    // A port may be taken between the probe and the start; a few tries cover that.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freePort();
        if (m_port == 0 || !writeConfig()) {
            m_error = QStringLiteral("cannot write the configuration");
            return false;
        }
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setWorkingDirectory(m_dir.path());
        m_process.start(program(), arguments());
        if (!m_process.waitForStarted(5000)) {
            m_error = m_process.errorString();
            return false;
        }
        if (waitForListening(m_port, 5000) && isRunning())
            return true;
        m_error = QString::fromLocal8Bit(m_process.readAll()) + logText();
        stop();
    }
    return false;
}

void LocalPeer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QString LocalPeer::logText() const
{
    QFile f(logFile());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll());
}
