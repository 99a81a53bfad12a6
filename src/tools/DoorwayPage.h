#pragma once

#include "DoorwayLines.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class DoorwayBrowser;

// The "Doorway Pages" page: the doorway page of the Project being edited,
// shown in `Doorway`, rebuilt on every Project load and saved by "Save As".
class DoorwayPage : public QWidget
{
    Q_OBJECT

public:
    explicit DoorwayPage(QWidget* parent = nullptr);

    void setProgramDir(const QString& programDir) { m_programDir = programDir; }
    void setAppTitle(const QString& appTitle) { m_appTitle = appTitle; }
    // The editor's title, description, keywords and address at this moment.
    void setInputSource(std::function<DoorwayInput()> source) { m_inputSource = std::move(source); }
    // The name of the Project selected in the project list; empty when none is.
    void setSelectedProjectSource(std::function<QString()> source) { m_selectedSource = std::move(source); }

    // The page last built.
    QStringList lines() const { return m_lines; }

    static QString noProjectCaption() { return QStringLiteral("Select a Project to save!"); }
    static QString noProjectText() { return QStringLiteral("Opps there is no project selected"); }
    static QString dialogCaption() { return QStringLiteral("Doorway Page"); }
    static QString dialogFilter() { return QStringLiteral("Html Document (*.htm *.html);;*.htm *.html (*.htm *.html)"); }
    // The dialog's proposal for a Project's page.
    static QString proposedFileName(const QString& projectName) { return projectName + QStringLiteral(".htm"); }
    // A chosen name without an extension gets ".htm".
    static QString withDefaultExtension(const QString& path);

    DoorwayBrowser* Doorway = nullptr;

public slots:
    // Builds the page from the editor's fields, shows it and announces the
    // keyword items; returns the lines.
    QStringList build();
    // "Save As": show the page, ask for a name, rebuild and write the page.
    void Save1Click();

signals:
    void showRequested();
    // The ranking drop-down's new items and text.
    void keywordItemsChanged(const QStringList& items, const QString& text);

private:
    QString m_programDir;
    QString m_appTitle;
    std::function<DoorwayInput()> m_inputSource;
    std::function<QString()> m_selectedSource;
    QStringList m_lines;
};
