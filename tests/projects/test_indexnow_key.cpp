// The Project's IndexNow key: its form, "Generate", and its place in the
// Project file next to files written before it existed.
#include "projects/IndexNowKeyText.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

// A file as an older program wrote it, with a key only other tools write.
const QByteArray OldFile = "[site]\r\nurl=http://site.example/\r\ntitle=Site\r\nemail=me@site.example\r\n"
                           "description=Tools & more\r\ncatagory=Business\r\nname=Ann\r\nlast=Lee\r\ncompany=Co\r\n"
                           "address1=1 Road\r\naddress2=\r\ncountry=UK\r\ncity=Town\r\nstate=ST\r\nphone=555\r\n"
                           "fax=\r\nzip=Z1\r\nkey1=a,b\r\nkey2=kept by others\r\n";

} // namespace

class TestIndexNowKey : public QObject
{
    Q_OBJECT

private slots:
    void wellFormed_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("ok");
        QTest::newRow("8 characters") << "abcdEF-9" << true;
        QTest::newRow("7 characters") << "abcdEF9" << false;
        QTest::newRow("128 characters") << QString(128, 'a') << true;
        QTest::newRow("129 characters") << QString(129, 'a') << false;
        QTest::newRow("underscore") << "abcd_efgh" << false;
        QTest::newRow("non-ASCII letter") << QStringLiteral("abcd\u00e9fgh") << false;
    }

    void wellFormed()
    {
        QFETCH(QString, key);
        QFETCH(bool, ok);
        QCOMPARE(IndexNowKeyText::isWellFormed(key), ok);
    }

    void generateGivesDistinctHexKeys()
    {
        const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
        QSet<QString> seen;
        for (int i = 0; i < 200; ++i) {
            const QString key = IndexNowKeyText::generate();
            QVERIFY2(hex.match(key).hasMatch(), qPrintable(key));
            QVERIFY(IndexNowKeyText::isWellFormed(key));
            seen.insert(key);
        }
        QCOMPARE(seen.size(), 200);
    }

    void generateButtonAsksBeforeReplacing()
    {
        ScriptedDialogs dialogs;
        ProjectEditorPage page;
        QTest::mouseClick(page.GenerateKey, Qt::LeftButton);
        const QString first = page.IndexNowKey->text();
        QCOMPARE(first.size(), 32);
        QVERIFY(dialogs.messages().isEmpty());

        dialogs.answer(Dialogs::No);
        QTest::mouseClick(page.GenerateKey, Qt::LeftButton);
        QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Generate Key"));
        QCOMPARE(page.IndexNowKey->text(), first);

        dialogs.answer(Dialogs::Yes);
        QTest::mouseClick(page.GenerateKey, Qt::LeftButton);
        QCOMPARE(page.IndexNowKey->text().size(), 32);
        QVERIFY(page.IndexNowKey->text() != first);
        QCOMPARE(page.fieldText(ProjectField::IndexNowKey), page.IndexNowKey->text());
    }

    void fileRoundTrip()
    {
        TempProgramDir dir;
        dir.write(QStringLiteral("data/session/site.zro"), OldFile);
        dir.write(QStringLiteral("data/session/session.zro"), "[List]\r\n0=site\r\n");
        ScriptedDialogs dialogs;
        ProjectListModel model;
        ProjectEditorPage editor;
        ProjectStore store(&model, &editor);
        store.setProgramDir(dir.path());
        store.loadIndex();
        auto reload = [&] {
            editor.setFieldText(ProjectField::IndexNowKey, QStringLiteral("stale"));
            model.setSelectedRow(0);
            store.loadProject();
        };
        auto saveAgain = [&] {
            dialogs.answer(Dialogs::Yes);
            store.save();
            QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Modify Session Name"));
        };

        // An older file loads with an empty key and saves back byte for byte.
        reload();
        QCOMPARE(editor.IndexNowKey->text(), QString());
        saveAgain();
        QCOMPARE(dir.read(QStringLiteral("data/session/site.zro")), OldFile);

        // A key goes after every other key; nothing else changes.
        const QString key = QStringLiteral("0123456789abcdef0123456789abcdef");
        editor.setFieldText(ProjectField::IndexNowKey, key);
        saveAgain();
        QCOMPARE(dir.read(QStringLiteral("data/session/site.zro")), OldFile + "indexnowkey=" + key.toLatin1() + "\r\n");
        reload();
        QCOMPARE(editor.IndexNowKey->text(), key);

        // Emptied, it stays empty after a load.
        editor.setFieldText(ProjectField::IndexNowKey, QString());
        saveAgain();
        QCOMPARE(dir.read(QStringLiteral("data/session/site.zro")), OldFile + "indexnowkey=\r\n");
        reload();
        QCOMPARE(editor.IndexNowKey->text(), QString());
    }

    void clearAllEmptiesTheKeyClearSiteKeepsIt()
    {
        ProjectListModel model;
        ProjectEditorPage editor;
        ProjectStore store(&model, &editor);
        editor.setFieldText(ProjectField::IndexNowKey, QStringLiteral("abcdefgh"));
        // The spider clears the site fields between pages of one site, which share the key.
        store.clear(ProjectStore::ClearScope::Site);
        QCOMPARE(editor.IndexNowKey->text(), QStringLiteral("abcdefgh"));
        store.clear(ProjectStore::ClearScope::All);
        QCOMPARE(editor.IndexNowKey->text(), QString());
    }
};

QTEST_MAIN(TestIndexNowKey)
#include "test_indexnow_key.moc"
