#include "TProxyset.h"

#include "OwnerOnlyFile.h"

#include "settings/ProgramSettings.h"
#include "ui/ErrorReport.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLineEdit* makeEdit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

} // namespace

TProxyset::TProxyset(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Proxyset"));
    setWindowTitle(QStringLiteral("Proxy Settings"));

    RadioButton2 = new QRadioButton(QStringLiteral("I am behind a firewall or proxy"), this);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton3 = new QRadioButton(QStringLiteral("I am not behind a firewall or proxy"), this);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    RadioButton3->setChecked(true);

    HttpProxy = makeEdit("HttpProxy", this);
    HttpPort = makeEdit("HttpPort", this);
    HttpPort->setMaximumWidth(80);
    HttpPass = makeEdit("HttpPass", this);
    HttpPass->setEchoMode(QLineEdit::Password);
    HttpUsername = makeEdit("HttpUsername", this);

    Button1 = new QPushButton(QStringLiteral("Apply"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("Close"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button1, &QPushButton::clicked, this, [this] { runCommand(this, [this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &TProxyset::Button2Click);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Proxy:"), this), 0, 0);
    grid->addWidget(HttpProxy, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Port:"), this), 0, 2);
    grid->addWidget(HttpPort, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Username:"), this), 1, 0);
    grid->addWidget(HttpUsername, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Password:"), this), 1, 2);
    grid->addWidget(HttpPass, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RadioButton2);
    layout->addWidget(RadioButton3);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

ProxyValues TProxyset::values() const
{
    return {HttpProxy->text(), HttpPort->text(), HttpUsername->text(), HttpPass->text()};
}

void TProxyset::Button1Click()
{
    using Key = ProgramSettings::Key;
    ProgramSettings& s = settings();
    // A password must never be readable by other users, not even for a moment.
    if (!HttpPass->text().isEmpty())
        makeOwnerOnly(s.path());
    s.setValues({{Key::ProxyHost, HttpProxy->text()},
                 {Key::ProxyPassword, HttpPass->text()},
                 {Key::ProxyPort, HttpPort->text()},
                 {Key::ProxyUserName, HttpUsername->text()},
                 {Key::KeyProxy, RadioButton2->isChecked()}});
    ApplyProxySettings();
}

void TProxyset::Button2Click()
{
    close();
}

void TProxyset::ApplyProxySettings()
{
    using Key = ProgramSettings::Key;
    // Read from the file now, as the moments that call this expect.
    ProgramSettings& s = settings();
    s.reload();
    HttpProxy->setText(s.text(Key::ProxyHost));
    HttpPort->setText(s.text(Key::ProxyPort));
    HttpPass->setText(s.text(Key::ProxyPassword));
    HttpUsername->setText(s.text(Key::ProxyUserName));
    if (s.flag(Key::KeyProxy))
        RadioButton2->setChecked(true);
    else if (RadioButton2->isChecked())
        RadioButton3->setChecked(true);
    // Not behind a proxy: nothing changes, a proxy applied earlier stays in force.
    if (RadioButton2->isChecked())
        emit proxyApplied(values());
}
