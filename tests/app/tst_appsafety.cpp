#include "app/TSubmitMain.h"
#include "app/VantorApplication.h"
#include "support/ScriptedDialogs.h"
#include "tools/ProjectImport.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>
#include <sys/stat.h>

namespace {

QStringList listing(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << info.filePath() + QString::number(info.size()) + info.lastModified().toString(Qt::ISODateWithMs);
    }
    entries.sort();
    return entries;
}

} // namespace

class TestAppSafety : public QObject
{
    Q_OBJECT

private slots:
    void errorInAnyHandler_data()
    {
        QTest::addColumn<bool>("queued");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("text");
        QTest::newRow("timer tick") << false << true << QStringLiteral("Failed here.");
        QTest::newRow("queued call") << true << true << QStringLiteral("Failed here.");
        QTest::newRow("not a std::exception") << false << false << QStringLiteral("Unknown error.");
    }

    // An error escaping a handler ends that handler with the error box; the
    // events after it are still delivered.
    void errorInAnyHandler()
    {
        QFETCH(bool, queued);
        QFETCH(bool, standard);
        QFETCH(QString, text);
        ScriptedDialogs dialogs;
        auto fail = [standard] { standard ? throw std::runtime_error("Failed here") : throw 42; };
        if (queued)
            QMetaObject::invokeMethod(this, fail, Qt::QueuedConnection);
        else
            QTimer::singleShot(0, this, fail);
        bool later = false;
        QTimer::singleShot(20, this, [&later] { later = true; });
        QTRY_VERIFY(later);
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.lastMessage().text, text);
        QCOMPARE(dialogs.lastMessage().icon, Dialogs::Icon::Error);
        QCOMPARE(dialogs.lastMessage().caption, QGuiApplication::applicationDisplayName());
    }

    // A second start in a program directory that the program runs in changes
    // nothing; once the first has died, the directory can be taken over.
    void secondInstance()
    {
        // Outlives the application, which holds the lock until it ends.
        m_lockDir = std::make_unique<TempProgramDir>();
        TempProgramDir& dir = *m_lockDir;
        QProcess first;
        first.setWorkingDirectory(dir.path());
        first.start(QStringLiteral(VANTOR_EXE), {});
        QVERIFY(first.waitForStarted(10000));
        const QString lock = dir.filePath(VantorApplication::lockFileName());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), 20000);
        QTest::qWait(200);
        const QStringList before = listing(dir.path());

        auto* app = qobject_cast<VantorApplication*>(QCoreApplication::instance());
        QVERIFY(app);
        {
            ScriptedDialogs dialogs;
            QVERIFY(!app->claimProgramDir(dir.path()));
            QCOMPARE(dialogs.messages().size(), 1);
            QCOMPARE(dialogs.lastMessage().text,
                     QStringLiteral("Vantor Pro is already running in this program directory."));
            QCOMPARE(listing(dir.path()), before);
        }

        // A crash leaves the lock file behind.
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(QFileInfo::exists(lock));
        ScriptedDialogs dialogs;
        QVERIFY(app->claimProgramDir(dir.path()));
        QVERIFY(dialogs.messages().isEmpty());
        QLockFile other(lock);
        QVERIFY(!other.tryLock(0));
    }

    void startupWithHostileFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption"); // a message the start-up must show, if any
        for (const char* file :
             {"dfd.ini", "data/data.ist", "data/ranking.ist", "data/session/session.zro", "skin.skn", "about.jpg"}) {
            for (const char* kind : {"fifo", "/dev/zero", "directory"})
                QTest::addRow("%s as %s", file, kind)
                    << QString::fromLatin1(file) << QString::fromLatin1(kind) << QString();
        }
        QTest::newRow("2 MB dfd.ini") << QStringLiteral("dfd.ini") << QStringLiteral("large")
                                      << QStringLiteral("Settings Not Read");
        QTest::newRow("2 MB skin.skn") << QStringLiteral("skin.skn") << QStringLiteral("large")
                                       << QStringLiteral("Skin Not Loaded");
    }

    // Start-up read whatever it was given: a FIFO hung it, /dev/zero ate the
    // memory, a huge skin took half a minute. The window comes up at once.
    void startupWithHostileFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        TempProgramDir dir;
        const QString path = dir.filePath(file);
        QFile::remove(path);
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("/dev/zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QByteArray big("[tss]\r\napp=Big\r\nversion=1\r\n");
            big += QByteArray(2 * 1024 * 1024, ' ');
            dir.write(file, big);
        }
        ScriptedDialogs dialogs;
        QElapsedTimer clock;
        clock.start();
        TSubmitMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, 5000));
        const qint64 ms = clock.elapsed();
        QVERIFY2(ms < 5000, QByteArray::number(ms).constData());
        if (file == QLatin1String("dfd.ini"))
            QCOMPARE(window.windowTitle(), QStringLiteral("error verror"));
        QStringList captions;
        for (const auto& call : dialogs.messages())
            captions << call.caption;
        if (!caption.isEmpty())
            QVERIFY2(captions.contains(caption), qPrintable(captions.join(QLatin1String(", "))));
        // A settings file that was not read is not overwritten either.
        if (kind == QLatin1String("large"))
            QVERIFY(dir.read(file).size() > 2 * 1024 * 1024);
    }

    // A FIFO picked for an import is refused at once instead of hanging the window.
    void importRefusesFifo()
    {
        TempProgramDir dir;
        const QString path = dir.filePath(QStringLiteral("pipe.zro"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        QVERIFY_THROWS_EXCEPTION(ProjectImport::ImportError, ProjectImport::readFile(path));
    }

private:
    std::unique_ptr<TempProgramDir> m_lockDir;
};

int main(int argc, char** argv)
{
    TestAppSafety test; // made first, so its folders go after the application
    VantorApplication app(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_appsafety.moc"
