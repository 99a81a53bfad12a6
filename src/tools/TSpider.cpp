#include "TSpider.h"

TSpider::TSpider(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Spider"));
    setWindowTitle(QStringLiteral("Spider"));
}
