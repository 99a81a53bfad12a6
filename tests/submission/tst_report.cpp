#include "app/TSubmitMain.h"
#include "settings/IniFile.h"
#include "submission/ReportWriter.h"
#include "submission/TLiveResult.h"
#include "submission/TReportsPage.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

const QStringList kTitleBlock{
    QStringLiteral("<BLOCKQUOTE><P ALIGN=\"center\"><B><FONT SIZE=\"5\" COLOR=\"#00779E\">"),
    QStringLiteral("Submission Results"),
    QStringLiteral("</FONT><FONT COLOR=\"#2400AA\" SIZE=\"5\"><BR>"),
    QStringLiteral("<A HREF=\"http://home.example\" TARGET=\"_top\"></A><BR>"),
    QStringLiteral("</FONT></B><FONT SIZE=\"3\" COLOR=\"#00639D\"></FONT></P> </BLOCKQUOTE>"),
};

const QStringList kTableHead{
    QStringLiteral("<table border=\"1\" cellspacing=\"0\" width=\"100%\">"),
    QStringLiteral("<tr><td BGCOLOR=\"#C0C0C0\"><B>Engine</B></td>"),
    QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>URL</B></td>"),
    QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>Result</B></td>"),
    QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>Date</B></td>"),
    QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>Type</B></td></tr>"),
};

QString heading(const QString& url, const QString& name)
{
    return QStringLiteral("<center><b><FONT SIZE=\"5\" COLOR=\"#00779E\">") + url + QStringLiteral(" (") + name +
           QStringLiteral(")</font></b></center><br>");
}

ReportSettings allOff()
{
    ReportSettings s;
    s.header = s.footer = s.title = false;
    return s;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void fullPage();
    void allOptionsOffStartsWithHeading();
    void noRowsBeforeAnyRun();
    void valuesGoInUnescaped();
    void missingDocuments_data();
    void missingDocuments();
    void datedFileName_data();
    void datedFileName();
    void automaticReportOverwritesSameDay();
    void previewWritesSampleAndOpensIt();
    void applyStoresSevenKeysInOrder();
    void freshInstallShowsDefaults();
    void explanationText();
    void chooseHeaderAndFooter();
    void deleteReport();
    void submitOptionsApply_data();
    void submitOptionsApply();
};

void TestReport::fullPage()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("head.htm"), "<html><body>\r\n<h1>Mine</h1>\r\n");
    dir.write(QStringLiteral("foot.htm"), "</body></html>");
    ReportSettings s;
    s.headerPath = dir.filePath(QStringLiteral("head.htm"));
    s.footerPath = dir.filePath(QStringLiteral("foot.htm"));
    s.titleText = QStringLiteral("Submission Results");
    ReportContent content{QStringLiteral("mysite"), QStringLiteral("http://my.example"),
                          {{QStringLiteral("Engine A"), QStringLiteral("http://a.example"), QStringLiteral("OK"),
                            QStringLiteral("12/6/26 10:00:00 AM"), QStringLiteral("SEARCH")}}};

    const ReportWriter::Page page = ReportWriter::build(s, content, QStringLiteral("http://home.example"));
    QVERIFY(!page.headerMissing);
    QVERIFY(!page.footerMissing);
    QStringList expected{QStringLiteral("<html><body>"), QStringLiteral("<h1>Mine</h1>")};
    expected += kTitleBlock;
    expected << heading(QStringLiteral("http://my.example"), QStringLiteral("mysite"));
    expected += kTableHead;
    expected << QStringLiteral("<tr><td>Engine A&nbsp;</td>")
             << QStringLiteral("<td><A HREF=http://a.example>http://a.example</A>&nbsp;</td>")
             << QStringLiteral("<td>OK&nbsp;</td>") << QStringLiteral("<td>12/6/26 10:00:00 AM&nbsp;</td>")
             << QStringLiteral("<td>SEARCH&nbsp;</td></tr>") << QStringLiteral("</table>")
             << QStringLiteral("</body></html>");
    QCOMPARE(page.lines, expected);
}

