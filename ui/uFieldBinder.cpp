#include "ui/uFieldBinder.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDACDSDataTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>

TFieldBinder::TFieldBinder(TDACDSDataTable &table, QObject *parent) : QObject(parent), m_table(table)
{
    m_listener = m_table.AddListener([this](TDATableChange, int) {
        if (!m_writing)
            Load();
    });
}

TFieldBinder::~TFieldBinder()
{
    m_table.RemoveListener(m_listener);
}

void TFieldBinder::Bind(QLineEdit *edit, const QString &field)
{
    m_loaders << [this, edit, field] {
        edit->setText(Value(field).toString());
        if (m_names.contains(edit))
            m_names[edit].Kept = Value(field).toString();
    };
    connect(edit, &QLineEdit::textEdited, this, [this, edit, field](const QString &text) {
        Write(field, Blank(text) && m_names.contains(edit) ? KeptName(edit) : text);
    });
    m_widgets << edit;
}

void TFieldBinder::RequireName(QLineEdit *edit, std::function<QString()> fallback)
{
    m_names.insert(edit, TName{edit->text(), std::move(fallback)});
    connect(edit, &QLineEdit::editingFinished, this, [this, edit] { CheckName(edit); });
}

QString TFieldBinder::KeptName(QLineEdit *edit) const
{
    const TName name = m_names.value(edit);
    return Blank(name.Kept) && name.Fallback ? name.Fallback() : name.Kept;
}

bool TFieldBinder::CheckNames()
{
    bool given = true;
    for (auto it = m_names.cbegin(); it != m_names.cend(); ++it)
        given = CheckName(it.key()) && given;
    return given;
}

void TFieldBinder::Bind(QPlainTextEdit *memo, const QString &field)
{
    m_loaders << [this, memo, field] {
        if (memo->toPlainText() != Value(field).toString())
            memo->setPlainText(Value(field).toString());
    };
    connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, field] {
        if (!m_loading && memo->toPlainText() != Value(field).toString())
            Write(field, memo->toPlainText());
    });
    m_widgets << memo;
}

void TFieldBinder::Bind(QCheckBox *box, const QString &field)
{
    m_loaders << [this, box, field] { box->setChecked(Value(field).toBool()); };
    connect(box, &QCheckBox::clicked, this, [this, field](bool checked) { Write(field, checked); });
    m_widgets << box;
}

void TFieldBinder::BindLookup(QComboBox *box, const QString &field, TDACDSDataTable &lookup, const QString &keyField,
                              const QString &nameField)
{
    auto fill = [box, &lookup, keyField, nameField] {
        const QSignalBlocker block(box);
        box->clear();
        if (!lookup.GetActive())
            return;
        for (int r = 0; r < lookup.GetRecordCount(); ++r)
            box->addItem(lookup.ValueAt(r, lookup.FieldIndex(nameField)).toString(),
                         lookup.ValueAt(r, lookup.FieldIndex(keyField)));
    };
    const int id = lookup.AddListener([this, fill, box, field](TDATableChange change, int) {
        if (change == TDATableChange::Reset || change == TDATableChange::RowChanged) {
            fill();
            ShowLookup(box, field);
        }
    });
    m_lookups << QPair<TDACDSDataTable *, int>(&lookup, id);
    m_loaders << [this, box, field] { ShowLookup(box, field); };
    connect(box, &QComboBox::activated, this, [this, box, field](int index) { Write(field, box->itemData(index)); });
    m_widgets << box;
    fill();
}

void TFieldBinder::BindDate(QLabel *label, const QString &field)
{
    m_loaders << [this, label, field] {
        const QDateTime when = Value(field).toDateTime();
        label->setText(when.isValid() ? QLocale().toString(when, QLocale::ShortFormat) : QString());
    };
}

void TFieldBinder::Load()
{
    m_loading = true;
    const bool hasRow = m_table.GetActive() && m_table.GetRecordCount() + (m_table.GetState() == TDATableState::dsInsert) > 0;
    for (QWidget *w : m_widgets)
        w->setEnabled(hasRow);
    for (const auto &load : m_loaders)
        load();
    m_loading = false;
    if (OnLoaded)
        OnLoaded();
}

void TFieldBinder::Unbind()
{
    for (const auto &[table, id] : m_lookups)
        table->RemoveListener(id);
    m_lookups.clear();
}

bool TFieldBinder::CheckName(QLineEdit *edit)
{
    // Only an editor showing a row can leave that row's name empty.
    const bool showsRow = m_table.GetActive() && (!m_table.Eof() || m_table.GetState() == TDATableState::dsInsert);
    if (!showsRow || !edit->isEnabled() || !Blank(edit->text()))
        return true;
    const QString kept = KeptName(edit);
    // The name is back before the message takes the focus, so leaving again finds it given.
    edit->setText(kept);
    if (OnNameMissing)
        OnNameMissing(kept);
    if (OnWritten)
        OnWritten(QString());
    return false;
}

QVariant TFieldBinder::Value(const QString &field) const
{
    if (!m_table.GetActive() || (m_table.Eof() && m_table.GetState() != TDATableState::dsInsert))
        return {};
    return m_table.Value(field);
}

void TFieldBinder::ShowLookup(QComboBox *box, const QString &field)
{
    const QSignalBlocker block(box);
    // addItem keeps an entry's key under Qt::UserRole.
    box->setCurrentIndex(box->findData(Value(field), Qt::UserRole, Qt::MatchFixedString));
}

void TFieldBinder::Write(const QString &field, const QVariant &value)
{
    if (m_loading || !m_table.GetActive())
        return;
    m_writing = true;
    try {
        if (m_table.GetState() == TDATableState::dsBrowse) {
            if (m_table.Eof())
                throw EDAException(QStringLiteral("There is no row to change"));
            m_table.Edit();
        }
        m_table.SetValue(field, value);
    } catch (const std::exception &e) {
        if (OnFailure)
            OnFailure(QString::fromUtf8(e.what()));
    }
    m_writing = false;
    if (OnWritten)
        OnWritten(field);
}
