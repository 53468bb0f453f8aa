#include "client/uMailText.h"

#include <QLocale>

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0) ||
           c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool isPlainPrintable(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    // A text that looks like an encoded word is encoded too, so that it arrives as typed.
    return !text.contains(QLatin1String("=?"));
}

// A text as the log and the message may show it: no control characters, not too long.
QString shown(const QString &text)
{
    QString safe = text.left(80);
    for (QChar &c : safe)
        if (isControl(c))
            c = QLatin1Char('?');
    return safe;
}

[[noreturn]] void refuse(const QString &what)
{
    throw EMailRefused(what.toStdString());
}

} // namespace

QByteArray TMailText::Address(const QString &address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        refuse(QStringLiteral("An e-mail address is empty"));
    if (trimmed.size() > MaxAddressLength)
        refuse(QStringLiteral("An e-mail address is longer than %1 characters").arg(MaxAddressLength));
    static const QString specials = QStringLiteral(" \"(),:;<>[\\]");
    for (QChar c : trimmed) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            refuse(QStringLiteral("The e-mail address \"%1\" holds a line break").arg(shown(trimmed)));
        if (c.unicode() < 0x21 || c.unicode() > 0x7E || specials.contains(c))
            refuse(QStringLiteral("The e-mail address \"%1\" holds a character an address may not have").arg(shown(trimmed)));
    }
    const qsizetype at = trimmed.indexOf(QLatin1Char('@'));
    if (at <= 0 || at != trimmed.lastIndexOf(QLatin1Char('@')) || at == trimmed.size() - 1)
        refuse(QStringLiteral("\"%1\" is not an e-mail address").arg(shown(trimmed)));
    return trimmed.toLatin1();
}

QByteArray TMailText::HeaderText(const QString &text)
{
    for (QChar c : text)
        if (isControl(c))
            refuse(c == QLatin1Char('\r') || c == QLatin1Char('\n') ? QStringLiteral("A mail header may not hold a line break")
                                                                     : QStringLiteral("A mail header may not hold a control character"));
    if (isPlainPrintable(text))
        return text.toLatin1();

    // Whole characters per word: no word may end inside a UTF-8 sequence.
    static const QByteArray prefix("=?UTF-8?B?");
    static const QByteArray suffix("?=");
    const int maxBytes = (MaxEncodedWord - int(prefix.size() + suffix.size())) / 4 * 3;
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, length).toUtf8();
        i += length - 1;
        if (chunk.size() + bytes.size() > maxBytes) {
            words << prefix + chunk.toBase64() + suffix;
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty() || words.isEmpty())
        words << prefix + chunk.toBase64() + suffix;
    return words.join("\r\n ");
}

QByteArray TMailText::Mailbox(const QString &name, const QString &address)
{
    const QByteArray checked = Address(address);
    if (name.trimmed().isEmpty())
        return checked;
    QString plain = name.trimmed();
    // A plain name with specials travels quoted; anything else as encoded words.
    QByteArray shown = HeaderText(plain);
    if (isPlainPrintable(plain)) {
        plain.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        shown = '"' + plain.toLatin1() + '"';
    }
    return shown + " <" + checked + '>';
}

QByteArray TMailText::CrLfText(const QString &text)
{
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    normal.replace(QChar::ParagraphSeparator, QLatin1Char('\n')).replace(QChar::LineSeparator, QLatin1Char('\n'));
    return normal.toUtf8().replace("\n", "\r\n");
}

QByteArray TMailText::DateValue(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    const int offset = local.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
    return (QLocale::c().toString(local, QStringLiteral("ddd, d MMM yyyy hh:mm:ss ")) + zone).toLatin1();
}
