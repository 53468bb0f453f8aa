#include "plugins/settings/uSettingsRules.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"

#include <QTime>

namespace SettingsRules {

namespace {

// Moves to the row whose order value is the number; Locate would compare texts.
bool LocateIndex(TDACDSDataTable &table, const QString &field, int value)
{
    const int f = table.FieldIndex(field);
    for (int r = 0; r < table.GetRecordCount(); ++r) {
        const QVariant v = table.ValueAt(r, f);
        if (!v.isNull() && v.toInt() == value) {
            table.SetRecNo(r);
            return true;
        }
    }
    return false;
}

} // namespace

void RenumberSort(TDACDSDataTable &table, const QString &field)
{
    // Walk the rows as delivered: a sort on the field would move rows while they are numbered.
    QString keyField;
    for (const TDAField &f : table.GetFields())
        if (f.InPrimaryKey)
            keyField = f.Name;
    QStringList keys;
    for (int r = 0; r < table.GetRecordCount(); ++r)
        keys << table.ValueAt(r, table.FieldIndex(keyField)).toString();
    for (int i = 0; i < keys.size(); ++i) {
        if (!table.Locate(keyField, keys[i]))
            continue;
        if (!table.IsNull(field) && table.AsInteger(field) == i)
            continue;
        table.Edit();
        table.SetValue(field, i);
        table.Post();
    }
    if (table.GetRecordCount() > 0)
        table.First();
}

bool SwapSort(int current, int target, TDACDSDataTable &table, const QString &keyField)
{
    const QString key = table.AsString(keyField);
    const QString field = SortIndex;
    if (!LocateIndex(table, field, target)) {
        table.Locate(keyField, key);
        return false;
    }
    table.Edit();
    table.SetValue(field, current);
    table.Post();
    if (!table.Locate(keyField, key))
        return false;
    table.Edit();
    table.SetValue(field, target);
    table.Post();
    return true;
}

void SaveListIndex(TDACDSDataTable &table, const QString &keyField, const QStringList &ids, const QString &field)
{
    for (int i = 0; i < ids.size(); ++i) {
        if (!table.Locate(keyField, ids[i]))
            continue;
        table.Edit();
        table.SetValue(field, i);
        table.Post();
    }
}

int DeleteRowsWhere(TDACDSDataTable &table, const QString &field, const QString &value)
{
    int deleted = 0;
    table.First();
    while (!table.Eof()) {
        if (SameKey(table.Value(field), value)) {
            table.Delete();
            ++deleted;
        } else {
            table.Next();
        }
    }
    if (table.GetRecordCount() > 0)
        table.First();
    return deleted;
}

QList<TDuration> DurationList(const QString &minutesText, const QString &hoursText, const QLocale &locale)
{
    QList<TDuration> list;
    for (int m = 5; m <= 720; ++m) {
        if ((m < 30 && m % 5 == 0) || (m >= 30 && m < 60 && m % 15 == 0))
            list << TDuration{QStringLiteral("%1 %2").arg(minutesText).arg(m), m};
        else if (m >= 60 && m % 60 == 0)
            list << TDuration{QStringLiteral("%1 %2").arg(hoursText).arg(m / 60), m};
        else if (m >= 60 && m % 30 == 0)
            list << TDuration{QStringLiteral("%1 %2").arg(hoursText, locale.toString(m / 60.0, 'f', 1)), m};
    }
    return list;
}

QString DurationText(const QList<TDuration> &list, int minutes, const QString &minutesText)
{
    for (const TDuration &d : list)
        if (d.Minutes == minutes)
            return d.Text;
    return QStringLiteral("%1 %2").arg(minutesText).arg(minutes);
}

std::optional<int> DurationMinutes(const QList<TDuration> &list, const QString &text)
{
    for (const TDuration &d : list)
        if (d.Text == text)
            return d.Minutes;
    return std::nullopt;
}

bool ParseSettingBool(const QString &text, bool defaultValue)
{
    const QString t = text.trimmed();
    bool number = false;
    const int value = t.toInt(&number);
    if (number)
        return value != 0;
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return defaultValue;
}

QString ParseSettingTime(const QString &text, const QString &defaultValue)
{
    for (const char *format : {"HH:mm", "H:mm", "HH:mm:ss", "h:mm AP"}) {
        const QTime time = QTime::fromString(text.trimmed(), QLatin1String(format));
        if (time.isValid())
            return time.toString(QStringLiteral("HH:mm"));
    }
    return defaultValue;
}

int RgbIntFromColor(const QColor &color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QColor ColorFromRgbInt(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QStringList Html4ColorNames()
{
    return {QStringLiteral("Black"), QStringLiteral("Silver"), QStringLiteral("Gray"),   QStringLiteral("White"),
            QStringLiteral("Maroon"), QStringLiteral("Red"),   QStringLiteral("Purple"), QStringLiteral("Fuchsia"),
            QStringLiteral("Green"), QStringLiteral("Lime"),   QStringLiteral("Olive"),  QStringLiteral("Yellow"),
            QStringLiteral("Navy"),  QStringLiteral("Blue"),   QStringLiteral("Teal"),   QStringLiteral("Aqua")};
}

std::optional<TMailAddresses> MailFromConfiguration(const QVariant &configuration)
{
    const QVariantMap fields = configuration.toMap();
    if (!configuration.isValid() || fields.isEmpty())
        return std::nullopt;
    return TMailAddresses{fields.value(QStringLiteral("smtpserver")).toString().trimmed(),
                          fields.value(QStringLiteral("sendemailaddress")).toString().trimmed(),
                          fields.value(QStringLiteral("senduserreplyemailaddress")).toString().trimmed()};
}

TMailAddresses MergeMail(const TMailAddresses &stored, const TMailAddresses &configured)
{
    return {stored.Server.isEmpty() ? configured.Server : stored.Server,
            stored.Sender.isEmpty() ? configured.Sender : stored.Sender,
            stored.Return.isEmpty() ? configured.Return : stored.Return};
}

} // namespace SettingsRules
