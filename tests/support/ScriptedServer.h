#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <memory>
#include <vector>

class QTcpSocket;

// A TCP server on 127.0.0.1 (a free port) that plays byte scripts to whoever
// connects and records what each connection sent. Connection n plays script n;
// the last script is replayed for any further connections.
class ScriptedServer : public QObject
{
    Q_OBJECT
public:
    class Script
    {
    public:
        // Wait until the request header (and a body of its Content-Length) has come.
        Script& awaitRequest();
        Script& send(const QByteArray& bytes);
        // The same bytes in two writes with a pause between, so they arrive in two reads.
        Script& sendInParts(const QByteArray& bytes, int splitAt, int pauseMs = 50);
        Script& wait(int ms);
        // `count` copies of `block`, written as the peer takes them (the server holds little in memory).
        Script& sendRepeated(const QByteArray& block, qint64 count);
        // Keep the connection open and answer nothing more.
        Script& stall();
        Script& close();
        // Abort with a TCP reset.
        Script& reset();

    private:
        friend class ScriptedServer;
        struct Step
        {
            enum Kind { AwaitRequest, Send, Wait, SendRepeated, Stall, Close, Reset } kind;
            QByteArray bytes;
            qint64 count = 0;
        };
        std::vector<Step> m_steps;
    };

    explicit ScriptedServer(QObject* parent = nullptr);
    ~ScriptedServer() override;

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:<port>" + path.
    QString url(const QString& path = QStringLiteral("/")) const;

    void play(const Script& script);
    void play(const QList<Script>& scripts);

    int connectionCount() const { return static_cast<int>(m_connections.size()); }
    // Every byte connection n sent; empty when there is no such connection.
    QByteArray received(int connection = 0) const;
    // Connections whose peer has closed or which the script ended.
    int closedCount() const;

private:
    struct Connection;
    void accept();
    void advance(Connection* c);
    void feedRepeated(Connection* c);
    static bool requestComplete(const QByteArray& bytes);

    QTcpServer m_server;
    QList<Script> m_scripts;
    std::vector<std::unique_ptr<Connection>> m_connections;
};
