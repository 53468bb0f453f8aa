// A contact's name typed as one free text, split into title, first, middle and last name and
// suffix, and five parts joined back into one text. Plain logic, no widgets: the contact dialog
// and the name dialog use it.
#pragma once

#include <QString>
#include <QStringList>

// The items of a comma text ("Mr., Mrs.,\"Rev. Fr.\""): separated by commas or blanks, a
// quoted item keeps its blanks and commas; empty items are dropped.
QStringList ReadCommaText(const QString &text);

class TNameExtractor
{
public:
    QString FullName() const { return m_fullName; }
    // Splits the text when it differs from the current full name (exact comparison).
    void SetFullName(const QString &text);

    // Keeps the five parts; the full name is the non-empty ones in the order title, first,
    // middle, last, suffix, each but the title after one blank, so that an empty title leaves
    // a blank in front (callers trim it).
    void JoinParts(const QString &title, const QString &first, const QString &middle, const QString &last,
                   const QString &suffix);

    QString Title() const { return m_title; }
    QString FirstName() const { return m_firstName; }
    QString MiddleName() const { return m_middleName; }
    QString LastName() const { return m_lastName; }
    QString Suffix() const { return m_suffix; }
    // After a split: a first name was found; after a join: true.
    bool Complete() const { return m_complete; }
    QStringList Words() const { return m_words; }

    // Comma texts of the recognised titles and suffixes, compared without regard to case.
    QString TitleList() const { return m_titleList; }
    void SetTitleList(const QString &commaText);
    QString SuffixLixt() const { return m_suffixList; }
    void SetSuffixLixt(const QString &commaText);

private:
    void Split();
    void SplitFirstNameFirst();
    void SplitLastNameFirst(qsizetype commaWord);
    // The word is a listed suffix, or looks like one.
    bool IsSuffix(qsizetype word) const;
    // How many words from the word at from (and before the one at to) form a listed title.
    qsizetype TitleWords(qsizetype from, qsizetype to) const;

    QString m_fullName;
    QString m_title;
    QString m_firstName;
    QString m_middleName;
    QString m_lastName;
    QString m_suffix;
    bool m_complete = false;
    QStringList m_words;
    QString m_titleList;
    QString m_suffixList;
    QStringList m_titles;
    QStringList m_suffixes;
};
