// Compares a report with a hand-written expected document: element names and order,
// attributes and texts. A value written between "~" is a pattern (for what depends on the
// machine); "expect-each" makes an element's one child the pattern of all its children, and
// "expect-optional" names attributes that may be present.
#pragma once

#include <QDomElement>
#include <QRegularExpression>
#include <QStringList>

namespace kestrova::test {

inline bool ValueMatches(const QString &expected, const QString &actual)
{
    if (expected.size() >= 2 && expected.startsWith(QLatin1Char('~')) && expected.endsWith(QLatin1Char('~')))
        return QRegularExpression(QRegularExpression::anchoredPattern(expected.mid(1, expected.size() - 2)))
            .match(actual)
            .hasMatch();
    return expected == actual;
}

inline QString DirectText(const QDomElement &element)
{
    QString text;
    for (QDomNode node = element.firstChild(); !node.isNull(); node = node.nextSibling())
        if (node.isText())
            text += node.toText().data();
    return text.trimmed();
}

inline QList<QDomElement> ChildElements(const QDomElement &element)
{
    QList<QDomElement> children;
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        children << child;
    return children;
}

// Every difference, each with the path of the element where it is.
inline QStringList Mismatches(const QDomElement &expected, const QDomElement &actual, const QString &path = QString())
{
    const QString here = path + QLatin1Char('/') + expected.tagName();
    if (actual.tagName() != expected.tagName())
        return {QStringLiteral("%1: found element %2").arg(here, actual.tagName())};
    QStringList found;
    const QStringList optional = expected.attribute(QStringLiteral("expect-optional")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QDomNamedNodeMap wanted = expected.attributes();
    for (int i = 0; i < wanted.count(); ++i) {
        const QDomAttr attribute = wanted.item(i).toAttr();
        if (attribute.name().startsWith(QLatin1String("expect-")))
            continue;
        if (!actual.hasAttribute(attribute.name()))
            found << QStringLiteral("%1: no attribute %2").arg(here, attribute.name());
        else if (!ValueMatches(attribute.value(), actual.attribute(attribute.name())))
            found << QStringLiteral("%1: %2=\"%3\", expected \"%4\"")
                         .arg(here, attribute.name(), actual.attribute(attribute.name()), attribute.value());
    }
    const QDomNamedNodeMap present = actual.attributes();
    for (int i = 0; i < present.count(); ++i) {
        const QString name = present.item(i).toAttr().name();
        if (!expected.hasAttribute(name) && !optional.contains(name))
            found << QStringLiteral("%1: unexpected attribute %2").arg(here, name);
    }
    if (!ValueMatches(DirectText(expected), DirectText(actual)))
        found << QStringLiteral("%1: text \"%2\", expected \"%3\"").arg(here, DirectText(actual), DirectText(expected));

    const QList<QDomElement> wantedChildren = ChildElements(expected);
    const QList<QDomElement> children = ChildElements(actual);
    if (expected.attribute(QStringLiteral("expect-each")) == QLatin1String("true")) {
        for (const QDomElement &child : children)
            found << Mismatches(wantedChildren.value(0), child, here);
        return found;
    }
    for (qsizetype i = 0; i < std::max(wantedChildren.size(), children.size()); ++i) {
        if (i >= children.size())
            found << QStringLiteral("%1: missing %2").arg(here, wantedChildren[i].tagName());
        else if (i >= wantedChildren.size())
            found << QStringLiteral("%1: unexpected %2").arg(here, children[i].tagName());
        else
            found << Mismatches(wantedChildren[i], children[i], here);
    }
    return found;
}

} // namespace kestrova::test
