#include "TLiveResult.h"

TLiveResult::TLiveResult(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("LiveResult"));
    setWindowTitle(QStringLiteral("Submit Options"));
}
