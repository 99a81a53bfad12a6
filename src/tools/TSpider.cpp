#include "TSpider.h"

#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

TCLEDLabel* makeCounter(const QString& objectName, QWidget* parent)
{
    auto* led = new TCLEDLabel(5, parent);
    led->setObjectName(objectName);
    led->setText(QStringLiteral("0"));
    led->setFixedSize(70, 22);
    return led;
}

} // namespace

TSpider::TSpider(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Spider"));
    setWindowTitle(QStringLiteral("Spider"));

    GroupBox1 = new QGroupBox(QStringLiteral("Important"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = new QLabel(noteText(), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    (new QVBoxLayout(GroupBox1))->addWidget(Label1);

    Label2 = new QLabel(QStringLiteral("URL's Found"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    LedImp1 = makeCounter(QStringLiteral("LedImp1"), this);
    Label3 = new QLabel(QStringLiteral("URL's Spidered"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    LedImp2 = makeCounter(QStringLiteral("LedImp2"), this);

    Button1 = new QPushButton(QStringLiteral("Start Spider"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("Stop"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("Close"), this);
    Button3->setObjectName(QStringLiteral("Button3"));

    RobotsCk = new QCheckBox(QStringLiteral("Respect robots.txt"), this);
    RobotsCk->setObjectName(QStringLiteral("RobotsCk"));
    RobotsCk->setChecked(true);
    DelayEdit = new QSpinBox(this);
    DelayEdit->setObjectName(QStringLiteral("DelayEdit"));
    DelayEdit->setRange(0, 60000);
    DelayEdit->setSingleStep(100);
    DelayEdit->setSuffix(QStringLiteral(" ms"));
    DelayEdit->setToolTip(QStringLiteral("Pause between page requests; a larger Crawl-delay in robots.txt wins"));
    PageLimitEdit = new QSpinBox(this);
    PageLimitEdit->setObjectName(QStringLiteral("PageLimitEdit"));
    PageLimitEdit->setRange(0, 99999);
    PageLimitEdit->setSpecialValueText(QStringLiteral("no limit"));
    PageLimitEdit->setToolTip(QStringLiteral("Pages to fetch at most"));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    m_statusText = new QLabel(QStringLiteral("Idle"), StatusBar1);
    m_statusText->setObjectName(QStringLiteral("StatusText"));
    m_statusText->setMinimumWidth(50);
    StatusBar1->addWidget(m_statusText, 1);

    auto* counters = new QGridLayout;
    counters->addWidget(Label2, 0, 0);
    counters->addWidget(LedImp1, 0, 1);
    counters->addWidget(Label3, 1, 0);
    counters->addWidget(LedImp2, 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto* middle = new QHBoxLayout;
    middle->addLayout(counters);
    middle->addLayout(buttons);

    auto* manners = new QGridLayout;
    manners->addWidget(RobotsCk, 0, 0, 1, 4);
    manners->addWidget(new QLabel(QStringLiteral("Delay"), this), 1, 0);
    manners->addWidget(DelayEdit, 1, 1);
    manners->addWidget(new QLabel(QStringLiteral("Pages"), this), 1, 2);
    manners->addWidget(PageLimitEdit, 1, 3);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addWidget(GroupBox1);
    layout->addLayout(middle);
    layout->addLayout(manners);
    layout->addWidget(StatusBar1);
    setFixedSize(300, 290);

    connect(Button1, &QPushButton::clicked, this, &TSpider::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TSpider::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TSpider::Button3Click);
}

void TSpider::prepare()
{
    Button1->setEnabled(true);
    Button2->setEnabled(false);
    LedImp1->setText(QStringLiteral("0"));
    LedImp2->setText(QStringLiteral("0"));
    setStatus(QStringLiteral("Idle"));
}

void TSpider::setStatus(const QString& text)
{
    m_statusText->setText(text);
    emit statusChanged(text);
}

QString TSpider::status() const
{
    return m_statusText->text();
}

void TSpider::halt()
{
    Button1->setEnabled(false);
    Button2->setEnabled(false);
    setStatus(QStringLiteral("Idle"));
}

bool TSpider::respectRobots() const
{
    return RobotsCk->isChecked();
}

int TSpider::delayMs() const
{
    return DelayEdit->value();
}

int TSpider::pageLimit() const
{
    return PageLimitEdit->value();
}

void TSpider::Button1Click()
{
    emit startRequested();
}

void TSpider::Button2Click()
{
    halt();
    emit stopRequested();
}

void TSpider::Button3Click()
{
    Button2Click();
    close();
}

void TSpider::closeEvent(QCloseEvent* event)
{
    // Every close stops the crawl; the page being fetched is still saved when its request ends.
    halt();
    emit stopRequested();
    event->accept();
}
