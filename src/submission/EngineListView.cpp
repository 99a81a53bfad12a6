#include "EngineListView.h"

#include "ui/RepaintPacer.h"

#include <QAccessible>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Mouse clicks on the check box are the view's to handle (the check area
// rule); the keyboard still toggles through the usual delegate path.
class CheckDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return false;
        default:
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        }
    }
};

} // namespace

EngineListView::EngineListView(QWidget* parent)
    : QTableView(parent), m_repaint(new RepaintPacer(viewport(), [this] {
          viewport()->update(m_dirty);
          m_dirty = QRect();
      }))
{
    setItemDelegate(new CheckDelegate(this));
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    // Fixed row heights keep 100,000 rows cheap to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
}

void EngineListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    // During a run rows change hundreds of times a second; the model has the new state at once and
    // the rows are painted at most every 40 ms. Assistive tools still hear of each change.
    if (QAccessible::isActive() || !isVisible() || !topLeft.isValid() || !bottomRight.isValid()) {
        QTableView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const int top = rowViewportPosition(topLeft.row());
    const int bottom = rowViewportPosition(bottomRight.row()) + rowHeight(bottomRight.row());
    const QRect rows = QRect(0, top, viewport()->width(), bottom - top).intersected(viewport()->rect());
    if (rows.isEmpty())
        return; // out of sight: painted when scrolled to
    m_dirty |= rows;
    m_repaint->request();
}

void EngineListView::scrollContentsBy(int dx, int dy)
{
    // Rows waiting for their repaint move with the contents (dy may count rows, not pixels).
    const int before = verticalHeader()->offset();
    QTableView::scrollContentsBy(dx, dy);
    m_dirty.translate(0, before - verticalHeader()->offset());
}

bool EngineListView::holdsAddress(const QString& text)
{
    return text.contains(QLatin1String("://")) || text.contains(QLatin1String("mailto:"));
}

void EngineListView::mousePressEvent(QMouseEvent* event)
{
    m_pressed = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
}

void EngineListView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    const bool click = event->button() == Qt::LeftButton && index.isValid() && index == m_pressed;
    m_pressed = QPersistentModelIndex();
    QTableView::mouseReleaseEvent(event);
    if (!click)
        return;
    if (m_checkArea > 0 && pos.x() - visualRect(index.siblingAtColumn(0)).left() < m_checkArea) {
        emit checkAreaClicked(index.row());
        return;
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    if (holdsAddress(text))
        emit addressClicked(text);
}
