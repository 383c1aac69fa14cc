#include "view/FindDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

CFindDialog::CFindDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Find and Replace"));
    setModal(false);
    m_pFind = new QLineEdit;
    m_pReplace = new QLineEdit;
    m_pMatchCase = new QCheckBox(QStringLiteral("Match &case"));
    m_pWholeWords = new QCheckBox(QStringLiteral("&Whole words"));
    m_pRegex = new QCheckBox(QStringLiteral("Regular e&xpression"));
    m_pDescriptions = new QCheckBox(QStringLiteral("Also in &descriptions"));
    m_pScope = new QComboBox;
    m_pScope->addItem(QStringLiteral("The chosen language"));
    m_pScope->addItem(QStringLiteral("All languages"));
    m_pResult = new QLabel;

    auto* form = new QFormLayout;
    m_pReplace->setToolTip(QStringLiteral(
        "With a regular expression, $1 to $9 or \\1 to \\9 stand for the groups it matched."));
    auto* findLabel = new QLabel(QStringLiteral("&Find:"));
    findLabel->setBuddy(m_pFind);
    auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"));
    replaceLabel->setBuddy(m_pReplace);
    auto* scopeLabel = new QLabel(QStringLiteral("&Look in:"));
    scopeLabel->setBuddy(m_pScope);
    form->addRow(findLabel, m_pFind);
    form->addRow(replaceLabel, m_pReplace);
    form->addRow(scopeLabel, m_pScope);

    auto* options = new QHBoxLayout;
    for (QCheckBox* box : {m_pMatchCase, m_pWholeWords, m_pRegex, m_pDescriptions})
        options->addWidget(box);

    auto* buttons = new QDialogButtonBox;
    QPushButton* next =
        buttons->addButton(QStringLiteral("Find &Next"), QDialogButtonBox::ActionRole);
    QPushButton* previous =
        buttons->addButton(QStringLiteral("Find Pre&vious"), QDialogButtonBox::ActionRole);
    QPushButton* replace =
        buttons->addButton(QStringLiteral("&Replace"), QDialogButtonBox::ActionRole);
    QPushButton* replaceAll =
        buttons->addButton(QStringLiteral("Replace &All"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, [this] { emit FindRequested(false); });
    connect(previous, &QPushButton::clicked, this, [this] { emit FindRequested(true); });
    connect(replace, &QPushButton::clicked, this, &CFindDialog::ReplaceRequested);
    connect(replaceAll, &QPushButton::clicked, this, &CFindDialog::ReplaceAllRequested);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    // Find Next and Find Previous keep their keys while the dialog has the focus.
    for (const bool backwards : {false, true}) {
        auto* key = new QShortcut(
            backwards ? QKeySequence(Qt::SHIFT | Qt::Key_F3) : QKeySequence(Qt::Key_F3), this);
        connect(key, &QShortcut::activated, this,
                [this, backwards] { emit FindRequested(backwards); });
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(options);
    layout->addWidget(m_pResult);
    layout->addWidget(buttons);
}

void CFindDialog::ShowFor(bool replace) {
    show();
    raise();
    activateWindow();
    // Nothing to replace without something to find: the find field first.
    QLineEdit* field = replace && !m_pFind->text().isEmpty() ? m_pReplace : m_pFind;
    field->setFocus();
    field->selectAll();
}

SearchOptions CFindDialog::GetOptions() const {
    SearchOptions options;
    options.pattern = m_pFind->text().toStdU16String();
    options.matchCase = m_pMatchCase->isChecked();
    options.wholeWords = m_pWholeWords->isChecked();
    options.regex = m_pRegex->isChecked();
    return options;
}

std::u16string CFindDialog::GetReplacement() const {
    return m_pReplace->text().toStdU16String();
}

bool CFindDialog::InAllLanguages() const {
    return m_pScope->currentIndex() == 1;
}

bool CFindDialog::InDescriptions() const {
    return m_pDescriptions->isChecked();
}

void CFindDialog::SetResult(const QString& text) {
    m_pResult->setText(text);
}
