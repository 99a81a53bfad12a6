#include "TUpdateBox.h"

#include "OwnerOnlyFile.h"
#include "UpdateFraming.h"

#include "net/EHttpException.h"
#include "net/THttpCli.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsKeys.h"
#include "ui/ErrorReport.h"
#include "settings/ProgramPaths.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTemporaryFile>
#include <QVBoxLayout>

namespace SK = SettingsKeys;
namespace UF = UpdateFraming;

namespace {

// Marks an update as running for its whole life, errors included, and keeps
// "Get Database" disabled meanwhile.
class UpdateGuard
{
public:
    UpdateGuard(bool& flag, QPushButton* button) : m_flag(flag), m_button(button)
    {
        m_flag = true;
        m_button->setEnabled(false);
    }
    ~UpdateGuard()
    {
        m_flag = false;
        m_button->setEnabled(true);
    }
    UpdateGuard(const UpdateGuard&) = delete;
    UpdateGuard& operator=(const UpdateGuard&) = delete;

private:
    bool& m_flag;
    QPushButton* m_button;
};

} // namespace

TUpdateBox::TUpdateBox(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("UpdateBox"));
    setWindowTitle(QStringLiteral("Database Update"));

    InfoLabel = new QLabel(QStringLiteral("Status:"), this);
    InfoLabel->setObjectName(QStringLiteral("InfoLabel"));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // The service's login, stored in section "subscription" by "Get Database".
    UpdateUser = new QLineEdit(this);
    UpdateUser->setObjectName(QStringLiteral("UpdateUser"));
    UpdatePassword = new QLineEdit(this);
    UpdatePassword->setObjectName(QStringLiteral("UpdatePassword"));
    UpdatePassword->setEchoMode(QLineEdit::Password);

    Button1 = new QPushButton(QStringLiteral("Get Database"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    UpdateAbort = new QPushButton(QStringLiteral("Cancel"), this);
    UpdateAbort->setObjectName(QStringLiteral("UpdateAbort"));
    UpdateAbort->setEnabled(false);
    Button2 = new QPushButton(QStringLiteral("Close"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, [this] { runCommand(this, [this] { Button1Click(); }); });
    connect(UpdateAbort, &QPushButton::clicked, this, &TUpdateBox::UpdateAbortClick);
    connect(Button2, &QPushButton::clicked, this, &TUpdateBox::Button2Click);

    HttpCli2 = new THttpCli(this);
    HttpCli2->setObjectName(QStringLiteral("HttpCli2"));
    HttpCli2->setAgent(QStringLiteral("VantorUpdater"));
    connect(HttpCli2, &THttpCli::OnDocData, this, &TUpdateBox::HttpCli2DocData);

    auto* login = new QFormLayout;
    login->addRow(QStringLiteral("User name:"), UpdateUser);
    login->addRow(QStringLiteral("Password:"), UpdatePassword);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(UpdateAbort);
    buttons->addStretch(1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(InfoLabel);
    layout->addWidget(Memo1, 1);
    layout->addLayout(login);
    layout->addLayout(buttons);
    resize(420, 300);
}

void TUpdateBox::setLogin(const QString& user, const QString& password)
{
    UpdateUser->setText(user);
    UpdatePassword->setText(password);
}

QString TUpdateBox::updateServer()
{
    ProgramSettings& s = settings();
    s.reload();
    return s.text(ProgramSettings::Key::UpdateServer);
}

void TUpdateBox::storeLogin()
{
    using Key = ProgramSettings::Key;
    const QString user = UpdateUser->text();
    const QString password = UpdatePassword->text();
    ProgramSettings& s = settings();
    s.reload();
    if (s.text(Key::User) == user && s.text(Key::Pass) == password)
        return;
    // A password must never be readable by other users, not even for a moment.
    if (!password.isEmpty())
        makeOwnerOnly(s.path());
    s.setValues({{Key::User, user}, {Key::Pass, password}});
    emit loginStored(user, password);
}

void TUpdateBox::status(const QString& label, const QString& log)
{
    InfoLabel->setText(label);
    Memo1->appendPlainText(log);
}

void TUpdateBox::HttpCli2DocData()
{
    InfoLabel->setText(QStringLiteral("Status: ") + QString::number(HttpCli2->ReceivedBytes()));
    // A list past the cap is not wanted at all: the download ends here.
    if (!m_tooLarge && HttpCli2->ReceivedBytes() > UF::MaxListBytes) {
        m_tooLarge = true;
        HttpCli2->CancelRequest();
    }
}

std::optional<QStringList> TUpdateBox::framedList(QFile& file)
{
    if (!file.flush() || file.size() == 0)
        return std::nullopt;
    // Mapped, so only the lines between the marks are ever copied.
    if (uchar* bytes = file.map(0, file.size())) {
        std::optional<QStringList> list =
            UF::framedLines(QByteArrayView(reinterpret_cast<const char*>(bytes), file.size()));
        file.unmap(bytes);
        return list;
    }
    file.seek(0);
    return UF::framedLines(file.readAll());
}

void TUpdateBox::Button1Click()
{
    // The steps share the window's client and controls: one update at a time.
    if (m_updating)
        return;
    UpdateGuard guard(m_updating, Button1);
    storeLogin();
    const QString server = updateServer();
    const QString user = UpdateUser->text();
    const QString password = UpdatePassword->text();

    // Step 1.
    Memo1->clear();
    // Step 2.
    for (const UF::Step& step : UF::steps()) {
        // 2.1, 2.2. The download goes to a temporary file as it arrives, never into memory.
        QTemporaryFile stream;
        if (!stream.open()) {
            status(UF::failedLine(QStringLiteral("no temporary file: ") + stream.errorString()));
            if (step.filterAfter)
                emit engineFilterRequested();
            continue;
        }
        m_tooLarge = false;
        HttpCli2->setURL(UF::address(server, step.kind, user, password));
        HttpCli2->setReceiveStream(&stream);
        UpdateAbort->setEnabled(true);
        // 2.3.
        status(step.startLabel, step.startLog);
        // 2.4. A failed list gets one log line, whichever way it failed.
        bool failed = false;
        try {
            HttpCli2->RunGet();
        } catch (const EHttpException&) {
            failed = true;
        } catch (...) {
            UpdateAbort->setEnabled(false);
            HttpCli2->setReceiveStream(nullptr);
            throw;
        }
        // 2.5.
        UpdateAbort->setEnabled(false);
        HttpCli2->setReceiveStream(nullptr);
        if (m_tooLarge)
            status(UF::failedLine(QStringLiteral("list larger than 64 MB")));
        else if (failed)
            status(UF::failedLine(HttpCli2->ResponseCode(), HttpCli2->ResponseText()));
        else
            status(QStringLiteral("Status: Received ") + QString::number(stream.size()) + QStringLiteral(" bytes"));
        // 2.6, 2.7.
        if (m_tooLarge || failed) {
            // Reported above.
        } else if (HttpCli2->ResponseCode() != 200) {
            status(UF::failedLine(HttpCli2->ResponseCode(), HttpCli2->ResponseText()));
        } else {
            const std::optional<QStringList> list = framedList(stream);
            const UF::LineCheck check = list ? UF::checkLines(*list, step.rule) : UF::LineCheck();
            if (!list) {
                status(step.corrupt);
            } else if (check.refused()) {
                status(UF::refusedLine(step, check));
            } else {
                try {
                    UF::store(*list, programPath(m_programDir, step.target));
                    switch (step.reload) {
                    case UF::Reload::None:
                        break;
                    case UF::Reload::RankList:
                        emit rankListChanged();
                        break;
                    case UF::Reload::EngineDatabase:
                        emit engineDatabaseChanged();
                        break;
                    case UF::Reload::ManualEngines:
                        emit manualEnginesChanged();
                        break;
                    }
                    status(step.storedLabel, step.storedLog);
                } catch (const std::exception& e) {
                    // A list that cannot be written or reloaded fails its step only.
                    status(QStringLiteral("Status: ") + QString::fromUtf8(e.what()));
                }
            }
        }
        // 2.8.
        if (step.filterAfter)
            emit engineFilterRequested();
    }
    // Step 3.
    status(QStringLiteral("Database Updates Complete"));
}

void TUpdateBox::UpdateAbortClick()
{
    HttpCli2->CancelRequest();
}

void TUpdateBox::Button2Click()
{
    close();
}

void TUpdateBox::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Shown by the program, not restored from an icon.
    if (!event->spontaneous())
        FormShow();
}

void TUpdateBox::FormShow()
{
    Memo1->clear();
    if (m_engineCount && m_engineCount() > 9) {
        Memo1->appendPlainText(QStringLiteral("Click on \"Get Database\" to load the latest databases."));
        return;
    }
    Memo1->appendPlainText(QStringLiteral("Congratulations on your choice of a submission software"));
    Memo1->appendPlainText(QStringLiteral("The free engine database has not yet been installed!"));
    Memo1->appendPlainText(QStringLiteral("Click on \"Get Database\" to download and install it now!"));
}
