#include "MetaTagsPage.h"

#include "HeadInjection.h"
#include "ToolFiles.h"
#include "projects/FieldCounter.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QCheckBox* makeCheck(const QString& objectName, const QString& caption, bool checked, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(objectName);
    box->setChecked(checked);
    return box;
}

QLineEdit* makeEdit(const QString& objectName, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    return edit;
}

// A drop-down that takes typed text too; whatever text it holds is used.
QComboBox* makeChoice(const QString& objectName, const QStringList& items, const QString& initial, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setCurrentIndex(static_cast<int>(items.indexOf(initial)));
    box->setEditText(initial);
    return box;
}

} // namespace

MetaTagsPage::MetaTagsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MetaTagsPage"));

    TitleCk = makeCheck(QStringLiteral("TitleCk"), QStringLiteral("Title"), true, this);
    TitleCk->setToolTip(QStringLiteral("The title line is always written: a page's head needs its title."));
    TitleMet = makeEdit(QStringLiteral("TitleMet"), this);
    CLED1Met = FieldCounter::createLabel(QStringLiteral("CLED1Met"), this);
    DescriptionCk = makeCheck(QStringLiteral("DescriptionCk"), QStringLiteral("Description"), true, this);
    DescriptionMet = makeEdit(QStringLiteral("DescriptionMet"), this);
    CLED2Met = FieldCounter::createLabel(QStringLiteral("CLED2Met"), this);
    Key1Ck = makeCheck(QStringLiteral("Key1Ck"), QStringLiteral("Keywords"), true, this);
    Key1Met = makeEdit(QStringLiteral("Key1Met"), this);
    CLED3Met = FieldCounter::createLabel(QStringLiteral("CLED3Met"), this);
    AuthorCk = makeCheck(QStringLiteral("AuthorCk"), QStringLiteral("Author"), true, this);
    Author = makeEdit(QStringLiteral("Author"), this);
    CopyrightCk = makeCheck(QStringLiteral("CopyrightCk"), QStringLiteral("Copyright"), true, this);
    CopyRight = makeEdit(QStringLiteral("CopyRight"), this);
    DistCk = makeCheck(QStringLiteral("DistCk"), QStringLiteral("Distribution"), false, this);
    Distribution = makeChoice(QStringLiteral("Distribution"), {QStringLiteral("Global"), QStringLiteral("Local")},
                              QStringLiteral("Global"), this);
    RatingCk = makeCheck(QStringLiteral("RatingCk"), QStringLiteral("Rating"), false, this);
    Rating = makeChoice(QStringLiteral("Rating"),
                        {QStringLiteral("General"), QStringLiteral("Mature"), QStringLiteral("14 years"),
                         QStringLiteral("Restricted")},
                        QStringLiteral("General"), this);
    RobotsCk = makeCheck(QStringLiteral("RobotsCk"), QStringLiteral("Robots"), false, this);
    Robots = makeChoice(QStringLiteral("Robots"),
                        {QStringLiteral("NoIndex"), QStringLiteral("All"), QStringLiteral("Index"),
                         QStringLiteral("NoFollow")},
                        QStringLiteral("All"), this);
    RevisitCk = makeCheck(QStringLiteral("RevisitCk"), QStringLiteral("Revisit"), false, this);
    Revisit = makeChoice(QStringLiteral("Revisit"),
                         {QStringLiteral("7 Days"), QStringLiteral("14 Days"), QStringLiteral("30 Days"),
                          QStringLiteral("60 Days")},
                         QStringLiteral("14 Days"), this);
    OpenGraphCk = makeCheck(QStringLiteral("OpenGraphCk"), QStringLiteral("Open Graph"), false, this);
    OpenGraphCk->setToolTip(QStringLiteral("Adds og:title, og:description and og:url, read by link previews."));

    Button10 = new QPushButton(QStringLiteral("Generate"), this);
    Button10->setObjectName(QStringLiteral("Button10"));
    Button12 = new QPushButton(QStringLiteral("Apply"), this);
    Button12->setObjectName(QStringLiteral("Button12"));

    Viewer = new QPlainTextEdit(this);
    Viewer->setObjectName(QStringLiteral("Viewer"));
    Viewer->setLineWrapMode(QPlainTextEdit::NoWrap);
    Viewer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Viewer->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    for (TCLEDLabel* counter : {CLED1Met, CLED2Met, CLED3Met})
        counter->setFixedSize(60, 20);
    m_titleCounter = new FieldCounter(FieldCounter::Title, CLED1Met, this);
    m_descriptionCounter = new FieldCounter(FieldCounter::Description, CLED2Met, this);
    m_keywordCounter = new FieldCounter(FieldCounter::Keywords, CLED3Met, this);
    connect(TitleMet, &QLineEdit::textChanged, m_titleCounter, &FieldCounter::update);
    connect(DescriptionMet, &QLineEdit::textChanged, m_descriptionCounter, &FieldCounter::update);
    connect(Key1Met, &QLineEdit::textChanged, m_keywordCounter, &FieldCounter::update);

    auto* page = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    const std::tuple<QCheckBox*, QWidget*, QWidget*> rows[] = {
        {TitleCk, TitleMet, CLED1Met},
        {DescriptionCk, DescriptionMet, CLED2Met},
        {Key1Ck, Key1Met, CLED3Met},
        {AuthorCk, Author, nullptr},
        {CopyrightCk, CopyRight, nullptr},
    };
    int row = 0;
    for (const auto& [check, field, counter] : rows) {
        fields->addWidget(check, row, 0);
        fields->addWidget(field, row, 1, 1, counter ? 1 : 2);
        if (counter)
            fields->addWidget(counter, row, 2);
        ++row;
    }
    fields->setColumnStretch(1, 1);
    page->addLayout(fields);

    auto* choices = new QGridLayout;
    const std::pair<QCheckBox*, QComboBox*> choiceRows[] = {
        {DistCk, Distribution}, {RatingCk, Rating}, {RobotsCk, Robots}, {RevisitCk, Revisit}};
    int column = 0;
    for (const auto& [check, choice] : choiceRows) {
        choices->addWidget(check, 0, column);
        choices->addWidget(choice, 1, column);
        ++column;
    }
    page->addLayout(choices);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(OpenGraphCk);
    buttons->addStretch(1);
    buttons->addWidget(Button10);
    buttons->addWidget(Button12);
    page->addLayout(buttons);
    page->addWidget(Viewer, 1);

    connect(Button10, &QPushButton::clicked, this, [this] { runCommand(this, [this] { Button10Click(); }); });
    connect(Button12, &QPushButton::clicked, this, [this] { runCommand(this, [this] { Button12Click(); }); });
}

