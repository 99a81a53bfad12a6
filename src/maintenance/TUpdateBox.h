#pragma once

#include <QWidget>

class QPlainTextEdit;

// The "Database Update" window, kept on top; its log reports every step.
class TUpdateBox : public QWidget
{
    Q_OBJECT

public:
    explicit TUpdateBox(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
};
