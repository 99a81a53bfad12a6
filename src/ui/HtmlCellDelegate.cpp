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

void HtmlCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString html = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QTextDocument doc;
    layOut(doc, opt, html);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    painter->save();
    const int top = textRect.top() + qMax(0, (textRect.height() - int(doc.size().height())) / 2);
    painter->translate(textRect.left(), top);
    painter->setClipRect(QRect(0, 0, textRect.width(), textRect.height()));
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
    initStyleOption(&opt, index);
    QTextDocument doc;
    layOut(doc, opt, opt.text);
    return QSize(int(doc.idealWidth()), qMax(int(doc.size().height()), QStyledItemDelegate::sizeHint(option, index).height()));
}

QString HtmlCellDelegate::linkAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& pos) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString html = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    QTextDocument doc;
    layOut(doc, opt, html);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int top = textRect.top() + qMax(0, (textRect.height() - int(doc.size().height())) / 2);
    const QPointF inDoc = QPointF(opt.rect.topLeft() + pos) - QPointF(textRect.left(), top);
    return doc.documentLayout()->anchorAt(inDoc);
}

bool HtmlCellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && option.rect.contains(mouse->position().toPoint())) {
            const QString address =
                linkAt(option, index, mouse->position().toPoint() - option.rect.topLeft());
            if (!address.isEmpty()) {
                emit linkActivated(address);
                return true;
            }
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
