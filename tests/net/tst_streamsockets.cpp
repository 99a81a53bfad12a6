// The polled socket under the HTTP client, against a Qt server in the same
// event loop: what it reports, in which order, and what it holds.
#include "net/PolledTcpSocket.h"
#include "support/LocalPeer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <QDir>
#include <QFile>
#include <QSet>

#include <memory>

#include <unistd.h>

namespace {

// Records the socket's notifications as words, and reads everything on readyRead.
struct Recorder
{
    explicit Recorder(PolledTcpSocket* s, bool read = true) : socket(s)
    {
        QObject::connect(s, &StreamSocket::connected, s, [this] { events << QStringLiteral("connected"); });
        QObject::connect(s, &StreamSocket::readyRead, s, [this, read] {
            if (events.isEmpty() || events.last() != QLatin1String("readyRead"))
                events << QStringLiteral("readyRead");
            if (read)
                received += this->socket->readAll();
        });
        QObject::connect(s, &StreamSocket::errorOccurred, s, [this](QAbstractSocket::SocketError e) {
            events << QStringLiteral("error:%1").arg(int(e));
        });
        QObject::connect(s, &StreamSocket::disconnected, s,
                         [this] { events << QStringLiteral("disconnected"); });
    }
    bool ended() const
    {
        return events.contains(QStringLiteral("disconnected")) ||
               (!events.isEmpty() && events.last().startsWith(QLatin1String("error")) &&
                !events.contains(QStringLiteral("connected")));
    }

    PolledTcpSocket* socket;
    QStringList events;
    QByteArray received;
};

// Accepts connections and hands each to `onConnection`.
class Peer : public QTcpServer
{
public:
    std::function<void(QTcpSocket*)> onConnection;
    QByteArray received;

    Peer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { received += s->readAll(); });
                if (onConnection)
                    onConnection(s);
            }
        });
    }
};

// The descriptors the thread's poll set watches, from the kernel's own listing.
QSet<int> watchedDescriptors()
{
    QSet<int> out;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        if (!QFile::symLinkTarget(fds.filePath(name)).endsWith(QLatin1String("[eventpoll]")))
            continue;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + name);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (line.startsWith("tfd:"))
                out << line.mid(4).trimmed().split(' ').first().toInt();
        }
    }
    return out;
}

const QString RemoteClosed = QStringLiteral("error:%1").arg(int(QAbstractSocket::RemoteHostClosedError));

} // namespace

class TestStreamSockets : public QObject
{
    Q_OBJECT

private slots:
    void connectFailures_data();
    void connectFailures();
    void answerThenClose_data();
    void answerThenClose();
    void fullBufferLeavesBytesInTheKernel();
    void writtenWhileConnecting();
    void socketDeletedByAnotherOnesHandler();
    void familyMismatchRefused_data();
    void familyMismatchRefused();
    void closeLeavesThePollSet();
};

void TestStreamSockets::connectFailures_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<bool>("bound");
    QTest::addColumn<int>("error");
    QTest::newRow("nothing listens") << QString() << true << int(QAbstractSocket::ConnectionRefusedError);
    // TEST-NET-1 is no address of this machine.
    QTest::newRow("local address not here") << "192.0.2.1" << false
                                            << int(QAbstractSocket::SocketAddressNotAvailableError);
}

void TestStreamSockets::connectFailures()
{
    QFETCH(QString, local);
    QFETCH(bool, bound);
    QFETCH(int, error);
    PolledTcpSocket socket;
    Recorder log(&socket);
    if (!local.isEmpty()) {
        QCOMPARE(socket.bind(QHostAddress(local)), bound);
        if (!bound) {
            QCOMPARE(int(socket.error()), error);
            QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
            return;
        }
    }
    socket.connectToHost(QHostAddress::LocalHost, LocalPeer::freePort());
    QTRY_VERIFY_WITH_TIMEOUT(log.ended(), 5000);
    QCOMPARE(log.events, QStringList{QStringLiteral("error:%1").arg(error)});
    QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
}

void TestStreamSockets::answerThenClose_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("a few bytes") << 5;
    QTest::newRow("more than one read and the buffer") << 300000;
}

