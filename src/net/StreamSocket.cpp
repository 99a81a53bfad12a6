#include "net/StreamSocket.h"

#include <QHostAddress>
#include <QSignalBlocker>

QtStreamSocket::QtStreamSocket(QAbstractSocket* socket, QObject* parent) : StreamSocket(parent), m_socket(socket)
{
    m_socket->setParent(this);
    connect(m_socket, &QAbstractSocket::connected, this, &StreamSocket::connected);
    connect(m_socket, &QAbstractSocket::readyRead, this, &StreamSocket::readyRead);
    connect(m_socket, &QAbstractSocket::bytesWritten, this, &StreamSocket::bytesWritten);
    connect(m_socket, &QAbstractSocket::disconnected, this, &StreamSocket::disconnected);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &StreamSocket::errorOccurred);
}

void QtStreamSocket::connectToHost(const QHostAddress& address, quint16 port)
{
    m_socket->connectToHost(address, port);
}

bool QtStreamSocket::bind(const QHostAddress& local)
{
    return m_socket->bind(local);
}

qint64 QtStreamSocket::write(const char* data, qint64 len)
{
    return m_socket->write(data, len);
}

bool QtStreamSocket::flush()
{
    return m_socket->flush();
}

qint64 QtStreamSocket::read(char* data, qint64 maxLen)
{
    return m_socket->read(data, maxLen);
}

QByteArray QtStreamSocket::readAll()
{
    return m_socket->readAll();
}

qint64 QtStreamSocket::bytesAvailable() const
{
    return m_socket->bytesAvailable();
}

qint64 QtStreamSocket::bytesToWrite() const
{
    return m_socket->bytesToWrite();
}

void QtStreamSocket::abort()
{
    // Qt's abort reports the close of a connected socket; ours closes quietly.
    const QSignalBlocker quiet(m_socket);
    m_socket->abort();
}

void QtStreamSocket::setReadBufferSize(qint64 size)
{
    m_socket->setReadBufferSize(size);
}

QAbstractSocket::SocketState QtStreamSocket::state() const
{
    return m_socket->state();
}

QAbstractSocket::SocketError QtStreamSocket::error() const
{
    return m_socket->error();
}

QString QtStreamSocket::errorString() const
{
    return m_socket->errorString();
}
