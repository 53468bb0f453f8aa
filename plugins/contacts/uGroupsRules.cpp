#include "plugins/contacts/uGroupsRules.h"

#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGroupTree.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"

#include "reporting/ReportExpression.h"

#include <QSet>

namespace {

void OpenIfClosed(TDACDSDataTable &table)
{
    if (!table.GetActive())
        table.Open();
}

// The rows of a table opened again with one parameter set.
void Reopen(TDACDSDataTable &table, const QString &param, const QString &value)
{
    table.Close();
    table.ParamByName(param).Value = value;
    table.Open();
}

QString Text(const TDACDSDataTable &table, int row, const QString &field)
{
    return table.ValueAt(row, table.FieldIndex(field)).toString();
}

TGroupsViewNode GroupNodes(const TGroupNode &group)
{
    TGroupsViewNode node{group.ID, {}, TGroupsNodeKind::Group, group.Caption, {}};
    for (const TGroupNode &child : group.Children)
        node.Children << GroupNodes(child);
    return node;
}

} // namespace

QString TGroupsRules::Quoted(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QList<TGroupsViewNode> TGroupsRules::BuildTree(TDAContacts &data, const QString &functions, const QString &liturgies,
                                              const QString &canFillIn, const QString &groups)
{
    TGroupsViewNode functionRoot{EmptyGUID, {}, TGroupsNodeKind::MinistryFunction, functions, {}};
    TDACDSDataTable &functionTable = data.MinistryFunctions();
    OpenIfClosed(functionTable);
    TDACDSDataTable &linkedLiturgies = data.DALinkLiturgyToMinistry();
    for (int row = 0; row < functionTable.GetRecordCount(); ++row) {
        const QString key = Text(functionTable, row, QStringLiteral("PK_MinistryFunctionID"));
        TGroupsViewNode function{key, {}, TGroupsNodeKind::MinistryFunction,
                                 Text(functionTable, row, QStringLiteral("MinistryFunctionName")), {}};
        Reopen(linkedLiturgies, QStringLiteral("MIN_ID"), key);
        // Without a linked liturgy "Any liturgy" would only repeat the function's own list.
        if (linkedLiturgies.GetRecordCount() > 0)
            function.Children << TGroupsViewNode{{}, key, TGroupsNodeKind::AnyLiturgy, AnyLiturgyCaption, {}};
        for (int l = 0; l < linkedLiturgies.GetRecordCount(); ++l)
            function.Children << TGroupsViewNode{Text(linkedLiturgies, l, QStringLiteral("F_LiturgyTemplateID")), {},
                                                 TGroupsNodeKind::LiturgyOfFunction,
                                                 Text(linkedLiturgies, l, QStringLiteral("LiturgyTemplateName")), {}};
        functionRoot.Children << function;
    }
    linkedLiturgies.Close();

    TGroupsViewNode liturgyRoot{EmptyGUID, {}, TGroupsNodeKind::Liturgy, liturgies, {}};
    TDACDSDataTable &liturgyTable = data.LiturgyTemplates();
    OpenIfClosed(liturgyTable);
    liturgyTable.Sort(QStringLiteral("LiturgyIndex"), true);
    TDACDSDataTable &liturgyFunctions = data.DAMinistryfunctionByLiturgy();
    for (int row = 0; row < liturgyTable.GetRecordCount(); ++row) {
        const QString key = Text(liturgyTable, row, QStringLiteral("PK_LiturgyTemplateID"));
        TGroupsViewNode liturgy{key, {}, TGroupsNodeKind::Liturgy, Text(liturgyTable, row, QStringLiteral("LiturgyTemplateName")), {}};
        Reopen(liturgyFunctions, QStringLiteral("LIT_ID"), key);
        for (int f = 0; f < liturgyFunctions.GetRecordCount(); ++f)
            liturgy.Children << TGroupsViewNode{Text(liturgyFunctions, f, QStringLiteral("PK_MinistryFunctionID")), {},
                                                TGroupsNodeKind::FunctionOfLiturgy,
                                                Text(liturgyFunctions, f, QStringLiteral("MinistryFunctionName")), {}};
        liturgyRoot.Children << liturgy;
    }
    liturgyFunctions.Close();

    TGroupsViewNode fillIn{{}, {}, TGroupsNodeKind::CanFillIn, canFillIn, {}};
    TGroupsViewNode groupRoot = GroupNodes(TGroupTree(data).Build(groups));
    return {functionRoot, liturgyRoot, fillIn, groupRoot};
}

QStringList TGroupsRules::DescendantIDs(const TGroupsViewNode &node)
{
    QStringList ids;
    for (const TGroupsViewNode &child : node.Children) {
        ids << child.ID;
        ids << DescendantIDs(child);
    }
    return ids;
}

void TGroupsRules::AppendTerms(QString &where, const QString &column, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (key.isEmpty() || where.contains(key))
            continue;
        if (!where.isEmpty())
            where += QStringLiteral(" OR ");
        where += QLatin1Char('(') + column + QLatin1Char('=') + Quoted(key) + QLatin1Char(')');
    }
}

