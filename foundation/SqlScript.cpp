#include "foundation/SqlScript.h"

namespace SqlScript {
namespace {

const QString kSeparator = QStringLiteral("GO");

bool isBlank(const QString &text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

} // namespace

QStringList SplitLines(const QByteArray &text)
{
    QString all = QString::fromUtf8(text);
    if (all.startsWith(QChar(0xFEFF)))
        all.remove(0, 1);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QChar c = all.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        lines << all.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < all.size() && all.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < all.size())
        lines << all.mid(start);
    return lines;
}

QStringList SplitBatches(const QStringList &lines, Trailing trailing)
{
    QStringList batches;
    QStringList current;
    auto close = [&] {
        const QString batch = current.join(QLatin1Char('\n'));
        if (!isBlank(batch))
            batches << batch;
        current.clear();
    };
    for (const QString &line : lines) {
        if (line == kSeparator)
            close();
        else
            current << line;
    }
    if (trailing == Trailing::Run)
        close();
    return batches;
}

QStringList SplitBatches(const QByteArray &text, Trailing trailing)
{
    return SplitBatches(SplitLines(text), trailing);
}

} // namespace SqlScript
