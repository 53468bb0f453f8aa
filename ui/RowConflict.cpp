#include "ui/RowConflict.h"

#include "dataaccess/TDACDSDataTable.h"
#include "ui/PromptService.h"

bool OfferStoredRow(QWidget *parent, const EDAChangedByAnotherUser &refusal, const QString &caption, const QString &question,
                    const QString &rowName)
{
    const QString name = rowName.trimmed().isEmpty() ? refusal.Table->GetLogicalName() : rowName.trimmed();
    if (Prompt().Ask(parent, QMessageBox::Warning, caption, question.arg(name), QMessageBox::Yes | QMessageBox::No,
                     QMessageBox::No) != QMessageBox::Yes)
        return false;
    refusal.Table->ReloadRow(refusal.RecID);
    return true;
}
