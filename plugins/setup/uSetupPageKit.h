// What the pages of the set-up wizard share: the roles their tree and list nodes keep keys in,
// the key and name fields of the tables they edit, the few cursor and filter steps they all take
// on TDASetup's client tables, and the makers of named widgets (the names tests and screenshots
// find them by).
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class QPushButton;
class TDACDSDataTable;

namespace SetupPageKit {

inline constexpr int kIdRole = Qt::UserRole;           // the node's key
inline constexpr int kSecondRole = Qt::UserRole + 1;   // a link's function, a liturgy's location
inline constexpr int kCountRole = Qt::UserRole + 2;    // a link's count

inline const QString kLocationID = QStringLiteral("PK_LocationID");
inline const QString kLocationName = QStringLiteral("LocationName");
inline const QString kLiturgyID = QStringLiteral("PK_LiturgyTemplateID");
inline const QString kLiturgyName = QStringLiteral("LiturgyTemplateName");
inline const QString kTemplateID = QStringLiteral("PK_MinistryTemplateID");
inline const QString kTemplateName = QStringLiteral("MinistryTemplateName");
inline const QString kFunctionID = QStringLiteral("PK_MinistryFunctionID");
inline const QString kFunctionName = QStringLiteral("MinistryFunctionName");
inline const QString kLinkID = QStringLiteral("PK_LinkID");
inline const QString kLinkTemplate = QStringLiteral("F_MinistryTemplateID");
inline const QString kLinkFunction = QStringLiteral("F_MinistryFunctionID");
inline const QString kLinkCount = QStringLiteral("MinistryFunctionCount");

void EditCurrent(TDACDSDataTable &t);
void FilterOn(TDACDSDataTable &t, const QString &field, const QString &value);
// Every row's key and one more field, in table order, without leaving the cursor moved.
QList<QPair<QString, QString>> Rows(const TDACDSDataTable &t, const QString &keyField, const QString &field);
// The key of the first row whose name is empty; empty when every row has a name.
QString FirstUnnamedKey(const TDACDSDataTable &t, const QString &keyField, const QString &nameField);
void DeleteShown(TDACDSDataTable &t);

QPushButton *Button(const QString &name, QWidget *parent);

template <class W> W *Named(const QString &name, QWidget *parent)
{
    auto *widget = new W(parent);
    widget->setObjectName(name);
    return widget;
}

} // namespace SetupPageKit
