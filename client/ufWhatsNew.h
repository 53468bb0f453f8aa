// What is new in this version: an HTML page shown once after the start, with a box to stop
// showing it.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTextBrowser;

class TfWhatsNew : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 592;
    static constexpr int ClientHeight = 466;

    explicit TfWhatsNew(QWidget *parent = nullptr);

    // False when the file cannot be read.
    bool LoadFromFile(const QString &fileName);
    bool DontShowAgain() const;

    QTextBrowser *reWhatsNew() const { return m_reWhatsNew; }
    QCheckBox *chkDontShow() const { return m_chkDontShow; }
    QPushButton *btnClose() const { return m_btnClose; }

private:
    QTextBrowser *m_reWhatsNew;
    QCheckBox *m_chkDontShow;
    QPushButton *m_btnClose;
};
