#include "TReportsPage.h"

#include "ListFile.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsKeys.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "settings/ProgramPaths.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

namespace SK = SettingsKeys;

namespace {

const QString kEnabledText = QStringLiteral(
    "Reports are automatically generated each time a submission has completed. Changes to the Header, Footer "
    "and Title will take affect on the next submitted Project.");
const QString kDisabledText = QStringLiteral("Reporting feature is disabled");
// The form's own text, shown until the first click.
const QString kFormText = QStringLiteral(
    "Reports are automaticaly generated each time a submission has completed. Changes to the Header,Footer and "
    "Title will take affect on the next submitted Project.");

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TReportsPage::TReportsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ReportsPage"));

    GenReportCk = named(new QCheckBox(QStringLiteral("Generate Reports"), this), "GenReportCk");
    GenReportCk->setChecked(true);
    Label12 = named(new QLabel(kFormText, this), "Label12");
    Label12->setWordWrap(true);

    auto* options = new QGroupBox(QStringLiteral("Report Options"), this);
    HeaderCk = named(new QCheckBox(QStringLiteral("Header"), options), "HeaderCk");
    HeaderCk->setChecked(true);
    Header = named(new QLineEdit(options), "Header");
    SpeedButton1 = named(new QToolButton(options), "SpeedButton1");
    SpeedButton1->setText(QStringLiteral("..."));
    FooterCk = named(new QCheckBox(QStringLiteral("Footer"), options), "FooterCk");
    FooterCk->setChecked(true);
    Footer = named(new QLineEdit(options), "Footer");
    SpeedButton2 = named(new QToolButton(options), "SpeedButton2");
    SpeedButton2->setText(QStringLiteral("..."));
    TitleRepCk = named(new QCheckBox(QStringLiteral("Title"), options), "TitleRepCk");
    TitleRepCk->setChecked(true);
    TitleRep = named(new QLineEdit(QStringLiteral("Submission Results"), options), "TitleRep");

    auto* grid = new QGridLayout(options);
    grid->addWidget(HeaderCk, 0, 0);
    grid->addWidget(Header, 0, 1);
    grid->addWidget(SpeedButton1, 0, 2);
    grid->addWidget(FooterCk, 1, 0);
    grid->addWidget(Footer, 1, 1);
    grid->addWidget(SpeedButton2, 1, 2);
    grid->addWidget(TitleRepCk, 2, 0);
    grid->addWidget(TitleRep, 2, 1, 1, 2);

    Button13 = named(new QPushButton(QStringLiteral("Generate"), this), "Button13");
    Button14 = named(new QPushButton(QStringLiteral("Apply"), this), "Button14");

