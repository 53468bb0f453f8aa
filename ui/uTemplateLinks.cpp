#include "ui/uTemplateLinks.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"

namespace TemplateLinks {

namespace {

const QString kLinkKey = QStringLiteral("PK_LinkID");
const QString kLinkTemplate = QStringLiteral("F_MinistryTemplateID");
const QString kLinkFunction = QStringLiteral("F_MinistryFunctionID");
const QString kLinkCount = QStringLiteral("MinistryFunctionCount");

} // namespace

TTemplateLink AddFunctionToTemplate(TDACDSDataTable &links, const QString &templateId, const QString &functionId)
{
    links.ClearFilter();
    const int templateField = links.FieldIndex(kLinkTemplate);
    const int functionField = links.FieldIndex(kLinkFunction);
    int found = -1;
    for (int r = 0; r < links.GetRecordCount() && found < 0; ++r)
        if (SameKey(links.ValueAt(r, templateField), templateId) && SameKey(links.ValueAt(r, functionField), functionId))
            found = r;
    TTemplateLink link;
    if (found >= 0) {
        links.SetRecNo(found);
        links.Edit();
        links.SetValue(kLinkCount, links.AsInteger(kLinkCount) + 1);
        links.Post();
    } else {
        links.Insert();
        links.SetValue(kLinkFunction, functionId);
        links.SetValue(kLinkTemplate, templateId);
        links.SetValue(kLinkCount, 1);
        // The key comes with the insert; the posted row may stand elsewhere in the order.
        const QString linkId = links.AsString(kLinkKey);
        links.Post();
        if (!linkId.isEmpty())
            links.Locate(kLinkKey, linkId);
        link.Inserted = true;
    }
    link.LinkID = links.AsString(kLinkKey);
    link.Count = links.AsInteger(kLinkCount);
    return link;
}

std::optional<TTemplateLink> RemoveFunctionFromTemplate(TDACDSDataTable &links, const QString &linkId)
{
    links.ClearFilter();
    if (!links.Locate(kLinkKey, linkId))
        return std::nullopt;
    TTemplateLink link;
    const int count = links.AsInteger(kLinkCount);
    if (count > 1) {
        links.Edit();
        links.SetValue(kLinkCount, count - 1);
        links.Post();
        link.LinkID = linkId;
        link.Count = count - 1;
    } else {
        links.Delete();
    }
    return link;
}

QString LinkNodeText(const QString &functionName, int count)
{
    // Joined, not through arg(): a name holding "%2" must not take the count.
    return functionName + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')');
}

} // namespace TemplateLinks
