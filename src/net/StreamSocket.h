#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>

class QHostAddress;

// The connection under one request of THttpCli: the few socket calls the
// client makes and the notifications it listens to, with QAbstractSocket's
// meaning and order: plain TCP on the thread's own poller (PolledTcpSocket),
// TLS over it (TlsStreamSocket).
class StreamSocket : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void connectToHost(const QHostAddress& address, quint16 port) = 0;
    // Before connectToHost only.
    virtual bool bind(const QHostAddress& local) = 0;
    // How long the next connection attempts may take (milliseconds, 0: the socket's default).
    virtual void setConnectTimeout(int ms) = 0;
    // Queues the bytes; they go out when the socket is writable (bytesWritten
    // from the event loop) or at flush() (bytesWritten from within it).
    virtual qint64 write(const char* data, qint64 len) = 0;
    qint64 write(const QByteArray& data) { return write(data.constData(), data.size()); }
    virtual bool flush() = 0;
    virtual qint64 read(char* data, qint64 maxLen) = 0;
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual qint64 bytesToWrite() const = 0;
    // Closes at once, without notifications; the socket can connect again.
    virtual void abort() = 0;
    virtual void setReadBufferSize(qint64 size) = 0;
    virtual QAbstractSocket::SocketState state() const = 0;
    virtual QAbstractSocket::SocketError error() const = 0;
    virtual QString errorString() const = 0;

signals:
    void connected();
    void readyRead();
    void bytesWritten(qint64 bytes);
    void disconnected();
    void errorOccurred(QAbstractSocket::SocketError error);
};
