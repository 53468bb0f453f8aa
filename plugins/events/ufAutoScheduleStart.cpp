#include "plugins/events/ufAutoScheduleStart.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"
#include "plugins/events/uRecurrence.h"

#include "ui/uHTMLHelp.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace {

QString Text(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}

// A field whose drop-down is a check list; its text follows the checked entries on closing.
QToolButton *CheckListField(QWidget *parent, QListWidget *list, const QString &placeholder)
{
    auto *field = new QToolButton(parent);
    field->setPopupMode(QToolButton::InstantPopup);
    field->setToolButtonStyle(Qt::ToolButtonTextOnly);
    field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    field->setText(placeholder);
    auto *menu = new QMenu(field);
    auto *holder = new QWidgetAction(menu);
    holder->setDefaultWidget(list);
    menu->addAction(holder);
    field->setMenu(menu);
    QObject::connect(menu, &QMenu::aboutToHide, field,
                     [field, list, placeholder] { field->setText(TfAutoScheduleStart::CheckedText(*list, placeholder)); });
    return field;
}

void AddChecked(QListWidget *list, const QString &text, const QString &id)
{
    auto *item = new QListWidgetItem(text, list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setData(Qt::UserRole, id);
}

QStringList CheckedIds(const QListWidget &list)
{
    QStringList ids;
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->checkState() == Qt::Checked)
            ids << list.item(i)->data(Qt::UserRole).toString();
    return ids;
}

} // namespace

TfAutoScheduleStart::TfAutoScheduleStart(QWidget *parent)
    : TfDlgPopUp(parent)
    , m_start(new QDateEdit(this))
    , m_end(new QDateEdit(this))
    , m_functions(new QListWidget)
    , m_templates(new QListWidget)
    , m_functionsField(CheckListField(this, m_functions, Text(5302)))
    , m_templatesField(CheckListField(this, m_templates, Text(5303)))
    , m_status(new QLabel(this))
{
    m_start->setCalendarPopup(true);
    m_end->setCalendarPopup(true);
    auto *grid = new QGridLayout(grpBox());
    auto *lblStart = new QLabel(Text(5002), grpBox());
    auto *lblTo = new QLabel(Text(5003), grpBox());
    auto *lblFunctions = new QLabel(Text(5304), grpBox());
    auto *lblLiturgies = new QLabel(Text(5305), grpBox());
    grid->addWidget(lblStart, 0, 0);
    grid->addWidget(m_start, 0, 1);
    grid->addWidget(lblTo, 0, 2);
    grid->addWidget(m_end, 0, 3);
    grid->addWidget(lblFunctions, 1, 0);
    grid->addWidget(m_functionsField, 1, 1, 1, 3);
    grid->addWidget(lblLiturgies, 2, 0);
    grid->addWidget(m_templatesField, 2, 1, 1, 3);
    grid->addWidget(m_status, 3, 0, 1, 4);
    chkShow()->hide();
    setWindowTitle(Text(5200));
    grpBox()->setTitle(Text(5202));
    btnOK()->setText(Text(5016));
    btnCancel()->setText(Text(5017));
    btnHelp()->setText(Text(5018));

    QDate start;
    QDate end;
    QString startText;
    QString endText;
    try {
        startText = RvEvents()->GetUserSetting(StartSetting, QString());
        endText = RvEvents()->GetUserSetting(EndSetting, QString());
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("FormCreate"), e);
    }
    InitialPeriod(startText, endText, QDate::currentDate(), start, end);
    m_start->setDate(start);
    m_end->setDate(end);
    m_loaded = true;
    UpdateLiturgies();
    try {
        FillLists();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("FormCreate"), e);
    }

    connect(m_start, &QDateEdit::dateChanged, this, [this] { UpdateLiturgies(); });
    connect(m_end, &QDateEdit::dateChanged, this, [this] { UpdateLiturgies(); });
    connect(btnOK(), &QPushButton::clicked, this, [this] {
        if (Confirm())
            accept();
    });
    connect(btnCancel(), &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &TfDlgPopUp::helpRequested, this, [] { TconHTMLHelp::ShowTopic(QStringLiteral("Schedule_ministers_aut")); });
}

void TfAutoScheduleStart::InitialPeriod(const QString &startText, const QString &endText, const QDate &today, QDate &start,
                                        QDate &end)
{
    start = startText.isEmpty() ? today : TRecurrence::ParseDate(startText);
    end = endText.isEmpty() ? start.addMonths(3) : TRecurrence::ParseDate(endText);
    if (!start.isValid() || !end.isValid()) {
        start = today;
        end = today.addMonths(1);
    }
}

