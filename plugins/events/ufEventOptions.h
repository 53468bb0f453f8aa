// The calendar options: start and end of the working day (whole hours), the month number as
// watermark, and the standard duration of new liturgies. It edits the calendar's settings
// object and stores nothing itself.
#pragma once

#include "plugins/events/uEventSettings.h"

#include "ui/ufBaseDialog.h"

class QCheckBox;
class QComboBox;
class QPushButton;

class TfOptionsDlg : public TfBaseDialog
{
    Q_OBJECT
public:
    explicit TfOptionsDlg(QWidget *parent = nullptr);

    // The page Help opens.
    static constexpr const char *HelpTopic = "Calendar_options";

    void Prepare(TvoEventSettings *settings);
    // OK is possible with all three chosen and the day's start before its end.
    static bool CanAccept(int startIndex, int endIndex, int durationIndex);
    void Accept();

    QComboBox *cxCmbStartTime() const { return m_start; }
    QComboBox *cxCmbEndTime() const { return m_end; }
    QComboBox *cboDuration() const { return m_duration; }
    QCheckBox *cxchkWatermark() const { return m_watermark; }
    QPushButton *btnOK() const { return m_ok; }
    QPushButton *btnHelp() const { return m_help; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void LoadTexts();
    void UpdateOk();

    TvoEventSettings *m_settings = nullptr;
    QComboBox *m_start;
    QComboBox *m_end;
    QComboBox *m_duration;
    QCheckBox *m_watermark;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QPushButton *m_help;
    class QLabel *m_lblStart;
    class QLabel *m_lblEnd;
    class QLabel *m_lblDuration;
    class QGroupBox *m_groupWorkday;
    class QGroupBox *m_groupMonth;
    class QGroupBox *m_groupDuration;
};