TGroupsRequest TGroupsRules::MemberRequest(TGroupsNodeKind kind, const QString &id, const QString &id2, const QString &parentID,
                                          const QStringList &descendants, bool showChildren)
{
    const QString functionTerm = QStringLiteral(") AND  tblLnkServingPrefrence.F_MinistryFunctionID = ");
    const QString noLiturgy = QStringLiteral(" OR (") + LiturgyColumn + QStringLiteral(" LIKE NULL)");
    TGroupsRequest request;
    switch (kind) {
    case TGroupsNodeKind::MinistryFunction:
        request.Dataset = QStringLiteral("DAContactByMinistryFunction");
        if (!id.isEmpty())
            request.Where = FunctionColumn + QLatin1Char('=') + Quoted(id);
        if (showChildren)
            AppendTerms(request.Where, FunctionColumn, descendants);
        break;
    case TGroupsNodeKind::Group:
        request.Dataset = QStringLiteral("DAContactsByGroups");
        request.Where = GroupColumn + QLatin1Char('=') + Quoted(id);
        if (showChildren)
            AppendTerms(request.Where, GroupColumn, descendants);
        break;
    case TGroupsNodeKind::CanFillIn:
        request.Dataset = QStringLiteral("DAContactsByCanFillIn");
        break;
    case TGroupsNodeKind::Liturgy:
        request.Dataset = QStringLiteral("DAContactsByLitugy");
        request.Where = LiturgyColumn + QStringLiteral(" LIKE ") + Quoted(id);
        if (showChildren)
            AppendTerms(request.Where, LiturgyColumn, descendants);
        request.Where += noLiturgy;
        break;
    case TGroupsNodeKind::FunctionOfLiturgy:
        request.Dataset = QStringLiteral("DAContactsByLiturgyByMinistryfunction");
        request.Where = QLatin1Char('(') + LiturgyColumn + QLatin1Char('=') + Quoted(parentID) + noLiturgy + functionTerm + Quoted(id);
        break;
    case TGroupsNodeKind::LiturgyOfFunction:
        request.Dataset = QStringLiteral("DAContactsByLiturgyByMinistryfunction");
        request.Where = QLatin1Char('(') + LiturgyColumn + QLatin1Char('=') + Quoted(id) + noLiturgy + functionTerm + Quoted(parentID);
        break;
    case TGroupsNodeKind::AnyLiturgy:
        request.Dataset = QStringLiteral("DAContactByMinistryFunction");
        request.Where = QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblServingPrefrenceLiturgy) "
                                       "AND  F_MinistryFunctionID = ") +
                        Quoted(id2);
        break;
    }
    return request;
}

QString TGroupsRules::GroupMembersWhere(const QString &group)
{
    return GroupColumn + QLatin1Char('=') + Quoted(group);
}

QString TGroupsRules::RemoveMemberWhere(const QString &group, const QStringList &subGroups, const QString &contact)
{
    QString where = QStringLiteral("((") + LinkGroupColumn + QLatin1Char('=') + Quoted(group) + QLatin1Char(')');
    AppendTerms(where, LinkGroupColumn, subGroups);
    return where + QStringLiteral(") AND (F_MemberID=") + Quoted(contact) + QLatin1Char(')');
}

QString TGroupsRules::ReportCriteria(const TGroupsRequest &request)
{
    if (request.Dataset == QStringLiteral("DAContactsByCanFillIn"))
        return QStringLiteral(" (tblLnkServingPrefrence.ContactCanFillIn=1)");
    QString criteria = request.Where;
    for (const char *column : {"tblGroups.PK_GroupID", "tblLnkServingPrefrence.F_MinistryFunctionID", "tblServingPrefrenceLiturgy.F_LiturgyTemplateID"})
        criteria.replace(QLatin1String(column), QStringLiteral("theID"));
    criteria.replace(QLatin1Char('='), QStringLiteral(" LIKE "));
    return criteria;
}

