// The name-parts dialog: title, first, middle and last name and suffix edited one by one.
#pragma once

#include "ui/ufDlgPopUp.h"

#include <functional>

class QComboBox;
class QLineEdit;

class TfNameDlg : public TfDlgPopUp
{
    Q_OBJECT
public:
    // texts: the language text by number.
    TfNameDlg(const std::function<QString(int)> &texts, QWidget *parent = nullptr);

    void SetParts(const QString &title, const QString &first, const QString &middle, const QString &last, const QString &suffix);
    // The drop-down lists of titles and suffixes (comma texts).
    void SetLists(const QString &titles, const QString &suffixes);

    QString Title() const;
    QString FirstName() const;
    QString MiddleName() const;
    QString LastName() const;
    QString Suffix() const;
    // The non-empty parts in order, joined by single blanks.
    QString FullName() const;

private:
    QComboBox *m_title;
    QLineEdit *m_first;
    QLineEdit *m_middle;
    QLineEdit *m_last;
    QComboBox *m_suffix;
};
