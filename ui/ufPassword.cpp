#include "ui/ufPassword.h"

#include "client/api/HostInterfaces.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

using namespace Quorva;

namespace {

constexpr int kTextOK = 200;
constexpr int kTextCancel = 201;
constexpr int kTextHelp = 202;
constexpr int kTextCaption = 6300;
constexpr int kTextGroup = 6301;
constexpr int kTextFirst = 6302;
constexpr int kTextSecond = 6303;

// Letters and digits only; the second entry turns every letter to lower case as it is typed.
class PasswordValidator : public QRegularExpressionValidator
{
public:
    PasswordValidator(bool lowerCase, QObject *parent)
        : QRegularExpressionValidator(QRegularExpression(QStringLiteral("[a-zA-Z0-9]*")), parent), m_lowerCase(lowerCase)
    {
    }
    State validate(QString &input, int &pos) const override
    {
        if (m_lowerCase)
            input = input.toLower();
        return QRegularExpressionValidator::validate(input, pos);
    }

private:
    bool m_lowerCase;
};

QLineEdit *passwordEdit(QWidget *parent, bool lowerCase)
{
    auto *edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setValidator(new PasswordValidator(lowerCase, edit));
    return edit;
}

} // namespace

TfPassword::TfPassword(QWidget *parent)
    : TfDlgPopUp(parent)
    , m_edPwd1(passwordEdit(grpBox(), false))
    , m_edPwd2(passwordEdit(grpBox(), true))
    , m_cxLabel1(new QLabel(QStringLiteral("#"), grpBox()))
    , m_cxLabel2(new QLabel(QStringLiteral("#"), grpBox()))
    , m_acOK(new QAction(QStringLiteral("#Change"), this))
    , m_btnChange(new QPushButton(this))
{
    FormCreate();
    auto *fields = new QFormLayout(grpBox());
    fields->addRow(m_cxLabel1, m_edPwd1);
    fields->addRow(m_cxLabel2, m_edPwd2);
    chkShow()->hide();
    btnOK()->hide();
    btnOK()->setDefault(false);
    buttonColumn()->insertWidget(0, m_btnChange);
    m_btnChange->setDefault(true);
    // The button follows its action: text, enabled state and what a click does.
    m_btnChange->setText(m_acOK->text());
    connect(m_acOK, &QAction::changed, m_btnChange, [this] {
        m_btnChange->setText(m_acOK->text());
        m_btnChange->setEnabled(m_acOK->isEnabled());
    });
    connect(m_btnChange, &QPushButton::clicked, m_acOK, &QAction::trigger);
    connect(m_acOK, &QAction::triggered, this, &QDialog::accept);
    connect(m_edPwd1, &QLineEdit::textChanged, this, &TfPassword::acOKUpdate);
    connect(m_edPwd2, &QLineEdit::textChanged, this, &TfPassword::acOKUpdate);
    acOKUpdate();
}

void TfPassword::InitForm(ILanguageHost *texts)
{
    m_edPwd1->clear();
    m_edPwd2->clear();
    if (!texts)
        return;
    const auto text = [texts](int number, const QString &current) {
        QString value = current;
        texts->GetResourceText(number, false, value);
        return value;
    };
    m_acOK->setText(text(kTextOK, m_acOK->text()));
    btnCancel()->setText(text(kTextCancel, btnCancel()->text()));
    btnHelp()->setText(text(kTextHelp, btnHelp()->text()));
    setWindowTitle(text(kTextCaption, windowTitle()));
    grpBox()->setTitle(text(kTextGroup, grpBox()->title()));
    m_cxLabel1->setText(text(kTextFirst, m_cxLabel1->text()));
    m_cxLabel2->setText(text(kTextSecond, m_cxLabel2->text()));
}

QString TfPassword::NewPassword() const
{
    return m_edPwd1->text();
}

void TfPassword::acOKUpdate()
{
    m_acOK->setEnabled(CanConfirm(m_edPwd1->text(), m_edPwd2->text()));
}
