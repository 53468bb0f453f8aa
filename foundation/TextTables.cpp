#include "foundation/TextTables.h"

#include "foundation/uResourceHandler.h"

#include <QFile>

TTextTables::TTextTables()
    : m_language(QLocale::system().language())
{
}

TTextTables::~TTextTables() = default;

bool TTextTables::AddTable(QLocale::Language language, const QString &path)
{
    m_tables.erase(language);
    if (!QFile::exists(path))
        return false;
    auto table = std::make_unique<TVOResourceHandler>();
    table->LoadResourceFile(path);
    if (!table->IsOpen())
        return false;
    m_tables[language] = std::move(table);
    return true;
}

QString TTextTables::Text(int number) const
{
    for (const QLocale::Language language : {m_language, QLocale::English}) {
        const auto table = m_tables.find(language);
        if (table == m_tables.end())
            continue;
        const QString text = table->second->GetString(number, true);
        if (!text.isEmpty())
            return text;
    }
    return {};
}
