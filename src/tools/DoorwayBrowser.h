#pragma once

#include <QTextBrowser>

// Shows a doorway page rendered, and nothing else: every resource the page
// names (its images, style sheets) is answered with a blank one, so the view
// never reads the disk or the network, and its links do not navigate.
class DoorwayBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit DoorwayBrowser(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

    // Resources asked for since creation, each answered blank.
    int resourceRequests() const { return m_requests; }

private:
    int m_requests = 0;
};
