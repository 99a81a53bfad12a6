#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

class RepaintPacer;

// The list view of both engine tabs: grid lines, whole-row selection,
// read-only cells. A click on a cell holding an address ("://" or
// "mailto:") asks for it to be opened; with a check area set, a click
// within that many pixels of a row's left edge toggles the row's check box
// instead.
class EngineListView : public QTableView
{
    Q_OBJECT

public:
    explicit EngineListView(QWidget* parent = nullptr);

    void setCheckArea(int pixels) { m_checkArea = pixels; }
    int checkArea() const { return m_checkArea; }

    static bool holdsAddress(const QString& text);

signals:
    void checkAreaClicked(int row);
    void addressClicked(const QString& address);

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_checkArea = 0;
    QPersistentModelIndex m_pressed;
    QRect m_dirty; // rows changed since the last repaint, in viewport coordinates
    RepaintPacer* m_repaint;
};
