#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The small please-wait tool window of long list operations: the current
// engine name and count, and a navy gauge along the bottom.
class ProgressWindow : public QWidget
{
    Q_OBJECT

public:
    ProgressWindow(const QString& caption, QWidget* owner);

    void setMaximum(int maximum);
    void setPosition(int position);
    // The engine name and count shown.
    void showItem(const QString& name, int count);

    QLabel* EngineLabel = nullptr;
    QLabel* EngineName = nullptr;
    QLabel* CountLabel = nullptr;
    QLabel* CountValue = nullptr;
    QProgressBar* Gauge1 = nullptr;
};
