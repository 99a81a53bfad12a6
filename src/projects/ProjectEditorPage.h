#pragma once

#include "ProjectFields.h"

#include <QStringList>
#include <QWidget>

class FieldCounter;
class QComboBox;
class QLineEdit;
class QPushButton;
class TCLEDLabel;

// The "Project Information" page: one field per field of the Project, the
// title, description and keyword counters, "Save" and "Clear". Every field
// change that other pages follow is announced by a signal; the main window
// connects them to those pages.
class ProjectEditorPage : public QWidget, public ProjectFields
{
    Q_OBJECT

public:
    explicit ProjectEditorPage(QWidget* parent = nullptr);

    QString fieldText(ProjectField field) const override;
    void setFieldText(ProjectField field, const QString& text) override;
    // The field's control (a QLineEdit, or the category's QComboBox).
    QWidget* fieldWidget(ProjectField field) const;

    static const QStringList& categories();
    static QString exampleAddress() { return QStringLiteral("http://www.example.com/"); }

    // The controls, named as the system names them.
    QLineEdit* Session_Name = nullptr;
    QLineEdit* urllist = nullptr;
    QLineEdit* title = nullptr;
    QLineEdit* Description = nullptr;
    QLineEdit* Key1 = nullptr;
    QComboBox* catagory = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* LastN = nullptr;
    QLineEdit* email = nullptr;
    QLineEdit* Company = nullptr;
    QLineEdit* Address1 = nullptr;
    QLineEdit* Address2 = nullptr;
    QLineEdit* City = nullptr;
    QLineEdit* State = nullptr;
    QLineEdit* Country = nullptr;
    QLineEdit* Zip = nullptr;
    QLineEdit* Phone = nullptr;
    QLineEdit* Fax = nullptr;
    TCLEDLabel* CLED2 = nullptr;
    TCLEDLabel* CLED3 = nullptr;
    TCLEDLabel* CLED4 = nullptr;
    QPushButton* SaveButton = nullptr;
    QPushButton* ClearButton = nullptr;
    // The site's IndexNow key and its two buttons.
    QLineEdit* IndexNowKey = nullptr;
    QLineEdit* IndexNowKeyLocation = nullptr;
    QPushButton* GenerateKey = nullptr;
    QPushButton* CheckKey = nullptr;

signals:
    // For the Import Wizard's and the Ranking page's URL fields.
    void urlChanged(const QString& text);
    // For the Meta Tags page's title, description and keyword fields.
    void titleChanged(const QString& text);
    void descriptionChanged(const QString& text);
    void keywordsChanged(const QString& text);
    // The Meta Tags page's author: first name, a blank, last name.
    void authorChanged(const QString& text);
    // The Meta Tags page's copyright: the company.
    void companyChanged(const QString& text);

    void saveClicked();
    void clearClicked();
    // "Check Key": the Project's URL and key as the fields hold them.
    // `location` is the Project's key file address; empty for the site's top.
    void checkKeyClicked(const QString& url, const QString& key, const QString& location);

private:
    QLineEdit* addLineEdit(const QString& objectName, int limit, const QString& hint);
    void connectChangeRules();
    void emitAuthor();
    void GenerateKeyClick();

    FieldCounter* m_titleCounter = nullptr;
    FieldCounter* m_descriptionCounter = nullptr;
    FieldCounter* m_keywordCounter = nullptr;
};