ReportTemplate TGroupsRules::ListReport(const QString &title, const QString &footnote, const QList<TListColumn> &columns)
{
    ReportTemplate report;
    report.Name = QStringLiteral("GroupsListView");
    report.Title = title;
    report.PageSize = QPageSize(QPageSize::Letter);
    report.Margins = QMarginsF(36, 36, 36, 36);
    const double width = report.PageSizePoints().width() - 72;
    double screen = 0;
    for (const TListColumn &column : columns)
        screen += qMax(1, column.Width);
    const auto text = [](ReportItemKind kind, const QRectF &rect, const QString &value, bool bold, double size) {
        ReportItem item;
        item.Kind = kind;
        item.Rect = rect;
        if (kind == ReportItemKind::Text)
            item.Text = value;
        else if (kind == ReportItemKind::Field)
            item.FieldName = value;
        else
            item.Expression = ReportExpression::Parse(value);
        item.Font.Bold = bold;
        item.Font.PointSize = size;
        return item;
    };
    ReportBand titleBand{ReportBandKind::Title, 28, true, {text(ReportItemKind::Text, QRectF(0, 0, width, 20), title, true, 14)}};
    ReportBand header{ReportBandKind::PageHeader, 18, true, {}};
    ReportBand detail{ReportBandKind::Detail, 14, true, {}};
    double x = 0;
    for (int c = 0; c < int(columns.size()); ++c) {
        const double w = width * qMax(1, columns[c].Width) / screen;
        header.Items << text(ReportItemKind::Text, QRectF(x, 2, w - 4, 12), columns[c].Caption, true, 9);
        detail.Items << text(ReportItemKind::Field, QRectF(x, 1, w - 4, 12), QStringLiteral("C%1").arg(c), false, 9);
        x += w;
    }
    ReportItem rule;
    rule.Kind = ReportItemKind::Line;
    rule.Rect = QRectF(0, 16, width, 0);
    rule.PenWidth = 0.75;
    header.Items << rule;
    ReportBand footer{ReportBandKind::PageFooter, 20, true, {}};
    footer.Items << text(ReportItemKind::Text, QRectF(0, 6, width * 0.6, 12), footnote, false, 7);
    ReportItem pages = text(ReportItemKind::Expression, QRectF(width * 0.6, 6, width * 0.4, 12),
                            QStringLiteral("'Page ' + PageNo() + ' of ' + PageCount()"), false, 7);
    pages.Alignment = Qt::AlignRight | Qt::AlignTop;
    footer.Items << pages;
    report.TitleBand = titleBand;
    report.PageHeader = header;
    report.Detail = detail;
    report.PageFooter = footer;
    return report;
}

TDATableData TGroupsRules::ListData(const QList<QStringList> &rows, int columnCount)
{
    TDATableData data;
    data.Name = QStringLiteral("GroupsListView");
    for (int c = 0; c < columnCount; ++c) {
        TDAField field;
        field.Name = QStringLiteral("C%1").arg(c);
        field.DataType = TDADataType::datWideString;
        data.Fields << field;
    }
    for (const QStringList &row : rows) {
        QVariantList values;
        for (int c = 0; c < columnCount; ++c)
            values << row.value(c);
        data.Rows << values;
    }
    return data;
}

void TGroupsRules::SetGroupContacts(TDAContacts &data, const QString &group, const QStringList &contacts)
{
    TDACDSDataTable &links = data.DALnkGroupMembers();
    const auto same = [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
    QSet<QString> wanted;
    for (const QString &contact : contacts)
        wanted.insert(contact.toUpper());
    // The links as they are now, so that nobody's other change is undone.
    links.Close();
    links.SetWhere(TDAWhere());
    links.Open();
    try {
        QSet<QString> linked;
        for (int row = links.GetRecordCount() - 1; row >= 0; --row) {
            links.SetRecNo(row);
            if (!same(links.AsString(QStringLiteral("F_GroupID")), group) ||
                !same(links.AsString(QStringLiteral("F_MemberTypeID")), TDAContacts::ContactMemberType))
                continue;
            const QString member = links.AsString(QStringLiteral("F_MemberID")).toUpper();
            if (wanted.contains(member) && !linked.contains(member))
                linked.insert(member);
            else
                links.Delete(); // left out of the choice, or a second link of the same person
        }
        for (const QString &contact : contacts) {
            if (linked.contains(contact.toUpper()))
                continue;
            links.Insert();
            links.SetValue(QStringLiteral("F_GroupID"), group);
            links.SetValue(QStringLiteral("F_MemberID"), contact);
            links.SetValue(QStringLiteral("F_MemberTypeID"), TDAContacts::ContactMemberType);
            links.Post();
            linked.insert(contact.toUpper());
        }
        if (links.HasChanges())
            links.ApplyUpdates(true);
    } catch (...) {
        if (links.GetState() != TDATableState::dsBrowse)
            links.Cancel();
        links.CancelUpdates();
        throw;
    }
}