void TestReport::allOptionsOffStartsWithHeading()
{
    const ReportWriter::Page page =
        ReportWriter::build(allOff(), {QStringLiteral("p"), QStringLiteral("u"), {}}, QString());
    QCOMPARE(page.lines.first(), heading(QStringLiteral("u"), QStringLiteral("p")));
    QCOMPARE(page.lines.size(), 1 + kTableHead.size() + 1);
    QCOMPARE(page.lines.last(), QStringLiteral("</table>"));
}

void TestReport::noRowsBeforeAnyRun()
{
    ReportSettings s = allOff();
    s.title = true;
    s.titleText = QStringLiteral("Submission Results");
    const ReportWriter::Page page = ReportWriter::build(s, {}, QStringLiteral("http://home.example"));
    QStringList expected = kTitleBlock;
    expected << heading(QString(), QString());
    expected += kTableHead;
    expected << QStringLiteral("</table>");
    QCOMPARE(page.lines, expected);
    QVERIFY(page.lines.at(kTitleBlock.size()).contains(QStringLiteral("> ()<")));
}

void TestReport::valuesGoInUnescaped()
{
    ReportContent content{QStringLiteral("a&b"), QStringLiteral("http://x/?a=1&b=<2>"),
                          {{QStringLiteral("<i>E</i>"), QStringLiteral("http://e/?q=1&r=2"),
                            QStringLiteral("Bad <Gateway> & more"), QString(), QStringLiteral("FFA")}}};
    const QStringList lines = ReportWriter::build(allOff(), content, QString()).lines;
    QVERIFY(lines.contains(QStringLiteral("<tr><td><i>E</i>&nbsp;</td>")));
    QVERIFY(lines.contains(QStringLiteral("<td><A HREF=http://e/?q=1&r=2>http://e/?q=1&r=2</A>&nbsp;</td>")));
    QVERIFY(lines.contains(QStringLiteral("<td>Bad <Gateway> & more&nbsp;</td>")));
    QVERIFY(lines.contains(QStringLiteral("<td>&nbsp;</td>")));
    QCOMPARE(lines.first(), heading(QStringLiteral("http://x/?a=1&b=<2>"), QStringLiteral("a&b")));
}

void TestReport::missingDocuments_data()
{
    QTest::addColumn<QString>("headerPath");
    QTest::addColumn<QString>("footerPath");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("default paths") << QStringLiteral("error") << QStringLiteral("error")
                                   << QStringList{QStringLiteral("No header Found!"), QStringLiteral("No Footer Found!")};
    QTest::newRow("empty header") << QString() << QStringLiteral("foot.htm")
                                  << QStringList{QStringLiteral("No header Found!")};
    QTest::newRow("missing footer") << QStringLiteral("head.htm") << QStringLiteral("nothere.htm")
                                    << QStringList{QStringLiteral("No Footer Found!")};
    QTest::newRow("directory as header") << QStringLiteral("reports") << QStringLiteral("foot.htm")
                                         << QStringList{QStringLiteral("No header Found!")};
}

void TestReport::missingDocuments()
{
    QFETCH(QString, headerPath);
    QFETCH(QString, footerPath);
    QFETCH(QStringList, captions);
    TempProgramDir dir;
    dir.write(QStringLiteral("head.htm"), "HEAD\r\n");
    dir.write(QStringLiteral("foot.htm"), "FOOT\r\n");
    ScriptedDialogs dialogs;
    TReportsPage page;
    page.setProgramDir(dir.path(), QString());
    page.HeaderCk->setChecked(true);
    page.FooterCk->setChecked(true);
    page.TitleRepCk->setChecked(false);
    page.Header->setText(headerPath);
    page.Footer->setText(footerPath);
    const QString path =
        page.writeAutomaticReport({QStringLiteral("p"), QString(), {}}, QDate(2026, 12, 6), QLocale::c());

    QStringList shown;
    for (const auto& call : dialogs.messages()) {
        shown << call.caption;
        QCOMPARE(call.icon, Dialogs::Icon::None);
        QCOMPARE(call.buttons, int(Dialogs::Ok));
        QVERIFY(call.text == QStringLiteral("Could not find header, Please Reload header") ||
                call.text == QStringLiteral("Could not find Footer, Please Reload Footer"));
    }
    QCOMPARE(shown, captions);
    // The report is still written, without the missing part.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.startsWith("HEAD\r\n"), !captions.contains(QStringLiteral("No header Found!")));
    QCOMPARE(bytes.endsWith("</table>\r\nFOOT\r\n"), !captions.contains(QStringLiteral("No Footer Found!")));
    QVERIFY(bytes.contains("</table>\r\n"));
}

