#include "plugins/contacts/ufNameDlg.h"

#include "plugins/contacts/uNameExtractor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

TfNameDlg::TfNameDlg(const std::function<QString(int)> &texts, QWidget *parent)
    : TfDlgPopUp(parent), m_title(new QComboBox), m_first(new QLineEdit), m_middle(new QLineEdit), m_last(new QLineEdit),
      m_suffix(new QComboBox)
{
    setObjectName(QStringLiteral("TfNameDlg"));
    setWindowTitle(texts(1701));
    btnOK()->setText(texts(200));
    btnCancel()->setText(texts(201));
    btnHelp()->setText(texts(202));
    grpBox()->setTitle(texts(1702));
    chkShow()->setText(texts(1708));
    m_title->setEditable(true);
    m_suffix->setEditable(true);
    m_first->setObjectName(QStringLiteral("edFName"));
    m_middle->setObjectName(QStringLiteral("edMName"));
    m_last->setObjectName(QStringLiteral("edSname"));
    auto *form = new QFormLayout(grpBox());
    form->addRow(texts(1703), m_title);
    form->addRow(texts(1704), m_first);
    form->addRow(texts(1705), m_middle);
    form->addRow(texts(1706), m_last);
    form->addRow(texts(1707), m_suffix);
}

void TfNameDlg::SetParts(const QString &title, const QString &first, const QString &middle, const QString &last,
                         const QString &suffix)
{
    m_title->setEditText(title);
    m_first->setText(first);
    m_middle->setText(middle);
    m_last->setText(last);
    m_suffix->setEditText(suffix);
}

void TfNameDlg::SetLists(const QString &titles, const QString &suffixes)
{
    const QString title = m_title->currentText();
    const QString suffix = m_suffix->currentText();
    m_title->clear();
    m_title->addItems(ReadCommaText(titles));
    m_suffix->clear();
    m_suffix->addItems(ReadCommaText(suffixes));
    m_title->setEditText(title);
    m_suffix->setEditText(suffix);
}

QString TfNameDlg::Title() const { return m_title->currentText().trimmed(); }
QString TfNameDlg::FirstName() const { return m_first->text().trimmed(); }
QString TfNameDlg::MiddleName() const { return m_middle->text().trimmed(); }
QString TfNameDlg::LastName() const { return m_last->text().trimmed(); }
QString TfNameDlg::Suffix() const { return m_suffix->currentText().trimmed(); }

QString TfNameDlg::FullName() const
{
    QStringList parts;
    for (const QString &part : {Title(), FirstName(), MiddleName(), LastName(), Suffix()})
        if (!part.isEmpty())
            parts << part;
    return parts.join(QLatin1Char(' '));
}
