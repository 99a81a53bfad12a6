#include "ProjectEditorPage.h"

#include "FieldCounter.h"
#include "IndexNowKeyText.h"
#include "TypingLimitValidator.h"
#include "ui/Dialogs.h"
#include "ui/TCLEDLabel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>
#include <tuple>

ProjectEditorPage::ProjectEditorPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProjectEditor"));

    const QString none;
    // Created in tab order.
    Session_Name = addLineEdit(QStringLiteral("Session_Name"), 0, none);
    urllist = addLineEdit(QStringLiteral("urllist"), 100,
                          QStringLiteral("Enter the URL that you want to submit. Example: ") + exampleAddress());
    title = addLineEdit(QStringLiteral("title"), 0, QStringLiteral("This is your sales pitch."));
    Description = addLineEdit(QStringLiteral("Description"), 0,
                              QStringLiteral("A detailed description about your product or services."));
    Key1 = addLineEdit(QStringLiteral("Key1"), 0, none);
    catagory = new QComboBox(this);
    catagory->setObjectName(QStringLiteral("catagory"));
    catagory->setEditable(true);
    catagory->setInsertPolicy(QComboBox::NoInsert);
    catagory->addItems(categories());
    catagory->setCurrentIndex(-1);
    catagory->setEditText(QString());
    catagory->setToolTip(QStringLiteral("Secect a catagory that best describes your site."));
    name = addLineEdit(QStringLiteral("name"), 60, none);
    LastN = addLineEdit(QStringLiteral("LastN"), 60, none);
    email = addLineEdit(QStringLiteral("email"), 60,
                        QStringLiteral("Use a valid email address or some submissions will fail."));
    Company = addLineEdit(QStringLiteral("Company"), 60, none);
    Address1 = addLineEdit(QStringLiteral("Address1"), 60, none);
    Address2 = addLineEdit(QStringLiteral("Address2"), 60, none);
    City = addLineEdit(QStringLiteral("City"), 60, none);
    State = addLineEdit(QStringLiteral("State"), 60, none);
    Country = addLineEdit(QStringLiteral("Country"), 60, none);
    Zip = addLineEdit(QStringLiteral("Zip"), 60, none);
    Phone = addLineEdit(QStringLiteral("Phone"), 60, none);
    Fax = addLineEdit(QStringLiteral("Fax"), 60, none);

    CLED2 = FieldCounter::createLabel(QStringLiteral("CLED2"), this);
    CLED3 = FieldCounter::createLabel(QStringLiteral("CLED3"), this);
    CLED4 = FieldCounter::createLabel(QStringLiteral("CLED4"), this);
    for (TCLEDLabel* counter : {CLED2, CLED3, CLED4})
        counter->setFixedSize(60, 20);
    m_titleCounter = new FieldCounter(FieldCounter::Title, CLED2, this);
    m_descriptionCounter = new FieldCounter(FieldCounter::Description, CLED3, this);
    m_keywordCounter = new FieldCounter(FieldCounter::Keywords, CLED4, this);

    SaveButton = new QPushButton(QStringLiteral("Save"), this);
    SaveButton->setObjectName(QStringLiteral("SaveButton"));
    ClearButton = new QPushButton(QStringLiteral("Clear"), this);
    ClearButton->setObjectName(QStringLiteral("ClearButton"));
    IndexNowKey = addLineEdit(QStringLiteral("IndexNowKey"), 128,
                              QStringLiteral("The key that lets IndexNow search engines take this site's pages: "
                                             "8 to 128 letters, digits and \"-\", served by your site as the "
                                             "file KEY.txt in its top folder."));
    IndexNowKeyLocation = addLineEdit(QStringLiteral("IndexNowKeyLocation"), 2047,
                                      QStringLiteral("Where the site publishes its key file, when not as "
                                                     "KEY.txt in its top folder (an http or https address)."));
    GenerateKey = new QPushButton(QStringLiteral("Generate"), this);
    GenerateKey->setObjectName(QStringLiteral("GenerateKey"));
    CheckKey = new QPushButton(QStringLiteral("Check Key"), this);
    CheckKey->setObjectName(QStringLiteral("CheckKey"));

    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };

    auto* page = new QVBoxLayout(this);
    page->setSpacing(4);

    auto* first = new QHBoxLayout;
    first->addWidget(label(QStringLiteral("Project Name:"), Session_Name));
    first->addWidget(Session_Name, 1);
    first->addWidget(label(QStringLiteral("URL:"), urllist));
    first->addWidget(urllist, 2);
    page->addLayout(first);

    auto* counted = new QGridLayout;
    const std::tuple<QString, QLineEdit*, TCLEDLabel*> countedRows[] = {
        {QStringLiteral("Title:"), title, CLED2},
        {QStringLiteral("Description:"), Description, CLED3},
        {QStringLiteral("Keywords:"), Key1, CLED4},
    };
    int row = 0;
    for (const auto& [text, field, counter] : countedRows) {
        counted->addWidget(label(text, field), row, 0);
        counted->addWidget(field, row, 1);
        counted->addWidget(counter, row, 2);
        ++row;
    }
    counted->addWidget(label(QStringLiteral("Category:"), catagory), row, 0);
    counted->addWidget(catagory, row, 1, 1, 2);
    counted->setColumnStretch(1, 1);
    page->addLayout(counted);

    auto* contacts = new QGridLayout;
    const std::pair<QString, QLineEdit*> contactFields[] = {
        {QStringLiteral("First Name:"), name},  {QStringLiteral("Last Name:"), LastN},
        {QStringLiteral("Email:"), email},      {QStringLiteral("Company"), Company},
        {QStringLiteral("Address1"), Address1}, {QStringLiteral("Address2"), Address2},
        {QStringLiteral("City"), City},         {QStringLiteral("State"), State},
        {QStringLiteral("Country"), Country},   {QStringLiteral("Zip"), Zip},
        {QStringLiteral("Phone"), Phone},       {QStringLiteral("Fax"), Fax},
    };
    int i = 0;
    for (const auto& [text, field] : contactFields) {
        contacts->addWidget(label(text, field), i / 3, (i % 3) * 2);
        contacts->addWidget(field, i / 3, (i % 3) * 2 + 1);
        contacts->setColumnStretch((i % 3) * 2 + 1, 1);
        ++i;
    }
    page->addLayout(contacts);

    auto* indexNow = new QHBoxLayout;
    indexNow->addWidget(label(QStringLiteral("IndexNow Key"), IndexNowKey));
    indexNow->addWidget(IndexNowKey, 1);
    indexNow->addWidget(GenerateKey);
    indexNow->addWidget(CheckKey);
    indexNow->addWidget(label(QStringLiteral("Key Location"), IndexNowKeyLocation));
    indexNow->addWidget(IndexNowKeyLocation, 1);
    page->addLayout(indexNow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SaveButton);
    buttons->addWidget(ClearButton);
    page->addLayout(buttons);
    page->addStretch(1);

    QWidget* order[] = {Session_Name, urllist, title,   Description, Key1,       catagory,   name,
                        LastN,        email,   Company, Address1,    Address2,   City,       State,
                        Country,      Zip,     Phone,   Fax,         SaveButton, ClearButton,
                        IndexNowKey,  GenerateKey, CheckKey,   IndexNowKeyLocation};
    for (size_t k = 1; k < std::size(order); ++k)
        setTabOrder(order[k - 1], order[k]);

    connect(SaveButton, &QPushButton::clicked, this, &ProjectEditorPage::saveClicked);
    connect(ClearButton, &QPushButton::clicked, this, &ProjectEditorPage::clearClicked);
    connect(GenerateKey, &QPushButton::clicked, this, &ProjectEditorPage::GenerateKeyClick);
    connect(CheckKey, &QPushButton::clicked, this,
            [this] { emit checkKeyClicked(urllist->text().trimmed(), IndexNowKey->text().trimmed(),
                                 IndexNowKeyLocation->text().trimmed());
            });
    connectChangeRules();
}

