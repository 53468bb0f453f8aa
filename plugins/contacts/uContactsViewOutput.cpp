#include "plugins/contacts/uContactsView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactsViewRules.h"
#include "plugins/contacts/uDAContacts.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"

#include <QApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QTableView>
#include <QTreeWidget>

using namespace ContactsViewRules;
using namespace Quorva;

namespace {

const QString kPrintCategory = QStringLiteral("{00000000-0000-0000-0000-000000000001}");

// Chooses the named report in the host's report chooser when that shows.
class TChooseReportOnShow : public QObject
{
public:
    explicit TChooseReportOnShow(QString title) : m_title(std::move(title)) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || watched->objectName() != QLatin1String("TfReports"))
            return false;
        auto *tree = watched->findChild<QTreeWidget *>(QStringLiteral("tvReports"));
        for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
            for (int c = 0; c < tree->topLevelItem(i)->childCount(); ++c)
                if (tree->topLevelItem(i)->child(c)->text(0) == m_title) {
                    tree->setCurrentItem(tree->topLevelItem(i)->child(c));
                    return false;
                }
        return false;
    }

private:
    QString m_title;
};

} // namespace

void TplgContacts::FillReportMenus()
{
    QMenu *reports = Menu(QStringLiteral("mnuReports"));
    QMenu *labels = Menu(QStringLiteral("mnuLabels"));
    reports->clear();
    labels->clear();
    m_reportMenusFilled = true;
    try {
        QString text;
        if (auto host = host_cast<IReportHost>(Controller().Host()))
            host->GetReportDefinitionsText(kPrintCategory, text);
        // Fields: ID, category, type, name, title; type 1 is a label report.
        for (const QString &line : text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
            const QStringList fields = SplitCommaText(line);
            if (fields.size() < 5)
                continue;
            const bool label = fields[2].compare(QStringLiteral("{00000000-0000-0000-0000-000000000001}"), Qt::CaseInsensitive) == 0;
            QMenu *into = label ? labels : reports;
            connect(into->addAction(fields[4]), &QAction::triggered, this, [this, title = fields[4]] { Print(title); });
        }
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("FillReportMenus"), e);
    }
    for (QMenu *menu : {reports, labels})
        if (menu->isEmpty())
            menu->addAction(Text(1243))->setEnabled(false);
}

void TplgContacts::Print(const QString &report)
{
    try {
        const QStringList selection = SelectionConditions(KeyField, SelectedKeys());
        // The host's chooser opens at its first report: an entry of the Reports or Labels menu
        // chooses its own report in it as it shows.
        TChooseReportOnShow choose(report);
        if (!report.isEmpty())
            qApp->installEventFilter(&choose);
        Controller().ShowReportDlg(kPrintCategory, &selection, Data().DAContactList().GetRecordCount(), nullptr, 0, {}, {}, {}, {});
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("Contacts:acHYmnuPrintExecute"), e);
    }
}

void TplgContacts::Preview()
{
    try {
        PreviewGrid(m_table, Text(8501) + Text(8512), Text(8502));
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acHYPreviewExecute"), e);
    }
}

void TplgContacts::SendMail()
{
    TBusyCursor busy;
    try {
        QList<QPair<QString, QString>> selected;
        const QList<int> rows = SelectedRows();
        for (int row : rows)
            selected << QPair{KeyAt(row), FieldAt(row, QStringLiteral("EMail1"))};
        const TMailSplit split = SplitMail(selected);
        if (!split.LeftOut.isEmpty() &&
            Prompt().Ask(this, QMessageBox::Information, Text(1460), Text(1462), QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
                QMessageBox::Yes)
            return;
        Controller().SendSimpleEmail(split.Addresses);
        if (!split.LeftOut.isEmpty()) {
            // Those left out stay selected, so the planner sees who still needs word.
            QList<int> leftOut;
            for (int row : rows)
                if (split.LeftOut.contains(KeyAt(row)))
                    leftOut << row;
            SelectRows(leftOut);
        }
    } catch (const std::exception &e) {
        QorLogFailure(&Controller(), QStringLiteral("acEmailExecute"), e);
    }
}

void TplgContacts::Export(quint8 kind)
{
    Controller().ExportGrid(kind, m_table);
}
