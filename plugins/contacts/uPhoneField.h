// The phone edit of the contact and family dialogs. The mask "(999) 000-0000" helps typing a new
// number of that shape and nothing more: a stored number is shown as stored, the mask lies only
// over an empty field or a number of that very shape, and a "+" (or any other sign the mask
// would refuse) typed into an empty field drops the mask, so "+47 22 33 44 55" is kept as typed.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

class TPhoneField : public QObject
{
public:
    static inline const QString Mask = QStringLiteral("(999) 000-0000;_");

    // Watches the edit; it belongs to the edit.
    explicit TPhoneField(QLineEdit *edit);

    // Shows a stored number unchanged.
    void SetStored(const QString &number);
    // What the field holds for storing: the text as shown, empty when nothing was typed.
    QString Value() const;
    bool Masked() const;
    // Whether a number has the mask's shape, so that the mask can lie over it unchanged.
    static bool FitsMask(const QString &number);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool NothingTyped() const;
    void ToStartWhenEmpty();

    QLineEdit *m_edit;
};

// The zip edit of the same dialogs takes any postcode the field stores ("12345 - 6789",
// "D02 X285", "H91"): letters, digits, blanks and hyphens up to the stored length.
constexpr int kPostcodeLength = 32;
void TakePostcodes(QLineEdit *zip);
