#include "ProgressWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

namespace {

QLabel* makeLabel(const QString& objectName, const QString& text, int left, int top, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->move(left, top);
    label->setFixedHeight(13);
    label->adjustSize();
    return label;
}

} // namespace

ProgressWindow::ProgressWindow(const QString& caption, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (owner)
        setWindowIcon(owner->window()->windowIcon());
    setFixedSize(350, 85);

    EngineLabel = makeLabel(QStringLiteral("EngineLabel"), QStringLiteral("Engine: "), 10, 10, this);
    EngineName = makeLabel(QStringLiteral("EngineName"), QString(), 110, 10, this);
    CountLabel = makeLabel(QStringLiteral("CountLabel"), QStringLiteral("Count "), 10, 25, this);
    CountValue = makeLabel(QStringLiteral("CountValue"), QString(), 110, 25, this);

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setTextVisible(false);
    Gauge1->setGeometry(0, height() - 16, width(), 16);
    Gauge1->setRange(0, 1);
    Gauge1->setValue(0);
    QPalette gaugePalette = Gauge1->palette();
    gaugePalette.setColor(QPalette::Highlight, QColor(0, 0, 0x80));
    Gauge1->setPalette(gaugePalette);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void ProgressWindow::setMaximum(int maximum)
{
    Gauge1->setRange(0, qMax(1, maximum));
}

void ProgressWindow::setPosition(int position)
{
    Gauge1->setValue(qBound(Gauge1->minimum(), position, Gauge1->maximum()));
}

void ProgressWindow::showItem(const QString& name, int count)
{
    EngineName->setText(name);
    EngineName->adjustSize();
    CountValue->setText(QString::number(count));
    CountValue->adjustSize();
}
