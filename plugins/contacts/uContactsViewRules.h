// What the contacts and families views decide, without a window: which actions a user may run
// on what is shown and selected, the questions before deleting, the quick-search match, who
// gets a mail and who is left out, and the report conditions of a selection.
#pragma once

#include "dataaccess/TDACDSDataTable.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

class TvoUser;

namespace ContactsViewRules {

inline const QString TableViewName = QStringLiteral("grdTblView");
inline const QString CardViewName = QStringLiteral("grdCardView");
// The key that matches no contact's family: the member grid of no or several families.
inline const QString NoFamily = QStringLiteral("{00000000-0000-0000-0000-000000000000}");

// Bit 0 of the user's level; no user has none.
bool HasEditorRights(const TvoUser *user);

// The stored view type names the card view (without regard to case); anything else is the table.
bool IsCardView(const QString &storedViewType);

// What the contacts view shows and has selected.
struct TContactsViewState
{
    int Rows = 0;
    int Selected = 0;
    bool Focused = false; // a current row
    bool Editor = false;
    bool SearchText = false;
    bool SearchShown = false; // the quick-search frame, which can always be closed again
    bool MailAvailable = false;
    // The one selected row has an e-mail address; at least one selected row has one.
    bool SingleSelectedHasMail = false;
    bool AnySelectedHasMail = false;
};

struct TContactsActions
{
    bool New, Edit, Delete, Refresh, Find, Search, AddFamily, AddExistingFamily, AddGroup, AddMinistry, Print, Preview,
        EMail, Export, Import, SelectAll, Copy;
};

TContactsActions ContactsActions(const TContactsViewState &state);

struct TFamiliesViewState
{
    int Families = 0;
    int SelectedFamilies = 0;
    bool FamilyCurrent = false; // the family list is not at its end
    bool FamilyFocused = false;
    int SelectedMembers = 0;
    bool Editor = false;
};

struct TFamiliesActions
{
    bool New, Edit, Delete, Refresh, AddMembers, RemoveMembers, EditMember, Preview, Print, Copy;
};

TFamiliesActions FamiliesActions(const TFamiliesViewState &state);

// A question before deleting: the singular text for fewer than two, else the plural text with
// the count filled in.
QString CountQuestion(int count, const QString &singular, const QString &plural);

// A language text with its "%d" and "%s" placeholders filled in order.
QString FillPlaceholders(QString text, const QStringList &values);

// Quick search: rows whose field begins with the typed text, without regard to case. The text
// is a value, never filter syntax: quotes, "*" and "=" are matched as typed.
std::function<bool(const TDACDSDataTable::TDARecord &)> QuickSearchFilter(const QString &fieldName, const QString &text);

// A key as a quoted text, inner quotes doubled.
QString Quoted(const QString &text);
// One report condition per key: "(field='key')".
QStringList SelectionConditions(const QString &fieldName, const QStringList &keys);

// Selected contacts as (key, e-mail address): the addresses to mail, and the keys of those left out.
struct TMailSplit
{
    QStringList Addresses;
    QStringList LeftOut;
};
TMailSplit SplitMail(const QList<QPair<QString, QString>> &selected);

// The key of the family the member grid shows: the one selected family, else NoFamily.
QString MemberFamily(const QStringList &selectedFamilies);

} // namespace ContactsViewRules