QLineEdit* ProjectEditorPage::addLineEdit(const QString& objectName, int limit, const QString& hint)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    if (limit > 0)
        new TypingLimitValidator(limit, edit);
    if (!hint.isEmpty())
        edit->setToolTip(hint);
    return edit;
}

void ProjectEditorPage::connectChangeRules()
{
    connect(urllist, &QLineEdit::textChanged, this, &ProjectEditorPage::urlChanged);
    connect(title, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_titleCounter->update(text);
        emit titleChanged(text);
    });
    connect(Description, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_descriptionCounter->update(text);
        emit descriptionChanged(text);
    });
    connect(Key1, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_keywordCounter->update(text);
        emit keywordsChanged(text);
    });
    connect(name, &QLineEdit::textChanged, this, &ProjectEditorPage::emitAuthor);
    connect(LastN, &QLineEdit::textChanged, this, &ProjectEditorPage::emitAuthor);
    connect(Company, &QLineEdit::textChanged, this, &ProjectEditorPage::companyChanged);
}

void ProjectEditorPage::emitAuthor()
{
    emit authorChanged(name->text() + QLatin1Char(' ') + LastN->text());
}

void ProjectEditorPage::GenerateKeyClick()
{
    // A key already uploaded stops working once it is replaced.
    if (!IndexNowKey->text().trimmed().isEmpty() &&
        !Dialogs::confirm(this, QStringLiteral("Generate Key"),
                          QStringLiteral("This Project already has an IndexNow key.\n\r"
                                         "Replace it with a new one?")))
        return;
    IndexNowKey->setText(IndexNowKeyText::generate());
}

