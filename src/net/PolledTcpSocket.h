#pragma once

#include "net/StreamSocket.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class SocketPoller;

// Plain TCP on the thread's poller: all such connections of a thread share one
// epoll set behind one notifier of the event loop. A connection then costs only
// the system calls it needs (about half of what Qt's socket makes), and no
// notifier of its own, whose registration and removal wake the event loop
// every time. Connection attempts give up after 30 seconds, as Qt's do.
class PolledTcpSocket : public StreamSocket
{
    Q_OBJECT

public:
    static constexpr int ConnectTimeoutMs = 30000;

    explicit PolledTcpSocket(QObject* parent = nullptr);
    ~PolledTcpSocket() override;

    void setConnectTimeout(int ms) override { m_connectTimeoutMs = ms > 0 ? ms : ConnectTimeoutMs; }

    void connectToHost(const QHostAddress& address, quint16 port) override;
    bool bind(const QHostAddress& local) override;
    qint64 write(const char* data, qint64 len) override;
    using StreamSocket::write;
    bool flush() override;
    qint64 read(char* data, qint64 maxLen) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override { return m_in.size() - m_inPos; }
    qint64 bytesToWrite() const override { return m_out.size() - m_outPos; }
    void abort() override;
    void setReadBufferSize(qint64 size) override { m_readBufferSize = size; }
    QAbstractSocket::SocketState state() const override { return m_state; }
    QAbstractSocket::SocketError error() const override { return m_error; }
    QString errorString() const override { return m_errorString; }

private:
    friend class SocketPoller;

    void handleEvents(quint32 events);
    void connectTimedOut();
    bool connecting(qint64 olderThanMs) const
    {
        return m_state == QAbstractSocket::ConnectingState && m_connectClock.hasExpired(olderThanMs);
    }
    bool openSocket(int family);
    void watch(quint32 events);
    quint32 wanted() const;
    void readFromSocket(bool lookForEnd = true);
    bool writeToSocket();
    void closeSocket();
    void setError(QAbstractSocket::SocketError error, int errnoValue);
    // Closes and reports: errorOccurred, then disconnected if the connection had been made.
    void failAndClose(QAbstractSocket::SocketError error, int errnoValue);

    QPointer<SocketPoller> m_poller;
    int m_fd = -1;
    int m_family = 0;
    quint64 m_token = 0;     // the poller's name for this connection; 0 while not registered
    quint32 m_watched = 0;   // the events the poller watches for
    quint64 m_generation = 0; // one per abort or close: a notification's caller knows the socket moved on
    QAbstractSocket::SocketState m_state = QAbstractSocket::UnconnectedState;
    QAbstractSocket::SocketError m_error = QAbstractSocket::UnknownSocketError;
    QString m_errorString;
    QElapsedTimer m_connectClock;
    int m_connectTimeoutMs = ConnectTimeoutMs;
    qint64 m_readBufferSize = 0; // 0: no limit
    QByteArray m_in;
    qsizetype m_inPos = 0;
    QByteArray m_out;
    qsizetype m_outPos = 0;
    bool m_emittingBytesWritten = false;
};
