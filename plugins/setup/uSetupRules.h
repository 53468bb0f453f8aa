// The wizard's rules without a window: when Next, Previous and Finish are enabled, the node
// texts, the name of a new location, the input masks of page 1, and the page pictures kept as
// data items of the module's language file.
#pragma once

#include "ui/uTemplateLinks.h"

#include <QImage>
#include <QRegularExpression>
#include <QString>

class TVOResourceHandler;

namespace SetupRules {

// What the enabling of the navigation depends on.
struct TWizardState
{
    int Step = 1;
    QString UserName;
    QString Password1;
    QString Password2;
    int LocationItems = 0;
    int LiturgyNodes = 0;
    bool TemplateHoldsFunction = false; // a second-level node of the template tree exists
};

bool NextEnabled(const TWizardState &state);
// The language text that says why page 1 keeps Next disabled (no user name 1010, passwords that
// differ 1009); 0 when nothing on the page holds it back.
int NextHint(const TWizardState &state);
bool PreviousEnabled(const TWizardState &state);
bool FinishEnabled(const TWizardState &state);

// Letters only; letters and digits (page 1's masks).
const QRegularExpression &UserNameMask();
const QRegularExpression &PasswordMask();

// "Name (Location)" for the liturgy tree; "Function (count)" for a link node.
QString LiturgyNodeText(const QString &liturgyName, const QString &locationName);
using TemplateLinks::LinkNodeText;
// The prefix immediately followed by the number of list items plus 1.
QString NewLocationName(const QString &prefix, int listItems);

// Where the first name that is empty or only blanks stands; -1 when every name is given.
int FirstUnnamed(const QStringList &names);

// The page pictures by page: 1 → 105, 2 → 106, 3 → 107, 4 → 104.
int PageImage(int step);

} // namespace SetupRules

// The JPEG picture data item number of the language module; a null image when there is none.
// Raises "Unable to locate image : <number>" when the item cannot be decoded.
QImage GetImage(const TVOResourceHandler &texts, int number);
