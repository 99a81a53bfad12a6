#pragma once

#include <QWidget>

// The site spider's window: crawls a site breadth-first and saves one
// Project per page. Stays on top of the main window.
class TSpider : public QWidget
{
    Q_OBJECT

public:
    explicit TSpider(QWidget* parent = nullptr);
};
