#include "DoorwayPage.h"

#include "DoorwayBrowser.h"
#include "ToolFiles.h"
#include "ui/Dialogs.h"
#include "settings/ProgramPaths.h"

#include <QFileInfo>
#include <QVBoxLayout>

DoorwayPage::DoorwayPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DoorwayPage"));
    Doorway = new DoorwayBrowser(this);
    Doorway->setObjectName(QStringLiteral("Doorway"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Doorway);
}

QString DoorwayPage::withDefaultExtension(const QString& path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".htm") : path;
}

QStringList DoorwayPage::build()
{
    DoorwayInput input = m_inputSource ? m_inputSource() : DoorwayInput{};
    input.appTitle = m_appTitle;
    m_lines = doorwayPageLines(input);
    Doorway->setHtml(m_lines.join(QLatin1Char('\n')));
    const DoorwayKeywords keywords = doorwayKeywordItems(input.keywords, input.url);
    emit keywordItemsChanged(keywords.items, keywords.text);
    return m_lines;
}

void DoorwayPage::Save1Click()
{
    emit showRequested();
    const QString selected = m_selectedSource ? m_selectedSource() : QString();
    if (selected.isEmpty()) {
        Dialogs::notice(window(), noProjectCaption(), noProjectText());
        return;
    }
    // The directory is expected to exist, as installed.
    const QString directory = programPath(m_programDir, QStringLiteral("\\doorways"));
    const QString chosen = Dialogs::saveFileName(window(), dialogCaption(),
                                                 directory + QLatin1Char('/') + proposedFileName(selected),
                                                 dialogFilter());
    if (chosen.isEmpty())
        return;
    const QStringList page = build();
    replaceFileBytes(withDefaultExtension(chosen), linesAsFile(page));
}
