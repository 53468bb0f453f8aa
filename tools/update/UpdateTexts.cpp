#include "tools/update/UpdateTexts.h"

#include "foundation/TextTables.h"

namespace {

TTextTables &tables()
{
    static TTextTables *const instance = [] {
        auto *made = new TTextTables;
        made->AddTable(QLocale::English, QStringLiteral(":/update/texts/en.lng"));
        made->AddTable(QLocale::NorwegianBokmal, QStringLiteral(":/update/texts/nb.lng"));
        return made;
    }();
    return *instance;
}

} // namespace

namespace UpdateTexts {

QString Text(int number)
{
    return tables().Text(number);
}

void SetLanguage(QLocale::Language language)
{
    tables().SetLanguage(language);
}

} // namespace UpdateTexts