QWidget* ProjectEditorPage::fieldWidget(ProjectField field) const
{
    switch (field) {
    case ProjectField::SessionName:
        return Session_Name;
    case ProjectField::Url:
        return urllist;
    case ProjectField::Title:
        return title;
    case ProjectField::Email:
        return email;
    case ProjectField::Description:
        return Description;
    case ProjectField::Category:
        return catagory;
    case ProjectField::FirstName:
        return name;
    case ProjectField::LastName:
        return LastN;
    case ProjectField::Company:
        return Company;
    case ProjectField::Address1:
        return Address1;
    case ProjectField::Address2:
        return Address2;
    case ProjectField::Country:
        return Country;
    case ProjectField::City:
        return City;
    case ProjectField::State:
        return State;
    case ProjectField::Phone:
        return Phone;
    case ProjectField::Fax:
        return Fax;
    case ProjectField::Zip:
        return Zip;
    case ProjectField::Keywords:
        return Key1;
    case ProjectField::IndexNowKey:
        return IndexNowKey;
    case ProjectField::IndexNowKeyLocation:
        return IndexNowKeyLocation;
    }
    return nullptr;
}

QString ProjectEditorPage::fieldText(ProjectField field) const
{
    if (field == ProjectField::Category)
        return catagory->currentText();
    return static_cast<QLineEdit*>(fieldWidget(field))->text();
}

void ProjectEditorPage::setFieldText(ProjectField field, const QString& text)
{
    if (field == ProjectField::Category) {
        catagory->setEditText(text);
        return;
    }
    static_cast<QLineEdit*>(fieldWidget(field))->setText(text);
}

const QStringList& ProjectEditorPage::categories()
{
    static const QStringList items = {
        QStringLiteral("Miscellaneous"),  QStringLiteral("Automotive"),     QStringLiteral("Business"),
        QStringLiteral("Communications"), QStringLiteral("Community"),      QStringLiteral("Computers"),
        QStringLiteral("Consumer"),       QStringLiteral("Education"),      QStringLiteral("Employment"),
        QStringLiteral("Entertainment"),  QStringLiteral("Finance"),        QStringLiteral("Government"),
        QStringLiteral("Health"),         QStringLiteral("Internet"),       QStringLiteral("Manufacturing"),
        QStringLiteral("Media"),          QStringLiteral("Medical"),        QStringLiteral("Miscellaneous"),
        QStringLiteral("News"),           QStringLiteral("Opportunities"),  QStringLiteral("Personal"),
        QStringLiteral("Politics"),       QStringLiteral("Publishing"),     QStringLiteral("Recreation"),
        QStringLiteral("Reference"),      QStringLiteral("Religion"),       QStringLiteral("Sci-Tech"),
        QStringLiteral("Services"),       QStringLiteral("Transportation"), QStringLiteral("Travel"),
        QStringLiteral("Web_Stuff"),
    };
    return items;
}
