#include "plugins/settings/uSettingsOptionsPage.h"

#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uDASettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

using namespace SettingsRules;

namespace {

QIcon ColorIcon(const QColor &color)
{
    QPixmap swatch(16, 16);
    swatch.fill(color);
    QPainter p(&swatch);
    p.setPen(Qt::darkGray);
    p.drawRect(0, 0, 15, 15);
    return QIcon(swatch);
}

// Shows the colour, adding an entry for one the named colours do not have.
void ShowColor(QComboBox *box, const QVariant &value)
{
    if (value.isNull() || !value.isValid()) {
        box->setCurrentIndex(-1);
        return;
    }
    const int rgb = value.toInt();
    int index = box->findData(rgb);
    if (index < 0) {
        box->addItem(ColorIcon(ColorFromRgbInt(rgb)), ColorFromRgbInt(rgb).name(QColor::HexRgb).toUpper(), rgb);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

} // namespace

TSettingsOptionsPage::TSettingsOptionsPage(ISettingsPageHost &host) : TSettingsPage(host)
{
    BuildOptionsPage();
}

void TSettingsOptionsPage::BuildOptionsPage()
{
    QWidget *page = this;
    auto *layout = new QVBoxLayout(page);
    auto group = [&](int caption) {
        auto *box = new QGroupBox(page);
        Caption(box, caption);
        auto *form = new QFormLayout(box);
        form->setLabelAlignment(Qt::AlignLeft);
        form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
        layout->addWidget(box);
        return form;
    };
    auto label = [&](int caption) {
        QLabel *l = Label(page, caption);
        l->setMinimumWidth(266);
        return l;
    };
    QFormLayout *calendar = group(5600);
    m_edWorkStart = new QTimeEdit(page);
    m_edWorkEnd = new QTimeEdit(page);
    for (QTimeEdit *t : {m_edWorkStart, m_edWorkEnd}) {
        t->setDisplayFormat(QStringLiteral("hh:mm AP"));
        t->setMinimumWidth(120);
    }
    m_chkMonthNumber = new QCheckBox(page);
    calendar->addRow(label(5701), m_edWorkStart);
    calendar->addRow(label(5702), m_edWorkEnd);
    calendar->addRow(label(5704), m_chkMonthNumber);
    QFormLayout *schedule = group(5700);
    m_cboDuration = new QComboBox(page);
    m_cboDuration->setMinimumWidth(160);
    schedule->addRow(label(5703), m_cboDuration);
    QFormLayout *colors = group(5750);
    for (int i = 0; i < 4; ++i) {
        m_colors[i] = new QComboBox(page);
        m_colors[i]->setMinimumWidth(160);
        for (const QString &name : Html4ColorNames())
            m_colors[i]->addItem(ColorIcon(QColor(name)), name, RgbIntFromColor(QColor(name)));
        m_colors[i]->setCurrentIndex(-1);
        colors->addRow(label(5751 + i), m_colors[i]);
    }
    m_edHistoryDate = new QDateEdit(page);
    m_edHistoryDate->setCalendarPopup(true);
    m_edHistoryDate->setMinimumWidth(160);
    colors->addRow(label(5757), m_edHistoryDate);
    m_btnReset = new QPushButton(page);
    Caption(m_btnReset, 2207);
    connect(m_btnReset, &QPushButton::clicked, this, [this] { ResetLayouts(); });
    auto *row = new QHBoxLayout;
    row->addWidget(m_btnReset);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();
}

void TSettingsOptionsPage::FillDurationList()
{
    m_durations = DurationList(Text(3038), Text(2568));
    const QSignalBlocker block(m_cboDuration);
    m_cboDuration->clear();
    for (const TDuration &d : m_durations)
        m_cboDuration->addItem(d.Text, d.Minutes);
}

void TSettingsOptionsPage::ReadEventsSettings()
{
    Guarded(QStringLiteral("TplgSystemSettings.ReadEventsSettings"), [this] {
        const auto time = [this](const QString &key, const QString &fallback) {
            return QTime::fromString(ParseSettingTime(Controller().GetUserSetting(key, fallback), fallback), QStringLiteral("HH:mm"));
        };
        m_edWorkStart->setTime(time(QStringLiteral("WorkhourStart"), QStringLiteral("08:00")));
        m_edWorkEnd->setTime(time(QStringLiteral("WorkhourEnd"), QStringLiteral("16:00")));
        m_chkMonthNumber->setChecked(ParseSettingBool(Controller().GetUserSetting(QStringLiteral("ShowMonthNumber"), QStringLiteral("1")), true));
        bool ok = false;
        const int minutes = Controller().GetUserSetting(QStringLiteral("StandardDuration"), QStringLiteral("60")).trimmed().toInt(&ok);
        const QString text = DurationText(m_durations, ok ? minutes : 60, Text(3038));
        int index = m_cboDuration->findText(text);
        if (index < 0) {
            m_cboDuration->addItem(text);
            index = m_cboDuration->count() - 1;
        }
        m_cboDuration->setCurrentIndex(index);
    });
}

void TSettingsOptionsPage::WriteEventsSettings()
{
    Guarded(QStringLiteral("WriteEventsSettings"), [this] {
        Controller().SetUserSetting(QStringLiteral("WorkhourStart"), m_edWorkStart->time().toString(QStringLiteral("HH:mm")));
        Controller().SetUserSetting(QStringLiteral("WorkhourEnd"), m_edWorkEnd->time().toString(QStringLiteral("HH:mm")));
        Controller().SetUserSetting(QStringLiteral("ShowMonthNumber"), m_chkMonthNumber->isChecked() ? QStringLiteral("-1") : QStringLiteral("0"));
        if (const std::optional<int> minutes = DurationMinutes(m_durations, m_cboDuration->currentText()))
            Controller().SetUserSetting(QStringLiteral("StandardDuration"), QString::number(*minutes));
    });
}

void TSettingsOptionsPage::ReadEventColors()
{
    Guarded(QStringLiteral("ReadEventColors"), [this] {
        TDACDSDataTable &colors = Data().DAEventColors;
        if (!colors.GetActive())
            Data().OpenTable(colors);
        for (int i = 0; i < 4; ++i) {
            if (colors.Locate(QStringLiteral("PK_ColorID"), ColorIDs[i]))
                ShowColor(m_colors[i], colors.Value(QStringLiteral("ColorIntValue")));
            else
                m_colors[i]->setCurrentIndex(-1);
        }
    });
}

void TSettingsOptionsPage::WriteEventColors()
{
    Guarded(QStringLiteral("WriteEventColors"), [this] {
        TDACDSDataTable &colors = Data().DAEventColors;
        if (!colors.GetActive())
            Data().OpenTable(colors);
        for (int i = 0; i < 4; ++i) {
            if (m_colors[i]->currentIndex() < 0 || !colors.Locate(QStringLiteral("PK_ColorID"), ColorIDs[i]))
                continue;
            colors.Edit();
            colors.SetValue(QStringLiteral("ColorIntValue"), m_colors[i]->currentData().toInt());
            colors.Post();
        }
    });
}

void TSettingsOptionsPage::ReadHistoryDate()
{
    Guarded(QStringLiteral("ReadHistoryDate"), [this] {
        TDACDSDataTable &history = Data().tblHistoryDate;
        if (!history.GetActive())
            Data().OpenTable(history);
        if (history.GetRecordCount() > 0 && !history.Eof())
            m_edHistoryDate->setDate(history.Value(QStringLiteral("HistoryStartDate")).toDate());
    });
}

void TSettingsOptionsPage::WriteHistoryDate()
{
    Guarded(QStringLiteral("ReadHistoryDate"), [this] {
        TDACDSDataTable &history = Data().tblHistoryDate;
        if (!history.GetActive())
            Data().OpenTable(history);
        if (history.Eof())
            return;
        history.Edit();
        history.SetValue(QStringLiteral("HistoryStartDate"), QDateTime(m_edHistoryDate->date(), QTime(0, 0)));
        history.Post();
    });
}

void TSettingsOptionsPage::ResetLayouts()
{
    Guarded(QStringLiteral("Layout"), [this] {
        for (const QString &layout : SavedLayouts)
            Controller().ClearUserSetting(layout);
        for (const QString &setting : LayoutSettings)
            Controller().SetUserSetting(setting, QString());
    });
    m_host.Tell(QMessageBox::Information, 2209, Text(2208));
}

