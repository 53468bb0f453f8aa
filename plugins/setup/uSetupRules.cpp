#include "plugins/setup/uSetupRules.h"

#include "foundation/uResourceHandler.h"

#include <stdexcept>

namespace SetupRules {

bool NextEnabled(const TWizardState &state)
{
    switch (state.Step) {
    case 1:
        return !state.UserName.isEmpty() && state.Password1 == state.Password2;
    case 2:
        return state.LocationItems > 0;
    case 3:
        return state.LiturgyNodes > 0;
    default:
        return false;
    }
}

int NextHint(const TWizardState &state)
{
    if (state.Step != 1)
        return 0;
    if (state.UserName.isEmpty())
        return 1010;
    return state.Password1 == state.Password2 ? 0 : 1009;
}

bool PreviousEnabled(const TWizardState &state)
{
    return state.Step != 1;
}

bool FinishEnabled(const TWizardState &state)
{
    return state.Step == 4 && state.TemplateHoldsFunction;
}

const QRegularExpression &UserNameMask()
{
    static const QRegularExpression mask(QStringLiteral("[a-zA-Z]+"));
    return mask;
}

const QRegularExpression &PasswordMask()
{
    static const QRegularExpression mask(QStringLiteral("[a-zA-Z0-9]+"));
    return mask;
}

QString LiturgyNodeText(const QString &liturgyName, const QString &locationName)
{
    return liturgyName + QStringLiteral(" (") + locationName + QLatin1Char(')');
}

QString NewLocationName(const QString &prefix, int listItems)
{
    return prefix + QString::number(listItems + 1);
}

int FirstUnnamed(const QStringList &names)
{
    for (int i = 0; i < names.size(); ++i)
        if (names[i].trimmed().isEmpty())
            return i;
    return -1;
}

int PageImage(int step)
{
    switch (step) {
    case 1:
        return 105;
    case 2:
        return 106;
    case 3:
        return 107;
    default:
        return 104;
    }
}

} // namespace SetupRules

QImage GetImage(const TVOResourceHandler &texts, int number)
{
    const QByteArray data = texts.GetData(number);
    if (data.isEmpty())
        return {};
    QImage image;
    if (!image.loadFromData(data, "JPEG"))
        throw std::runtime_error("Unable to locate image : " + std::to_string(number));
    return image;
}
