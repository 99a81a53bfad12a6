#pragma once

#include <QWidget>

// The "Proxy Settings" window.
class TProxyset : public QWidget
{
    Q_OBJECT

public:
    explicit TProxyset(QWidget* parent = nullptr);
};
