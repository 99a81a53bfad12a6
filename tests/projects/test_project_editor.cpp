#include "projects/ProjectEditorPage.h"
#include "ui/TCLEDLabel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestProjectEditor : public QObject
{
    Q_OBJECT

private slots:
    void fields_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("hint");
        const QString none;
        QTest::newRow("Session_Name") << "Session_Name"
                                      << "Project Name:" << 0 << none;
        QTest::newRow("urllist") << "urllist"
                                 << "URL:" << 100
                                 << QStringLiteral("Enter the URL that you want to submit. Example: ") +
                                        ProjectEditorPage::exampleAddress();
        QTest::newRow("title") << "title"
                               << "Title:" << 0 << "This is your sales pitch.";
        QTest::newRow("Description") << "Description"
                                     << "Description:" << 0 << "A detailed description about your product or services.";
        QTest::newRow("Key1") << "Key1"
                              << "Keywords:" << 0 << none;
        QTest::newRow("catagory") << "catagory"
                                  << "Category:" << 0 << "Secect a catagory that best describes your site.";
        QTest::newRow("name") << "name"
                              << "First Name:" << 60 << none;
        QTest::newRow("LastN") << "LastN"
                               << "Last Name:" << 60 << none;
        QTest::newRow("email") << "email"
                               << "Email:" << 60 << "Use a valid email address or some submissions will fail.";
        QTest::newRow("Company") << "Company"
                                 << "Company" << 60 << none;
        QTest::newRow("Address1") << "Address1"
                                  << "Address1" << 60 << none;
        QTest::newRow("Address2") << "Address2"
                                  << "Address2" << 60 << none;
        QTest::newRow("City") << "City"
                              << "City" << 60 << none;
        QTest::newRow("State") << "State"
                               << "State" << 60 << none;
        QTest::newRow("Country") << "Country"
                                 << "Country" << 60 << none;
        QTest::newRow("Zip") << "Zip"
                             << "Zip" << 60 << none;
        QTest::newRow("Phone") << "Phone"
                               << "Phone" << 60 << none;
        QTest::newRow("Fax") << "Fax"
                             << "Fax" << 60 << none;
    }

    void fields()
    {
        QFETCH(QString, objectName);
        QFETCH(QString, label);
        QFETCH(int, limit);
        QFETCH(QString, hint);
        ProjectEditorPage page;
        auto* field = page.findChild<QWidget*>(objectName);
        QVERIFY(field);
        QCOMPARE(field->toolTip(), hint);
        bool labelled = false;
        for (QLabel* l : page.findChildren<QLabel*>())
            labelled = labelled || (l->buddy() == field && l->text() == label);
        QVERIFY(labelled);
        auto* edit = qobject_cast<QLineEdit*>(field);
        if (!edit)
            return;
        page.show();
        edit->setFocus();
        const QString typed(limit > 0 ? limit + 5 : 300, 'x');
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text().size(), limit > 0 ? limit : 300);
        if (limit == 0)
            return;
        // A longer text put there by the program is kept whole.
        const QString loaded(limit + 20, 'y');
        edit->setText(loaded);
        QCOMPARE(edit->text(), loaded);
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClicks(edit, QStringLiteral("z"));
        QCOMPARE(edit->text(), loaded);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text().size(), limit + 19);
    }

    void tabOrder()
    {
        ProjectEditorPage page;
        const QStringList order = {"Session_Name", "urllist",  "title", "Description", "Key1",
                                   "catagory",     "name",     "LastN", "email",       "Company",
                                   "Address1",     "Address2", "City",  "State",       "Country",
                                   "Zip",          "Phone",    "Fax",   "SaveButton",  "ClearButton"};
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget* from = page.findChild<QWidget*>(order.at(i));
            QWidget* to = page.findChild<QWidget*>(order.at(i + 1));
            QVERIFY(from && to);
            QWidget* next = from->nextInFocusChain();
            // Skip the combo box's own line edit and the controls that take no focus.
            while (next && next != to && (next->parentWidget() == from || next->focusPolicy() == Qt::NoFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next ? next->objectName() : QString(), order.at(i + 1));
        }
    }

    void categories()
    {
        ProjectEditorPage page;
        QCOMPARE(page.catagory->count(), 31);
        QCOMPARE(page.catagory->itemText(0), QStringLiteral("Miscellaneous"));
        QCOMPARE(page.catagory->itemText(17), QStringLiteral("Miscellaneous"));
        QCOMPARE(page.catagory->itemText(1), QStringLiteral("Automotive"));
        QCOMPARE(page.catagory->itemText(30), QStringLiteral("Web_Stuff"));
        QCOMPARE(page.catagory->itemText(26), QStringLiteral("Sci-Tech"));
        QVERIFY(page.catagory->isEditable());
        QCOMPARE(page.fieldText(ProjectField::Category), QString());
        page.setFieldText(ProjectField::Category, QStringLiteral("My own"));
        QCOMPARE(page.fieldText(ProjectField::Category), QStringLiteral("My own"));
        QCOMPARE(page.catagory->count(), 31);
    }

    void copies_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("signal");
        QTest::newRow("url") << int(ProjectField::Url) << "urlChanged";
        QTest::newRow("title") << int(ProjectField::Title) << "titleChanged";
        QTest::newRow("description") << int(ProjectField::Description) << "descriptionChanged";
        QTest::newRow("keywords") << int(ProjectField::Keywords) << "keywordsChanged";
        QTest::newRow("company") << int(ProjectField::Company) << "companyChanged";
    }

    void copies()
    {
        QFETCH(int, field);
        QFETCH(QString, signal);
        ProjectEditorPage page;
        QSignalSpy url(&page, &ProjectEditorPage::urlChanged);
        QSignalSpy title(&page, &ProjectEditorPage::titleChanged);
        QSignalSpy description(&page, &ProjectEditorPage::descriptionChanged);
        QSignalSpy keywords(&page, &ProjectEditorPage::keywordsChanged);
        QSignalSpy company(&page, &ProjectEditorPage::companyChanged);
        QSignalSpy author(&page, &ProjectEditorPage::authorChanged);
        const QMap<QString, QSignalSpy*> spies = {{"urlChanged", &url},
                                                  {"titleChanged", &title},
                                                  {"descriptionChanged", &description},
                                                  {"keywordsChanged", &keywords},
                                                  {"companyChanged", &company}};
        page.setFieldText(ProjectField(field), QStringLiteral("a, b"));
        for (auto it = spies.begin(); it != spies.end(); ++it) {
            QCOMPARE(it.value()->count(), it.key() == signal ? 1 : 0);
            if (it.key() == signal)
                QCOMPARE(it.value()->at(0).at(0).toString(), QStringLiteral("a, b"));
        }
        QCOMPARE(author.count(), 0);
        // Typed text is copied too.
        auto* edit = qobject_cast<QLineEdit*>(page.fieldWidget(ProjectField(field)));
        page.show();
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("c"));
        QCOMPARE(spies.value(signal)->last().at(0).toString(), QStringLiteral("a, bc"));
    }

    void author()
    {
        ProjectEditorPage page;
        QSignalSpy author(&page, &ProjectEditorPage::authorChanged);
        page.setFieldText(ProjectField::LastName, QStringLiteral("Lee"));
        QCOMPARE(author.last().at(0).toString(), QStringLiteral(" Lee"));
        page.setFieldText(ProjectField::FirstName, QStringLiteral("Ann"));
        QCOMPARE(author.last().at(0).toString(), QStringLiteral("Ann Lee"));
        page.setFieldText(ProjectField::LastName, QString());
        QCOMPARE(author.last().at(0).toString(), QStringLiteral("Ann "));
        QCOMPARE(author.count(), 3);
    }

    void countersFollowTheirFields()
    {
        ProjectEditorPage page;
        for (TCLEDLabel* counter : {page.CLED2, page.CLED3, page.CLED4}) {
            QCOMPARE(counter->text(), QStringLiteral("0"));
            QCOMPARE(counter->digitCount(), 5);
        }
        page.setFieldText(ProjectField::Title, QString(61, 't'));
        page.setFieldText(ProjectField::Description, QString(250, 'd'));
        page.setFieldText(ProjectField::Keywords, QStringLiteral("a,b,"));
        QCOMPARE(page.CLED2->text(), QStringLiteral("61"));
        QCOMPARE(page.CLED2->borderColor(), QColor(0xFF, 0, 0));
        QCOMPARE(page.CLED3->text(), QStringLiteral("250"));
        QCOMPARE(page.CLED3->borderColor(), QColor(0, 0xFF, 0xFF));
        QCOMPARE(page.CLED4->text(), QStringLiteral("3"));
        page.show();
        page.title->setFocus();
        QTest::keyClick(page.title, Qt::Key_Backspace);
        QCOMPARE(page.CLED2->text(), QStringLiteral("60"));
        QCOMPARE(page.CLED2->borderColor(), QColor(0, 0xFF, 0xFF));
    }

    void buttons()
    {
        ProjectEditorPage page;
        QSignalSpy save(&page, &ProjectEditorPage::saveClicked);
        QSignalSpy clear(&page, &ProjectEditorPage::clearClicked);
        QCOMPARE(page.SaveButton->text(), QStringLiteral("Save"));
        QCOMPARE(page.ClearButton->text(), QStringLiteral("Clear"));
        page.SaveButton->click();
        QCOMPARE(save.count(), 1);
        QCOMPARE(clear.count(), 0);
        page.ClearButton->click();
        QCOMPARE(clear.count(), 1);
    }
};

QTEST_MAIN(TestProjectEditor)
#include "test_project_editor.moc"
