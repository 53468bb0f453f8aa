// The links of ministry functions to ministry templates, as the settings pages and the set-up
// wizard both edit them: one link row per function and template, holding how many of the
// function the template asks for. Ids are compared without regard to letter case, as the
// database compares keys; the routines raise what the table raises, callers log.
#pragma once

#include "ui/UiExport.h"

#include <QString>

#include <optional>

class TDACDSDataTable;

namespace TemplateLinks {

// The link of a function in a template after one more or one less of it.
struct TTemplateLink
{
    QString LinkID;   // empty when the link row was deleted
    int Count = 0;
    bool Inserted = false;
};

// One more of the function in the template: the count of its link row goes up, or a new link
// row with the count 1 is made. The link row stays current.
UI_EXPORT TTemplateLink AddFunctionToTemplate(TDACDSDataTable &links, const QString &templateId, const QString &functionId);
// One less: above 1 the count goes down, else the link row is deleted. nullopt when no link
// row has the id.
UI_EXPORT std::optional<TTemplateLink> RemoveFunctionFromTemplate(TDACDSDataTable &links, const QString &linkId);
// "Lector (2)".
UI_EXPORT QString LinkNodeText(const QString &functionName, int count);

} // namespace TemplateLinks