void TestStreamSockets::answerThenClose()
{
    QFETCH(int, size);
    QByteArray answer(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        answer[i] = char('a' + i % 26);
    Peer peer;
    peer.onConnection = [&answer](QTcpSocket* s) {
        s->write(answer);
        s->disconnectFromHost(); // after the bytes are out
    };
    PolledTcpSocket socket;
    socket.setReadBufferSize(64 * 1024);
    Recorder log(&socket);
    socket.connectToHost(QHostAddress::LocalHost, peer.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(log.ended(), 10000);
    QCOMPARE(log.received.size(), answer.size());
    QCOMPARE(log.received, answer);
    // Every byte before the close, the close reported once, as Qt's sockets report it.
    QCOMPARE(log.events, (QStringList{"connected", "readyRead", RemoteClosed, "disconnected"}));
    QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
}

void TestStreamSockets::fullBufferLeavesBytesInTheKernel()
{
    const QByteArray block(1024 * 1024, 'x');
    Peer peer;
    peer.onConnection = [&block](QTcpSocket* s) {
        s->write(block);
        s->disconnectFromHost();
    };
    PolledTcpSocket socket;
    const qint64 limit = 64 * 1024;
    socket.setReadBufferSize(limit);
    Recorder log(&socket, false);
    socket.connectToHost(QHostAddress::LocalHost, peer.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(socket.bytesAvailable() > 0, 5000);
    QTest::qWait(200);
    QVERIFY2(socket.bytesAvailable() <= limit, QByteArray::number(socket.bytesAvailable()).constData());
    QVERIFY(!log.events.contains(QStringLiteral("disconnected")));
    // Reading makes room, and the rest comes in turn.
    QByteArray all;
    QTRY_VERIFY_WITH_TIMEOUT((all += socket.readAll(), log.ended()), 10000);
    all += socket.readAll();
    QCOMPARE(all.size(), block.size());
}

void TestStreamSockets::writtenWhileConnecting()
{
    Peer peer;
    PolledTcpSocket socket;
    Recorder log(&socket);
    socket.connectToHost(QHostAddress::LocalHost, peer.serverPort());
    QCOMPARE(socket.state(), QAbstractSocket::ConnectingState);
    QCOMPARE(socket.write(QByteArray("ping")), 4);
    QTRY_COMPARE_WITH_TIMEOUT(peer.received, QByteArray("ping"), 5000);
    QCOMPARE(socket.bytesToWrite(), 0);
}

void TestStreamSockets::socketDeletedByAnotherOnesHandler()
{
    // Both answers arrive together; whichever socket hears first deletes the other, whose
    // event may already have been fetched in the same batch.
    Peer peer;
    QList<QTcpSocket*> accepted;
    peer.onConnection = [&accepted](QTcpSocket* s) {
        accepted << s;
        if (accepted.size() == 2) {
            for (QTcpSocket* a : accepted)
                a->write("answer");
        }
    };
    auto* first = new PolledTcpSocket;
    auto* second = new PolledTcpSocket;
    QPointer<PolledTcpSocket> firstAlive(first), secondAlive(second);
    int heard = 0;
    for (auto* s : {first, second}) {
        connect(s, &StreamSocket::readyRead, s, [&, s] {
            ++heard;
            s->readAll();
            delete (s == first ? secondAlive.data() : firstAlive.data());
        });
        s->connectToHost(QHostAddress::LocalHost, peer.serverPort());
    }
    QTRY_VERIFY_WITH_TIMEOUT(heard > 0 && (!firstAlive || !secondAlive), 5000);
    QTest::qWait(100);
    QCOMPARE(heard, 1);
    delete firstAlive.data();
    delete secondAlive.data();
}

void TestStreamSockets::familyMismatchRefused_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("text");
    // An IPv6 address in an IPv4 socket's call reached 0.0.0.0, which is this machine.
    QTest::newRow("IPv4 socket, IPv6 peer") << "127.0.0.1"
                                            << "::1"
                                            << "The local address is IPv4, the peer's IPv6";
    QTest::newRow("IPv6 socket, IPv4 peer") << "::1"
                                            << "127.0.0.1"
                                            << "The local address is IPv6, the peer's IPv4";
}

void TestStreamSockets::familyMismatchRefused()
{
    QFETCH(QString, local);
    QFETCH(QString, peer);
    QFETCH(QString, text);
    QTcpServer any;
    QVERIFY(any.listen(QHostAddress::AnyIPv4, 0));
    PolledTcpSocket socket;
    Recorder log(&socket);
    if (!socket.bind(QHostAddress(local)))
        QSKIP("no such local address here");
    socket.connectToHost(QHostAddress(peer), any.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(log.ended() || log.events.contains(QStringLiteral("connected")), 5000);
    QCOMPARE(log.events,
             QStringList{QStringLiteral("error:%1").arg(int(QAbstractSocket::UnsupportedSocketOperationError))});
    QCOMPARE(socket.errorString(), text);
    QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(50);
    QVERIFY(!any.hasPendingConnections());
}

void TestStreamSockets::closeLeavesThePollSet()
{
    // A copy of the descriptor keeps the connection open past our close (as a child process's
    // would); the poll set must not go on watching it.
    Peer peer;
    PolledTcpSocket socket;
    Recorder log(&socket);
    const QSet<int> before = watchedDescriptors();
    socket.connectToHost(QHostAddress::LocalHost, peer.serverPort());
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains(QStringLiteral("connected")), 5000);
    const QSet<int> ours = watchedDescriptors() - before;
    QCOMPARE(ours.size(), 1);
    const int fd = *ours.cbegin();
    const int copy = ::dup(fd);
    QVERIFY(copy >= 0);
    socket.abort();
    const QSet<int> after = watchedDescriptors();
    ::close(copy);
    QVERIFY2(!after.contains(fd), "the closed descriptor is still in the poll set");
}

QTEST_GUILESS_MAIN(TestStreamSockets)
#include "tst_streamsockets.moc"
