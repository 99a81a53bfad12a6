#include "TUpdateBox.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TUpdateBox::TUpdateBox(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("UpdateBox"));
    setWindowTitle(QStringLiteral("Database Update"));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
}
