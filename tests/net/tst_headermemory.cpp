#include "net/THttpCli.h"
#include "support/ScriptedServer.h"

#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <vector>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

// Live heap bytes: what the program holds, whatever the allocator keeps
// cached (AddressSanitizer's quarantine, glibc's free lists).
long heapKb()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
#endif
}

} // namespace

class TestHeaderMemory : public QObject
{
    Q_OBJECT

private slots:
    // A server that answers with endless short header lines ("X-Many: v")
    // made each running request hold about 9 MB before its header was cut.
    void endlessShortHeaderLines()
    {
        constexpr int Requests = 50;
        // The server runs in a process of its own: what it queues is not ours.
        QProcess peer;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VANTOR_MANY_LINES_PEER"), QStringLiteral("1"));
        peer.setProcessEnvironment(env);
        peer.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(peer.waitForStarted(5000));
        QVERIFY(peer.waitForReadyRead(10000));
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(peer.readLine().trimmed().toInt());
        const long beforeKb = heapKb();
        long peakKb = beforeKb;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] { peakKb = std::max(peakKb, heapKb()); });
        sampler.start(5);

        std::vector<std::unique_ptr<THttpCli>> clients;
        int done = 0;
        QStringList texts;
        for (int i = 0; i < Requests; ++i) {
            auto client = std::make_unique<THttpCli>();
            connect(client.get(), &THttpCli::OnHeaderData, this, [&] { peakKb = std::max(peakKb, heapKb()); });
            connect(client.get(), &THttpCli::OnRequestDone, this, [&](THttpCli* c, int, int) {
                ++done;
                texts << c->ResponseText();
            });
            client->setURL(url);
            client->BeginGet();
            clients.push_back(std::move(client));
        }
        QTRY_COMPARE_WITH_TIMEOUT(done, Requests, 120000);
        sampler.stop();
        clients.clear();
        QTest::qWait(200);
        const long afterKb = heapKb();
        qInfo("heap: %ld kB before, %ld kB at most during, %ld kB after %d requests", beforeKb, peakKb, afterKb,
              Requests);
        QCOMPARE(texts.count(QStringLiteral("HTTP header too long")), Requests);
        // About 1 MB of header per request, not nine.
        QVERIFY2(peakKb - beforeKb < Requests * 1600, QByteArray::number(peakKb - beforeKb).constData());
        QVERIFY2(afterKb - beforeKb < 4 * 1024, QByteArray::number(afterKb - beforeKb).constData());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VANTOR_MANY_LINES_PEER")) {
        ScriptedServer server;
        server.play(ScriptedServer::Script()
                        .awaitRequest()
                        .send("HTTP/1.0 200 OK\r\n")
                        .sendRepeated("X-Many: v\r\n", 400000)
                        .stall());
        std::printf("%d\n", server.port());
        std::fflush(stdout);
        return app.exec();
    }
    TestHeaderMemory test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_headermemory.moc"
