// A save refused because another planner changed or deleted a row since it was read. Every
// window that saves tells the planner the same way which row it was, keeps what he typed and
// lets him choose to load the row as stored before he saves again.
#pragma once

#include "ui/UiExport.h"

#include <QString>

class EDAChangedByAnotherUser;
class QWidget;

// Asks through the prompt service with question (%1 names the row); on Yes the refused row is
// read again as stored, dropping his change to it, and true is answered. On No everything he
// changed stays pending for the next save.
UI_EXPORT bool OfferStoredRow(QWidget *parent, const EDAChangedByAnotherUser &refusal, const QString &caption,
                              const QString &question, const QString &rowName);
