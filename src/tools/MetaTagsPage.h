#pragma once

#include "MetaTagBlock.h"

#include <QString>
#include <QWidget>

class FieldCounter;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TCLEDLabel;

// The "Meta Tags" page: the HEAD block's values with their check boxes, the
// three counters, "Generate" and "Apply", and the block in `Viewer`.
class MetaTagsPage : public QWidget
{
    Q_OBJECT

public:
    explicit MetaTagsPage(QWidget* parent = nullptr);

    void setProgramDir(const QString& programDir) { m_programDir = programDir; }
    void setAppTitle(const QString& appTitle) { m_appTitle = appTitle; }
    QString projectUrl() const { return m_projectUrl; }

    MetaTagValues values() const;

    // Messages and the open dialog, exactly as the user sees them.
    static QString dialogCaption() { return QStringLiteral("Inject Html Document"); }
    static QString dialogFilter();
    static QString completeCaption() { return QStringLiteral("Injection complete!"); }
    static QString completeText(const QString& backupPath);
    static QString incompleteCaption() { return QStringLiteral("Injection Incomplete!"); }
    static QString incompleteText()
    {
        return QStringLiteral("You must have a missing or incorrect <head> or </head> Tag.");
    }

    // The controls, named as the system names them.
    QCheckBox* TitleCk = nullptr;
    QLineEdit* TitleMet = nullptr;
    TCLEDLabel* CLED1Met = nullptr;
    QCheckBox* DescriptionCk = nullptr;
    QLineEdit* DescriptionMet = nullptr;
    TCLEDLabel* CLED2Met = nullptr;
    QCheckBox* Key1Ck = nullptr;
    QLineEdit* Key1Met = nullptr;
    TCLEDLabel* CLED3Met = nullptr;
    QCheckBox* AuthorCk = nullptr;
    QLineEdit* Author = nullptr;
    QCheckBox* CopyrightCk = nullptr;
    QLineEdit* CopyRight = nullptr;
    QCheckBox* DistCk = nullptr;
    QComboBox* Distribution = nullptr;
    QCheckBox* RatingCk = nullptr;
    QComboBox* Rating = nullptr;
    QCheckBox* RobotsCk = nullptr;
    QComboBox* Robots = nullptr;
    QCheckBox* RevisitCk = nullptr;
    QComboBox* Revisit = nullptr;
    QCheckBox* OpenGraphCk = nullptr;
    QPushButton* Button10 = nullptr;
    QPushButton* Button12 = nullptr;
    QPlainTextEdit* Viewer = nullptr;

public slots:
    // The Project's address, for the Open Graph lines.
    void setProjectUrl(const QString& url) { m_projectUrl = url; }
    // "Generate": show the page, build the block into `Viewer`.
    void Button10Click();
    // "Apply": show the page, build the block, ask for a file, inject.
    void Button12Click();

signals:
    void showRequested();

private:
    void buildBlock();
    void injectInto(const QString& path);

    FieldCounter* m_titleCounter = nullptr;
    FieldCounter* m_descriptionCounter = nullptr;
    FieldCounter* m_keywordCounter = nullptr;
    QString m_programDir;
    QString m_appTitle;
    QString m_projectUrl;
};