void TestReport::datedFileName_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << QStringLiteral("mysite12-6-26.htm");
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << QStringLiteral("mysite06.12.26.htm");
    QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                           << QStringLiteral("mysite06-12-2026.htm");
}

void TestReport::datedFileName()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(ReportWriter::datedFileName(QStringLiteral("mysite"), QDate(2026, 12, 6), locale), expected);
}

void TestReport::automaticReportOverwritesSameDay()
{
    TempProgramDir dir;
    TReportsPage page;
    page.setProgramDir(dir.path(), QString());
    page.HeaderCk->setChecked(false);
    page.FooterCk->setChecked(false);
    page.TitleRepCk->setChecked(false);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    ReportContent first{QStringLiteral("mysite"), QStringLiteral("first"), {}};
    ReportContent second{QStringLiteral("mysite"), QStringLiteral("second"), {}};
    const QString a = page.writeAutomaticReport(first, QDate(2026, 12, 6), us);
    const QString b = page.writeAutomaticReport(second, QDate(2026, 12, 6), us);
    QCOMPARE(a, b);
    QCOMPARE(a, dir.filePath(QStringLiteral("reports/mysite12-6-26.htm")));
    QVERIFY(dir.read(QStringLiteral("reports/mysite12-6-26.htm")).startsWith(heading(QStringLiteral("second"),
                                                                                        QStringLiteral("mysite"))
                                                                                    .toUtf8() +
                                                                                "\r\n"));
    QCOMPARE(page.FileListBox1->count(), 1);
    QCOMPARE(page.FileListBox1->item(0)->text(), QStringLiteral("mysite12-6-26.htm"));
}

void TestReport::previewWritesSampleAndOpensIt()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("reports/old.htm"), "x");
    dir.write(QStringLiteral("reports/notes.txt"), "x");
    ScriptedDialogs dialogs;
    TSubmitMain window;
    window.ReportsPage->HeaderCk->setChecked(false);
    window.ReportsPage->FooterCk->setChecked(false);
    window.ReportsPage->setContentSource([] {
        return ReportContent{QStringLiteral("p"), QStringLiteral("http://p"),
                             {{QStringLiteral("E"), QStringLiteral("u"), QStringLiteral("OK"), QStringLiteral("d"),
                               QStringLiteral("t")}}};
    });

    // The menu's "Preview" leaves the page where it is; "Generate" brings it forward.
    window.showPage(TSubmitMain::Page::Submit);
    window.findChild<QAction*>(QStringLiteral("PreviewReport1"))->trigger();
    QCOMPARE(window.currentPage(), TSubmitMain::Page::Submit);
    QCOMPARE(dialogs.calls().last().kind, ScriptedDialogs::Call::OpenUrl);
    QCOMPARE(dialogs.calls().last().url, QUrl::fromLocalFile(dir.filePath(QStringLiteral("reports/sample2.htm"))));
    QVERIFY(dir.read(QStringLiteral("reports/sample2.htm")).contains("<tr><td>E&nbsp;</td>\r\n"));

    QTest::mouseClick(window.ReportsPage->Button13, Qt::LeftButton);
    QCOMPARE(window.currentPage(), TSubmitMain::Page::Reports);
    QStringList listed;
    for (int i = 0; i < window.ReportsPage->FileListBox1->count(); ++i)
        listed << window.ReportsPage->FileListBox1->item(i)->text();
    // Only the preview and the old report: no dated report, no other files.
    QCOMPARE(listed, QStringList({QStringLiteral("old.htm"), QStringLiteral("sample2.htm")}));
}

