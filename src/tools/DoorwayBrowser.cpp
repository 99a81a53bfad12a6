#include "DoorwayBrowser.h"

#include <QImage>
#include <QTextDocument>

DoorwayBrowser::DoorwayBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    document()->setDefaultFont(QFont(QStringLiteral("Times New Roman")));
    QPalette white = palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    setPalette(white);
}

QVariant DoorwayBrowser::loadResource(int type, const QUrl&)
{
    ++m_requests;
    // A null answer would make the document look for the file itself.
    if (type == QTextDocument::ImageResource) {
        QImage blank(1, 1, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        return blank;
    }
    return QByteArray("");
}
