#include "net/THttpCli.h"
#include "support/MemoryUse.h"
#include "support/ScriptedServer.h"

#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <vector>

using MemoryUse::heapKb;
using MemoryUse::residentKb;

class TestHeaderMemory : public QObject
{
    Q_OBJECT

private slots:
    // Endless "X-Many: v" header lines made each request hold about 9 MB
    // before its header was cut at 1 MB.
    void endlessShortHeaderLines()
    {
        constexpr int Requests = 50;
        QProcess peer; // a process of its own: what the server queues is not ours
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VANTOR_MANY_LINES_PEER"), QStringLiteral("1"));
        peer.setProcessEnvironment(env);
        peer.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(peer.waitForStarted(5000) && peer.waitForReadyRead(10000));
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(peer.readLine().trimmed().toInt());

        const long beforeKb = heapKb();
        const long beforeRssKb = residentKb();
        long peakKb = beforeKb;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] { peakKb = std::max(peakKb, heapKb()); });
        sampler.start(5);
        std::vector<std::unique_ptr<THttpCli>> clients;
        QStringList texts;
        for (int i = 0; i < Requests; ++i) {
            clients.push_back(std::make_unique<THttpCli>());
            connect(clients.back().get(), &THttpCli::OnHeaderData, this, [&] { peakKb = std::max(peakKb, heapKb()); });
            connect(clients.back().get(), &THttpCli::OnRequestDone, this,
                    [&](THttpCli* c, int, int) { texts << c->ResponseText(); });
            clients.back()->setURL(url);
            clients.back()->BeginGet();
        }
        QTRY_COMPARE_WITH_TIMEOUT(texts.size(), Requests, 120000);
        clients.clear();
        QTest::qWait(200);
        const long afterKb = heapKb();
        qInfo("heap: %ld kB before, %ld kB at most during, %ld kB after %d requests; resident %ld kB before, %ld kB "
              "after",
              beforeKb, peakKb, afterKb, Requests, beforeRssKb, residentKb());
        QCOMPARE(texts.count(QStringLiteral("HTTP header too long")), Requests);
        QVERIFY2(peakKb - beforeKb < Requests * 1600, "more than about 1 MB per request");
        QVERIFY2(afterKb - beforeKb < 4 * 1024, "memory not given back after the requests");
#if !defined(__SANITIZE_ADDRESS__) // its quarantine holds freed memory on purpose
        QVERIFY2(residentKb() - beforeRssKb < 8 * 1024, "resident size not back after the requests");
#endif
        peer.kill();
        peer.waitForFinished(5000);
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