void TestReport::applyStoresSevenKeysInOrder()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\n");
    TSubmitMain window;
    window.ReportsPage->HeaderCk->setChecked(false);
    window.ReportsPage->Header->setText(QStringLiteral("/h.htm"));
    window.ReportsPage->Footer->setText(QStringLiteral("/f.htm"));
    window.ReportsPage->TitleRep->setText(QStringLiteral("My Results"));
    window.findChild<QAction*>(QStringLiteral("Apply1"))->trigger();
    QCOMPARE(window.currentPage(), TSubmitMain::Page::Reports);
    QCOMPARE(dir.read(QStringLiteral("dfd.ini")),
             QByteArray("[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\n[Reports]\r\nGenReport=1\r\nHeaderCK=0\r\n"
                        "FooterCk=1\r\nTitleCk=1\r\nHeaderPath=/h.htm\r\nFooterPath=/f.htm\r\nTitleTxt=My Results\r\n"));

    // What Apply stored is what the next start-up shows.
    TSubmitMain again;
    QVERIFY(!again.ReportsPage->HeaderCk->isChecked());
    QCOMPARE(again.ReportsPage->TitleRep->text(), QStringLiteral("My Results"));
}

void TestReport::freshInstallShowsDefaults()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[Reports]\r\nTitleTxt=\"Quoted Title\"\r\nGenReport=yes\r\n");
    TSubmitMain window;
    TReportsPage* page = window.ReportsPage;
    QVERIFY(page->GenReportCk->isChecked());
    QVERIFY(page->HeaderCk->isChecked());
    QVERIFY(page->FooterCk->isChecked());
    QVERIFY(page->TitleRepCk->isChecked());
    QCOMPARE(page->Header->text(), QStringLiteral("error"));
    QCOMPARE(page->Footer->text(), QStringLiteral("error"));
    QCOMPARE(page->TitleRep->text(), QStringLiteral("Quoted Title"));
    QCOMPARE(window.ports(), 10);
    QCOMPARE(window.timeout(), 40);
    QCOMPARE(window.LiveResult->Ports->currentText(), QStringLiteral("10"));
    QCOMPARE(window.LiveResult->TimeOuts->currentText(), QStringLiteral("40"));
}

void TestReport::explanationText()
{
    TempProgramDir dir;
    TReportsPage page;
    QVERIFY(page.Label12->text().startsWith(QStringLiteral("Reports are automaticaly generated")));
    QTest::mouseClick(page.GenReportCk, Qt::LeftButton);
    QVERIFY(!page.GenReportCk->isChecked());
    QCOMPARE(page.Label12->text(), QStringLiteral("Reporting feature is disabled"));
    QTest::mouseClick(page.GenReportCk, Qt::LeftButton);
    QCOMPARE(page.Label12->text(),
             QStringLiteral("Reports are automatically generated each time a submission has completed. Changes to "
                            "the Header, Footer and Title will take affect on the next submitted Project."));
}

void TestReport::chooseHeaderAndFooter()
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    TReportsPage page;
    page.setProgramDir(dir.path(), QString());
    page.Header->setText(QStringLiteral("old"));
    dialogs.answerFile(QStringLiteral("/docs/head.html"));
    QTest::mouseClick(page.SpeedButton1, Qt::LeftButton);
    QCOMPARE(page.Header->text(), QStringLiteral("/docs/head.html"));
    dialogs.answerFile(QString()); // cancelled
    QTest::mouseClick(page.SpeedButton1, Qt::LeftButton);
    QCOMPARE(page.Header->text(), QStringLiteral("/docs/head.html"));
    dialogs.answerFile(QStringLiteral("/docs/foot.htm"));
    QTest::mouseClick(page.SpeedButton2, Qt::LeftButton);
    QCOMPARE(page.Footer->text(), QStringLiteral("/docs/foot.htm"));
    for (const auto& call : dialogs.calls()) {
        QCOMPARE(call.kind, ScriptedDialogs::Call::OpenFile);
        QCOMPARE(call.caption, QStringLiteral("Header Document"));
    }
}

