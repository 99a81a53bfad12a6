#include "HtmlCellDelegate.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTextDocument>

namespace {

constexpr int Margin = 2;

} // namespace

HtmlCellDelegate::HtmlCellDelegate(ImageList images, QObject* parent)
    : QStyledItemDelegate(parent), m_images(std::move(images))
{
}

void HtmlCellDelegate::layOut(QTextDocument& doc, const QStyleOptionViewItem& option, const QString& html) const
{
    doc.setDocumentMargin(Margin);
    doc.setDefaultFont(option.font);
    // Only the images the cell names are handed over; nothing is loaded from elsewhere.
    static const QRegularExpression idx(QStringLiteral("src\\s*=\\s*\"idx:(\\d+)\""),
                                        QRegularExpression::CaseInsensitiveOption);
    for (auto it = idx.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = QStringLiteral("idx:") + m.captured(1);
        const QImage image = m_images ? m_images(m.captured(1).toInt()) : QImage();
        if (!image.isNull())
            doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
    }
    doc.setHtml(html);
}

QPoint HtmlCellDelegate::prepare(QTextDocument& doc, QStyleOptionViewItem& opt, const QModelIndex& index) const
{
    initStyleOption(&opt, index);
    const QString html = opt.text;
    opt.text.clear();
    layOut(doc, opt, html);
    const QWidget* widget = opt.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    return QPoint(textRect.left(), textRect.top() + qMax(0, (textRect.height() - int(doc.size().height())) / 2));
}

void HtmlCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    QTextDocument doc;
    const QPoint origin = prepare(doc, opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->translate(origin);
    painter->setClipRect(QRect(QPoint(0, 0), opt.rect.bottomRight() - origin));
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = opt.palette;
    context.palette.setColor(QPalette::Text, opt.state & QStyle::State_Selected
                                                 ? opt.palette.color(QPalette::HighlightedText)
                                                 : opt.palette.color(QPalette::Text));
    doc.documentLayout()->draw(painter, context);
    painter->restore();
}

QSize HtmlCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    QTextDocument doc;
    prepare(doc, opt, index);
    return QSize(int(doc.idealWidth()),
                 qMax(int(doc.size().height()), QStyledItemDelegate::sizeHint(option, index).height()));
}

QString HtmlCellDelegate::linkAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& pos) const
{
    QStyleOptionViewItem opt = option;
    QTextDocument doc;
    const QPoint origin = prepare(doc, opt, index);
    return doc.documentLayout()->anchorAt(QPointF(opt.rect.topLeft() + pos - origin));
}

bool HtmlCellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && option.rect.contains(mouse->position().toPoint())) {
            const QString address = linkAt(option, index, mouse->position().toPoint() - option.rect.topLeft());
            if (!address.isEmpty()) {
                emit linkActivated(address);
                return true;
            }
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
