#include "TLiveResult.h"

#include "settings/ProgramSettings.h"
#include "settings/SettingsKeys.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "settings/ProgramPaths.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace SK = SettingsKeys;

namespace {

QComboBox* countBox(const char* name, const QStringList& choices, int value, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->addItems(choices);
    box->setEditText(QString::number(value));
    return box;
}

QGroupBox* group(const QString& title, const QString& label, QComboBox* box, QWidget* parent)
{
    auto* g = new QGroupBox(title, parent);
    auto* row = new QHBoxLayout(g);
    row->addWidget(new QLabel(label, g));
    row->addWidget(box, 1);
    box->setParent(g);
    return g;
}

} // namespace

TLiveResult::TLiveResult(const QString& programDir, int timeout, int ports, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_programDir(programDir)
{
    setObjectName(QStringLiteral("LiveResult"));
    setWindowTitle(QStringLiteral("Submit Options"));

    TimeOuts = countBox("TimeOuts",
                        {QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("40"),
                         QStringLiteral("50"), QStringLiteral("60"), QStringLiteral("70"), QStringLiteral("80"),
                         QStringLiteral("90")},
                        timeout, this);
    Ports = countBox("Ports",
                     {QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"),
                      QStringLiteral("20"), QStringLiteral("25"), QStringLiteral("30"), QStringLiteral("35"),
                      QStringLiteral("40"), QStringLiteral("45"), QStringLiteral("50")},
                     ports, this);
    Button1 = new QPushButton(QStringLiteral("Apply"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("Close"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group(QStringLiteral("Timeout in sec"), QStringLiteral("Timeout"), TimeOuts, this));
    layout->addWidget(group(QStringLiteral("Submit on how many Ports"), QStringLiteral("Ports"), Ports, this));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    setFixedSize(185, 180);

    connect(Button1, &QPushButton::clicked, this, [this] { runCommand(this, [this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &TLiveResult::Button2Click);
}

bool TLiveResult::parseCount(const QString& text, int* value)
{
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok, 10);
    if (!ok || parsed < 1)
        return false;
    *value = parsed;
    return true;
}

void TLiveResult::Button1Click()
{
    // Both boxes are checked before anything is written: a bad value leaves
    // the file and the running values as they were.
    int timeout = 0;
    int ports = 0;
    if (!parseCount(TimeOuts->currentText(), &timeout)) {
        Dialogs::warning(this, QStringLiteral("Invalid Timeout"),
                         QStringLiteral("\"%1\" is not a valid Timeout.\n\rEnter a whole number of seconds, 1 or more.")
                             .arg(TimeOuts->currentText()));
        return;
    }
    if (!parseCount(Ports->currentText(), &ports)) {
        Dialogs::warning(this, QStringLiteral("Invalid Ports"),
                         QStringLiteral("\"%1\" is not a valid number of Ports.\n\rEnter a whole number, 1 or more.")
                             .arg(Ports->currentText()));
        return;
    }
    using Key = ProgramSettings::Key;
    m_settings.get(m_programDir).setValues({{Key::Timeout, timeout}, {Key::Ports, ports}});
    emit optionsApplied(timeout, ports);
}

void TLiveResult::Button2Click()
{
    close();
}
