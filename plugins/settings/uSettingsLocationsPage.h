// The locations page of the system settings: the locations in their order, the current one's
// details, and up and down, which trade places with the neighbour.
#pragma once

#include "plugins/settings/uSettingsPage.h"

class QLineEdit;

class TSettingsLocationsPage : public TSettingsPage
{
public:
    explicit TSettingsLocationsPage(ISettingsPageHost &host);

    void LoadCaptions() override;
    bool CanDelete() const;
    // The up and down actions follow the current row.
    void UpdateActions();
    void FocusGrid();

    void InsertLocation();
    void MoveLocation(int step);

    QTableView *LocationsGrid() const { return m_grdLocations; }
    QLineEdit *LocationName() const { return m_edLocationName; }
    QAction *acLocationUp() const { return m_acLocationUp; }
    QAction *acLocationDown() const { return m_acLocationDown; }

private:
    void BuildLocationsPage();

    QAction *m_acLocationUp;
    QAction *m_acLocationDown;
    QTableView *m_grdLocations;
    TDATableModel *m_locationModel;
    TFieldBinder *m_locationFields;
    QLineEdit *m_edLocationName;
};