QString TfAutoScheduleStart::CheckedText(const QListWidget &list, const QString &placeholder)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->checkState() == Qt::Checked)
            texts << list.item(i)->text();
    return texts.isEmpty() ? placeholder : texts.join(QLatin1Char(','));
}

void TfAutoScheduleStart::FillLists()
{
    TDAEvents &dm = *RvEvents()->DataModule();
    if (!dm.MinistryFunctions.GetActive())
        dm.MinistryFunctions.Open();
    if (!dm.LiturgyTemplates.GetActive())
        dm.LiturgyTemplates.Open();
    if (!dm.DALocations.GetActive())
        dm.DALocations.Open();
    m_functions->clear();
    TDACDSDataTable &functions = dm.MinistryFunctions;
    for (int i = 0; i < functions.GetRecordCount(); ++i)
        AddChecked(m_functions, functions.ValueAt(i, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString(),
                   functions.ValueAt(i, functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"))).toString());
    m_templates->clear();
    TDACDSDataTable &templates = dm.LiturgyTemplates;
    TDACDSDataTable &locations = dm.DALocations;
    for (int i = 0; i < templates.GetRecordCount(); ++i) {
        const QString location = templates.ValueAt(i, templates.FieldIndex(QStringLiteral("F_LocationID"))).toString();
        QString locationName;
        for (int l = 0; l < locations.GetRecordCount(); ++l)
            if (locations.ValueAt(l, locations.FieldIndex(QStringLiteral("PK_LocationID"))).toString() == location)
                locationName = locations.ValueAt(l, locations.FieldIndex(QStringLiteral("LocationName"))).toString();
        AddChecked(m_templates,
                   templates.ValueAt(i, templates.FieldIndex(QStringLiteral("LiturgyTemplateName"))).toString() + QStringLiteral(" (")
                       + locationName + QLatin1Char(')'),
                   templates.ValueAt(i, templates.FieldIndex(QStringLiteral("PK_LiturgyTemplateID"))).toString());
    }
    m_functionsField->setText(Text(5302));
    m_templatesField->setText(Text(5303));
}

void TfAutoScheduleStart::UpdateLiturgies()
{
    if (!m_loaded)
        return;
    try {
        LiturgyCount = RvEvents()->DataModule()->LiturgiesInPeriode(QDateTime(m_end->date(), QTime(0, 0)),
                                                                    QDateTime(m_start->date(), QTime(0, 0)));
    } catch (const std::exception &e) {
        LiturgyCount = 0;
        QorLogFailure(RvEvents(), QStringLiteral("UpdateLiturgies"), e);
    }
    QString status = Text(5500);
    status.replace(QStringLiteral("%d"), QString::number(LiturgyCount));
    m_status->setText(status);
    UpdateOk();
}

QString TfAutoScheduleStart::StatusText() const
{
    return m_status->text();
}

void TfAutoScheduleStart::UpdateOk()
{
    btnOK()->setEnabled(LiturgyCount > 0);
}

bool TfAutoScheduleStart::Confirm()
{
    try {
        btnOK()->setFocus();
        QCoreApplication::processEvents();
        StartDate = m_start->date();
        EndDate = QDateTime(m_end->date(), QTime(0, 0));
        FunctionIDs = CheckedIds(*m_functions);
        TemplateIDs = CheckedIds(*m_templates);
        try {
            RvEvents()->SetUserSetting(StartSetting, TRecurrence::DateText(StartDate));
            RvEvents()->SetUserSetting(EndSetting, TRecurrence::DateText(m_end->date()));
        } catch (const std::exception &e) {
            // Remembering the period is a convenience; the run the user asked for goes on.
            QorLogFailure(RvEvents(), QStringLiteral("btnOKClick"), e);
        }
        EndDate = EndDate.addDays(1);
        return true;
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("btnOKClick"), e);
        return false;
    }
}

bool TfAutoScheduleStart::StartRun(QWidget *parent)
{
    TfAutoScheduleStart dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return RvEvents()->RunAutoSchedule(dialog.TemplateIDs, dialog.FunctionIDs, QDateTime(dialog.StartDate, QTime(0, 0)),
                                       dialog.EndDate);
}
