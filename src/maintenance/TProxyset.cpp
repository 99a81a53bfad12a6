#include "TProxyset.h"

TProxyset::TProxyset(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Proxyset"));
    setWindowTitle(QStringLiteral("Proxy Settings"));
}
