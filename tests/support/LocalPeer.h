#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real server program started for a test on a free 127.0.0.1 port, with its
// configuration and files in a temporary directory; stopped when destroyed.
class LocalPeer
{
public:
    LocalPeer();
    virtual ~LocalPeer();
    LocalPeer(const LocalPeer&) = delete;
    LocalPeer& operator=(const LocalPeer&) = delete;

    // The program's path, empty when it is not installed.
    virtual QString program() const = 0;
    // Writes the configuration and starts the program; false with errorString() when it does not come up.
    bool start();
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    quint16 port() const { return m_port; }
    QString dir() const { return m_dir.path(); }
    QString errorString() const { return m_error; }
    // What the program wrote to its own log file, for a failure message.
    QString logText() const;

    // A port on 127.0.0.1 that nothing listens on right now.
    static quint16 freePort();
    // Waits (bounded) until something accepts connections on 127.0.0.1:port.
    static bool waitForListening(quint16 port, int timeoutMs);

protected:
    virtual QStringList arguments() const = 0;
    virtual bool writeConfig() = 0;
    virtual QString logFile() const = 0;
    bool writeFile(const QString& relative, const QByteArray& bytes);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
