#include <QtTest>
class TestHttpPeers : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestHttpPeers)
#include "tst_httppeers.moc"
