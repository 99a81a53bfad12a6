#pragma once

#include <QImage>
#include <QStyledItemDelegate>

#include <functional>

class QTextDocument;

// Paints a cell's text as a small piece of HTML: an IMG whose src is "idx:N"
// draws image N of the view's image list, b is bold, and an a with an href
// is a link; a click on a link emits linkActivated with its address.
class HtmlCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using ImageList = std::function<QImage(int)>;

    explicit HtmlCellDelegate(ImageList images, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The address of the link at pos (relative to the cell's top left); empty when none is there.
    QString linkAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& pos) const;

signals:
    void linkActivated(const QString& address);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    void layOut(QTextDocument& doc, const QStyleOptionViewItem& option, const QString& html) const;
    // Fills opt from the index, lays the cell's HTML out in doc and returns where the document's top left goes.
    QPoint prepare(QTextDocument& doc, QStyleOptionViewItem& opt, const QModelIndex& index) const;

    ImageList m_images;
};