QString MetaTagsPage::dialogFilter()
{
    return QStringLiteral("Html Document (*.htm *.html);;*.htm *.html (*.htm *.html);;"
                          "*.shtm *.shtml (*.shtm *.shtml);;*.asp (*.asp);;All Files (*)");
}

QString MetaTagsPage::completeText(const QString& backupPath)
{
    return QStringLiteral("Your Injection Was Successful \r\nA Copy of your injected File Has been saved as \r\n") +
           backupPath;
}

MetaTagValues MetaTagsPage::values() const
{
    MetaTagValues v;
    v.title = TitleMet->text();
    v.description = DescriptionMet->text();
    v.keywords = Key1Met->text();
    v.author = Author->text();
    v.copyright = CopyRight->text();
    v.distribution = Distribution->currentText();
    v.rating = Rating->currentText();
    v.robots = Robots->currentText();
    v.revisit = Revisit->currentText();
    v.creator = m_appTitle;
    v.url = m_projectUrl;
    v.keywordsOn = Key1Ck->isChecked();
    v.descriptionOn = DescriptionCk->isChecked();
    v.authorOn = AuthorCk->isChecked();
    v.copyrightOn = CopyrightCk->isChecked();
    v.distributionOn = DistCk->isChecked();
    v.ratingOn = RatingCk->isChecked();
    v.robotsOn = RobotsCk->isChecked();
    v.revisitOn = RevisitCk->isChecked();
    v.openGraphOn = OpenGraphCk->isChecked();
    return v;
}

void MetaTagsPage::buildBlock()
{
    Viewer->setPlainText(buildMetaTagBlock(values()).join(QLatin1Char('\n')));
}

void MetaTagsPage::Button10Click()
{
    emit showRequested();
    buildBlock();
}

void MetaTagsPage::Button12Click()
{
    emit showRequested();
    buildBlock();
    const QString path = Dialogs::openFileName(window(), dialogCaption(), m_programDir, dialogFilter());
    if (path.isEmpty())
        return;
    injectInto(path);
}

void MetaTagsPage::injectInto(const QString& path)
{
    const QByteArray original = readFileBytes(path);
    // The backup holds the file exactly as it was, readable by no one more than
    // the file, and exists before any test.
    // The owner, group and other bits only: the "user" flags say what this process may do
    // (root may write anything), and Qt writes them as owner bits.
    const QFileDevice::Permissions permissions =
        QFileInfo(path).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    const QString backup = path + QStringLiteral(".bac");
    replaceFileBytes(backup, original, permissions);

    const QStringList block = Viewer->toPlainText().split(QLatin1Char('\n'));
    const HeadInjection injection = injectHeadBlock(original, block);
    if (!injection.injected) {
        Dialogs::notice(window(), incompleteCaption(), incompleteText());
        return;
    }
    Viewer->setPlainText(injection.insertedLines.join(QLatin1Char('\n')));
    // A page its owner has made read-only stays as it is.
    requireOwnerWritable(path);
    replaceFileBytes(path, injection.text, permissions);
    Dialogs::notice(window(), completeCaption(), completeText(backup));
}
