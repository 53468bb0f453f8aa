// The liturgies page of the system settings: every liturgy in LiturgyIndex order, the selected
// one's name, location and comments; a move writes every liturgy's list position.
#pragma once

#include "plugins/settings/uSettingsPage.h"

class QLineEdit;
class QListWidget;

class TSettingsLiturgiesPage : public TSettingsPage
{
public:
    explicit TSettingsLiturgiesPage(ISettingsPageHost &host);

    bool CanDelete() const;
    void UpdateActions();

    bool DeleteLiturgies(const QString &locationId);
    // Deletes the current liturgy and lists the rest.
    void DeleteLiturgy();
    void RefreshLiturgyTabData();
    void InsertLiturgy();
    void MoveLiturgy(int step);
    void SelectLiturgy(int index);

    QListWidget *LiturgyList() const { return m_lvLiturgies; }
    QLineEdit *LiturgyName() const { return m_edLiturgyName; }
    QAction *acLiturgyUp() const { return m_acLiturgyUp; }
    QAction *acLiturgyDown() const { return m_acLiturgyDown; }

private:
    void BuildLiturgiesPage();

    QAction *m_acLiturgyUp;
    QAction *m_acLiturgyDown;
    QListWidget *m_lvLiturgies;
    TFieldBinder *m_liturgyFields;
    QLineEdit *m_edLiturgyName;
};
