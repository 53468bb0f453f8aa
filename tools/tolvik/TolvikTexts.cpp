#include "tools/tolvik/TolvikTexts.h"

#include "foundation/TextTables.h"

namespace {

TTextTables &tables()
{
    static TTextTables *const instance = [] {
        auto *made = new TTextTables;
        made->AddTable(QLocale::English, QStringLiteral(":/tolvik/texts/en.lng"));
        made->AddTable(QLocale::NorwegianBokmal, QStringLiteral(":/tolvik/texts/nb.lng"));
        return made;
    }();
    return *instance;
}

} // namespace

namespace TolvikTexts {

QString GetText(int id)
{
    const QString text = tables().Text(id);
    return text.isEmpty() ? QStringLiteral("missing %1").arg(id) : text;
}

QString Format(int id, const QStringList &values)
{
    const QString text = GetText(id);
    QString result;
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size() && text[i + 1] == QLatin1Char('s')) {
            result += values.value(next++);
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

QString Plain(int id)
{
    return GetText(id).remove(QLatin1Char('&'));
}

void SetLanguage(QLocale::Language language)
{
    tables().SetLanguage(language);
}

} // namespace TolvikTexts