    FileListBox1 = named(new QListWidget(this), "FileListBox1");
    FileListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu2 = named(new QMenu(this), "PopupMenu2");
    QAction* view = PopupMenu2->addAction(QStringLiteral("View Report"));
    view->setObjectName(QStringLiteral("ViewReport1"));
    QAction* remove = PopupMenu2->addAction(QStringLiteral("Delete Report"));
    remove->setObjectName(QStringLiteral("DeleteReport1"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(GenReportCk, 0, 0);
    layout->addWidget(Label12, 1, 0);
    layout->addWidget(options, 2, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button13);
    buttons->addWidget(Button14);
    buttons->addStretch();
    layout->addLayout(buttons, 3, 0);
    layout->addWidget(new QLabel(QStringLiteral("Saved Reports:"), this), 0, 1);
    layout->addWidget(FileListBox1, 1, 1, 3, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);

    auto guarded = [this](void (TReportsPage::*slot)()) { return [this, slot] { runCommand(this, [this, slot] { (this->*slot)(); }); }; };
    connect(Button13, &QPushButton::clicked, this, guarded(&TReportsPage::Button13Click));
    connect(Button14, &QPushButton::clicked, this, guarded(&TReportsPage::Button14Click));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(&TReportsPage::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, guarded(&TReportsPage::SpeedButton2Click));
    connect(GenReportCk, &QCheckBox::clicked, this, guarded(&TReportsPage::GenReportCkClick));
    connect(view, &QAction::triggered, this, guarded(&TReportsPage::ViewReportClick));
    connect(remove, &QAction::triggered, this, guarded(&TReportsPage::DeleteReportClick));
    connect(FileListBox1, &QListWidget::itemDoubleClicked, this, guarded(&TReportsPage::ViewReportClick));
    connect(FileListBox1, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(FileListBox1->viewport()->mapToGlobal(pos)); });
}

void TReportsPage::setProgramDir(const QString& programDir, const QString& homeAddress)
{
    m_programDir = programDir;
    m_homeAddress = homeAddress;
    refreshList();
}

QString TReportsPage::reportsDir() const
{
    return programPath(m_programDir, QStringLiteral("\\reports"));
}

void TReportsPage::readSettings(const ProgramSettings& settings)
{
    using Key = ProgramSettings::Key;
    GenReportCk->setChecked(settings.flag(Key::GenReport));
    HeaderCk->setChecked(settings.flag(Key::HeaderCK));
    FooterCk->setChecked(settings.flag(Key::FooterCk));
    TitleRepCk->setChecked(settings.flag(Key::TitleCk));
    Header->setText(settings.text(Key::HeaderPath));
    Footer->setText(settings.text(Key::FooterPath));
    TitleRep->setText(settings.text(Key::TitleTxt));
}

ReportSettings TReportsPage::settings() const
{
    ReportSettings s;
    s.generate = GenReportCk->isChecked();
    s.header = HeaderCk->isChecked();
    s.footer = FooterCk->isChecked();
    s.title = TitleRepCk->isChecked();
    s.headerPath = Header->text();
    s.footerPath = Footer->text();
    s.titleText = TitleRep->text();
    return s;
}

QString TReportsPage::writePage(const ReportContent& content, const QString& fileName)
{
    const ReportWriter::Page page = ReportWriter::build(settings(), content, m_homeAddress);
    // The boxes come in the order the page is read: header, then footer.
    if (page.headerMissing)
        Dialogs::message(this, QStringLiteral("No header Found!"),
                         QStringLiteral("Could not find header, Please Reload header"), Dialogs::Icon::None,
                         Dialogs::Ok);
    if (page.footerMissing)
        Dialogs::message(this, QStringLiteral("No Footer Found!"),
                         QStringLiteral("Could not find Footer, Please Reload Footer"), Dialogs::Icon::None,
                         Dialogs::Ok);
    const QString path = QDir(reportsDir()).filePath(fileName);
    // A Project name from a hand-edited index must not steer the report out
    // of the reports folder.
    if (!ReportWriter::isDirectlyInside(reportsDir(), path))
        throw ListFileError::writeFailure(path);
    SaveListToFile(page.lines, path);
    return path;
}

QString TReportsPage::writeAutomaticReport(const ReportContent& content, const QDate& date, const QLocale& locale)
{
    const QString path = writePage(content, ReportWriter::datedFileName(content.projectName, date, locale));
    refreshList();
    return path;
}

QString TReportsPage::writePreview()
{
    const QString path = writePage(m_source ? m_source() : ReportContent{},
                                   QString::fromLatin1(ReportWriter::PreviewFileName));
    refreshList();
    Dialogs::openUrl(QUrl::fromLocalFile(path));
    return path;
}

void TReportsPage::refreshList()
{
    const QString current = selectedReport();
    FileListBox1->clear();
    const QStringList files = QDir(reportsDir()).entryList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
    FileListBox1->addItems(files);
    const QList<QListWidgetItem*> again = FileListBox1->findItems(current, Qt::MatchExactly);
    if (!again.isEmpty())
        FileListBox1->setCurrentItem(again.first());
}

QString TReportsPage::selectedReport() const
{
    const QListWidgetItem* item = FileListBox1->currentItem();
    return item ? item->text() : QString();
}

void TReportsPage::Button13Click()
{
    emit showRequested();
    writePreview();
}

void TReportsPage::Button14Click()
{
    emit showRequested();
    using Key = ProgramSettings::Key;
    // One replacement of the file, in the order key-by-key writes would leave.
    m_settings.get(m_programDir)
        .setValues({{Key::GenReport, GenReportCk->isChecked()},
                    {Key::HeaderCK, HeaderCk->isChecked()},
                    {Key::FooterCk, FooterCk->isChecked()},
                    {Key::TitleCk, TitleRepCk->isChecked()},
                    {Key::HeaderPath, Header->text()},
                    {Key::FooterPath, Footer->text()},
                    {Key::TitleTxt, TitleRep->text()}});
}

QString TReportsPage::chooseDocument()
{
    return Dialogs::openFileName(this, QStringLiteral("Header Document"), m_programDir,
                                 QStringLiteral("Html Document (*.htm *.html);;*.htm *.html (*.htm *.html)"));
}

void TReportsPage::SpeedButton1Click()
{
    const QString path = chooseDocument();
    if (!path.isEmpty())
        Header->setText(path);
}

void TReportsPage::SpeedButton2Click()
{
    const QString path = chooseDocument();
    if (!path.isEmpty())
        Footer->setText(path);
}

void TReportsPage::GenReportCkClick()
{
    Label12->setText(GenReportCk->isChecked() ? kEnabledText : kDisabledText);
}

void TReportsPage::ViewReportClick()
{
    const QString name = selectedReport();
    if (!name.isEmpty())
        Dialogs::openUrl(QUrl::fromLocalFile(QDir(reportsDir()).filePath(name)));
}

void TReportsPage::DeleteReportClick()
{
    const QString name = selectedReport();
    if (name.isEmpty())
        return;
    if (QFile::remove(QDir(reportsDir()).filePath(name)))
        refreshList();
}
