#include "plugins/contacts/uContactsViewRules.h"

#include "foundation/uCommon.h"

#include <QRegularExpression>

namespace ContactsViewRules {

bool HasEditorRights(const TvoUser *user)
{
    return user && (user->UserLevel & 1) != 0;
}

bool IsCardView(const QString &storedViewType)
{
    return storedViewType.compare(CardViewName, Qt::CaseInsensitive) == 0;
}

TContactsActions ContactsActions(const TContactsViewState &s)
{
    const bool rows = s.Rows > 0;
    const bool selected = s.Selected > 0;
    TContactsActions a{};
    a.New = s.Editor;
    a.Edit = s.Focused && rows && s.Editor;
    a.Delete = s.Focused && rows && s.Editor;
    a.Refresh = true;
    a.Find = rows || s.SearchShown;
    a.Search = s.SearchText;
    a.AddFamily = selected && s.Editor;
    a.AddExistingFamily = selected && s.Editor;
    a.AddGroup = selected && s.Editor;
    a.AddMinistry = selected && s.Editor;
    a.Print = true;
    a.Preview = rows;
    a.EMail = s.MailAvailable && (s.Selected == 1 ? s.SingleSelectedHasMail : s.AnySelectedHasMail);
    a.Export = rows && s.Editor;
    a.Import = s.Editor;
    a.SelectAll = rows;
    a.Copy = s.Focused && rows;
    return a;
}

TFamiliesActions FamiliesActions(const TFamiliesViewState &s)
{
    TFamiliesActions a{};
    a.New = s.Editor;
    a.Edit = s.FamilyCurrent && s.Editor;
    a.Delete = s.FamilyFocused && s.Editor;
    a.Refresh = true;
    // Members... replaces the members the grid shows: those of exactly one family.
    a.AddMembers = s.FamilyCurrent && s.SelectedFamilies == 1 && s.Editor;
    a.RemoveMembers = s.SelectedMembers > 0 && s.Editor;
    a.EditMember = s.SelectedMembers == 1 && s.Editor;
    a.Preview = s.FamilyCurrent;
    a.Print = true;
    a.Copy = s.FamilyFocused;
    return a;
}

QString CountQuestion(int count, const QString &singular, const QString &plural)
{
    return count < 2 ? singular : FillPlaceholders(plural, {QString::number(count)});
}

QString FillPlaceholders(QString text, const QStringList &values)
{
    static const QRegularExpression placeholder(QStringLiteral("%[ds]"));
    int from = 0;
    for (const QString &value : values) {
        const QRegularExpressionMatch m = placeholder.match(text, from);
        if (!m.hasMatch())
            break;
        text.replace(m.capturedStart(), m.capturedLength(), value);
        from = int(m.capturedStart() + value.size());
    }
    return text;
}

std::function<bool(const TDACDSDataTable::TDARecord &)> QuickSearchFilter(const QString &fieldName, const QString &text)
{
    return [fieldName, text](const TDACDSDataTable::TDARecord &r) {
        return r.Value(fieldName).toString().startsWith(text, Qt::CaseInsensitive);
    };
}

QString Quoted(const QString &text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QStringList SelectionConditions(const QString &fieldName, const QStringList &keys)
{
    QStringList conditions;
    for (const QString &key : keys)
        conditions << QStringLiteral("(%1=%2)").arg(fieldName, Quoted(key));
    return conditions;
}

TMailSplit SplitMail(const QList<QPair<QString, QString>> &selected)
{
    TMailSplit split;
    for (const auto &[key, address] : selected) {
        if (address.trimmed().isEmpty())
            split.LeftOut << key;
        else
            split.Addresses << address;
    }
    return split;
}

QString MemberFamily(const QStringList &selectedFamilies)
{
    return selectedFamilies.size() == 1 ? selectedFamilies.first() : NoFamily;
}

} // namespace ContactsViewRules
