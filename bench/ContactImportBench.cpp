// How long the contacts import takes for a large spreadsheet: a workbook of 5,000 people or
// the number given (eight columns, a date of birth each) written with libxlsxwriter, brought in through the
// import wizard (offscreen, the closing question answered Yes) into a real data server on a
// scratch database of the private cluster. Prints the reading, the run, the sending and the
// total, and checks that every person arrived.
//   contact_import_bench [rows]      (needs $KESTROVA_TEST_PG, as scripts/pg url prints it)
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uImport.h"
#include "plugins/contacts/ufImportWizard.h"

#include "testsupport/StandInHost.h"
#include "testsupport/ServiceHarness.h"

#include "ui/PromptService.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>

using namespace kestrova::test;

namespace {

// The goal: 5,000 rows in 15 s; a larger workbook may take as much longer as it is larger.
constexpr qint64 kGoalMsPer5000Rows = 15000;

const char *const kColumns[] = {"FirstName", "LastName", "DateOfBirth", "Street", "City", "Zip", "EMail1", "Phone1"};

bool WriteWorkbook(const QByteArray &path, int rows)
{
    lxw_workbook *book = workbook_new(path.constData());
    if (!book)
        return false;
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    for (int c = 0; c < 8; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), kColumns[c], nullptr);
    for (int r = 1; r <= rows; ++r) {
        const QByteArray n = QByteArray::number(r);
        worksheet_write_string(sheet, lxw_row_t(r), 0, ("Person" + n).constData(), nullptr);
        worksheet_write_string(sheet, lxw_row_t(r), 1, ("Family" + QByteArray::number(r % 700)).constData(), nullptr);
        lxw_datetime born = {1940 + r % 70, 1 + r % 12, 1 + r % 28, 0, 0, 0};
        worksheet_write_datetime(sheet, lxw_row_t(r), 2, &born, date);
        worksheet_write_string(sheet, lxw_row_t(r), 3, (n + " Church Street").constData(), nullptr);
        worksheet_write_string(sheet, lxw_row_t(r), 4, "Springfield", nullptr);
        worksheet_write_string(sheet, lxw_row_t(r), 5, QByteArray::number(r % 99999).rightJustified(5, '0').constData(), nullptr);
        worksheet_write_string(sheet, lxw_row_t(r), 6, ("person" + n + "@example.org").constData(), nullptr);
        worksheet_write_string(sheet, lxw_row_t(r), 7, "(555) 123-4567", nullptr);
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (rows < 1) {
        std::fprintf(stderr, "The number of rows must be a positive number.\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("KESTROVA_TEST_PG")) {
        std::fprintf(stderr, "Set KESTROVA_TEST_PG to the private cluster's URL (scripts/pg url).\n");
        return 2;
    }
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("people.xlsx"));
    if (!WriteWorkbook(QFile::encodeName(file), rows)) {
        std::fprintf(stderr, "The workbook could not be written.\n");
        return 1;
    }

    ServiceServer server;
    server.Start();
    if (!server.db.available()) {
        std::fprintf(stderr, "The private cluster cannot be reached.\n");
        return 2;
    }
    ServiceClient client = server.Administrator();
    TStandInHost host{THostPart::Reports};
    host.Channel = client.Channel;
    host.Message = client.Message;
    host.User.UserID = ServiceServer::kAdministratorId;
    TRvContactsController controller;
    controller.ModuleCreate();
    controller.SetHost(&host);

    QElapsedTimer timer;
    timer.start();
    qint64 readMs = 0;
    qint64 runMs = 0;
    {
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::Yes);
        TfImport wizard(controller);
        wizard.SetTexts();
        wizard.show();
        wizard.ChooseFile(file);
        readMs = timer.elapsed();
        wizard.acNext->trigger();
        for (int r = 0; r < wizard.cxGridFields->rowCount(); ++r)
            wizard.SetMappingField(r, wizard.cxGridFields->item(r, 0)->text());
        // The run, then the question (answered at once), then the sending.
        auto showProgress = wizard.Job().OnProgress;
        wizard.Job().OnProgress = [&](int row, int total) {
            showProgress(row, total);
            if (row == total && runMs == 0)
                runMs = timer.elapsed() - readMs;
        };
        wizard.acNext->trigger();
        // The question and the summary.
        if (prompt.Prompts().size() != 2 || wizard.Imported() != rows) {
            std::fprintf(stderr, "The import did not bring in every person (%lld of %d).\n", static_cast<long long>(wizard.Imported()), rows);
            return 1;
        }
    }
    const qint64 totalMs = timer.elapsed();
    const int stored = server.db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts WHERE F_CreatedUserID = '%1'")
                                            .arg(ServiceServer::kAdministratorId))
                           .toInt();
    controller.SetHost(nullptr);
    controller.ModuleDestroy();
    server.Stop();
    std::printf("contact import of %d spreadsheet rows (8 columns, .xlsx): read %lld ms, run %lld ms, "
                "send and refresh %lld ms, total %.2f s; %d people in the database\n",
                rows, static_cast<long long>(readMs), static_cast<long long>(runMs), static_cast<long long>(totalMs - readMs - runMs),
                double(totalMs) / 1000.0, stored);
    return stored == rows && totalMs < kGoalMsPer5000Rows * std::max(rows, 5000) / 5000 ? 0 : 1;
}