void TestReport::deleteReport()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("reports/a.htm"), "a");
    dir.write(QStringLiteral("reports/b.htm"), "b");
    ScriptedDialogs dialogs;
    TReportsPage page;
    page.setProgramDir(dir.path(), QString());
    QCOMPARE(page.FileListBox1->count(), 2);
    // Nothing selected: nothing happens.
    page.FileListBox1->setCurrentItem(nullptr);
    page.DeleteReportClick();
    QCOMPARE(page.FileListBox1->count(), 2);

    page.FileListBox1->setCurrentRow(0);
    page.ViewReportClick();
    QCOMPARE(dialogs.calls().last().url, QUrl::fromLocalFile(dir.filePath(QStringLiteral("reports/a.htm"))));
    page.DeleteReportClick();
    QVERIFY(!dir.exists(QStringLiteral("reports/a.htm")));
    QCOMPARE(page.FileListBox1->count(), 1);
    QCOMPARE(page.FileListBox1->item(0)->text(), QStringLiteral("b.htm"));
    QVERIFY(dialogs.messages().isEmpty());
}

void TestReport::submitOptionsApply_data()
{
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<QString>("ports");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("caption");
    QTest::newRow("choices") << QStringLiteral("10") << QStringLiteral("5") << true << QString();
    QTest::newRow("typed values") << QStringLiteral(" 15 ") << QStringLiteral("200") << true << QString();
    QTest::newRow("zero ports") << QStringLiteral("10") << QStringLiteral("0") << false << QStringLiteral("Invalid Ports");
    QTest::newRow("negative timeout") << QStringLiteral("-1") << QStringLiteral("5") << false
                                      << QStringLiteral("Invalid Timeout");
    QTest::newRow("letters") << QStringLiteral("abc") << QStringLiteral("5") << false
                             << QStringLiteral("Invalid Timeout");
    QTest::newRow("fraction ports") << QStringLiteral("10") << QStringLiteral("2.5") << false
                                    << QStringLiteral("Invalid Ports");
    QTest::newRow("empty ports") << QStringLiteral("10") << QString() << false << QStringLiteral("Invalid Ports");
}

void TestReport::submitOptionsApply()
{
    QFETCH(QString, timeout);
    QFETCH(QString, ports);
    QFETCH(bool, accepted);
    QFETCH(QString, caption);
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[SubOptions]\r\nPorts=20\r\nTimeout=30\r\n");
    ScriptedDialogs dialogs;
    TSubmitMain window;
    TLiveResult* options = window.LiveResult;
    QCOMPARE(options->windowTitle(), QStringLiteral("Submit Options"));
    QCOMPARE(options->size(), QSize(185, 180));
    options->TimeOuts->setEditText(timeout);
    options->Ports->setEditText(ports);
    QTest::mouseClick(options->Button1, Qt::LeftButton);

    if (accepted) {
        QVERIFY(dialogs.messages().isEmpty());
        QCOMPARE(dir.read(QStringLiteral("dfd.ini")), QByteArray("[SubOptions]\r\nPorts=") +
                                                            ports.trimmed().toLatin1() + "\r\nTimeout=" +
                                                            timeout.trimmed().toLatin1() + "\r\n");
        QCOMPARE(window.ports(), ports.trimmed().toInt());
        QCOMPARE(window.timeout(), timeout.trimmed().toInt());
    } else {
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.lastMessage().caption, caption);
        QCOMPARE(dialogs.lastMessage().icon, Dialogs::Icon::Warning);
        QCOMPARE(dir.read(QStringLiteral("dfd.ini")), QByteArray("[SubOptions]\r\nPorts=20\r\nTimeout=30\r\n"));
        QCOMPARE(window.ports(), 20);
        QCOMPARE(window.timeout(), 30);
    }
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
