// The host's report operation offscreen against a real server: the chooser of each category
// reaching the preview with its request and the rendered report; "Selected" with nothing
// selected; the Word output read back with python-docx and its data file; and the preview
// operation itself: no data, direct PDF, the printer, the viewer's exports read back, Escape
// and a cancelled save dialog, and the report designer opened from the viewer and its gate.
#include "testsupport/ReportServerFixture.h"

#include "client/uDMClient.h"
#include "client/uReportChooser.h"
#include "client/uReportPreview.h"
#include "client/uWordReport.h"
#include "client/ufReports.h"
#include "ui/DialogService.h"
#include "ui/PromptService.h"
#include "ui/ufPreview.h"
#include "ui/ufReportDesigner.h"

#include "dataaccess/TDADataStreamer.h"
#include "foundation/QuorvaLogFile.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportExport.h"
#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>
#include <QListWidget>
#include <QScopeGuard>
#include <QStatusBar>
#include <QDateEdit>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

// Runs step from the event loop once find() answers a window, within the modal loops of the
// code under test; stops when it has run or after ten seconds.
class OnceShown
{
public:
    template <typename Window>
    OnceShown(Window *(*find)(), std::function<void(Window &)> step)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this, find, step] {
            if (Window *window = find()) {
                m_timer.stop();
                m_ran = true;
                step(*window);
            } else if (++m_ticks > 1000) {
                m_timer.stop();
            }
        });
        m_timer.start();
    }
    bool Ran() const { return m_ran; }

private:
    QTimer m_timer;
    bool m_ran = false;
    int m_ticks = 0;
};

// Chooses an export as a user does: a click on the viewer's export button, then a click on the
// entry in the menu it opens. Returns once the choice has run.
void ClickExport(TfPreview &viewer, ReportExportKind kind)
{
    auto *button = viewer.findChild<QToolButton *>(QStringLiteral("btnExport"));
    ASSERT_NE(button, nullptr);
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&poll, &viewer, kind] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            poll.stop();
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(viewer.ExportAction(kind)).center());
        }
    });
    poll.start();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(poll.isActive()) << "the export menu did not open";
}

// A place no one can write to, root included: a folder below a plain file.
QString Unwritable(const QTemporaryDir &folder, const QString &name)
{
    const QString plain = folder.filePath(QStringLiteral("plain"));
    QFile file(plain);
    if (file.open(QIODevice::WriteOnly))
        file.write("not a folder");
    return plain + QLatin1Char('/') + name;
}

QByteArray FileBytes(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Picks the report of this title in the chooser's tree.
void ChooseReport(TfReports &dialog, const QString &title)
{
    QTreeWidget *tree = dialog.tvReports();
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        for (int c = 0; c < tree->topLevelItem(i)->childCount(); ++c)
            if (tree->topLevelItem(i)->child(c)->text(0) == title) {
                tree->setCurrentItem(tree->topLevelItem(i)->child(c));
                return;
            }
    ADD_FAILURE() << "the chooser lists no " << title.toStdString();
}

// What reached the outputs, and what the viewer showed.
struct Outputs
{
    QList<TReportRequest> Requests;
    QStringList WordTemplates;
    QStringList WordDocuments;
    QStringList Opened;
};

// The host's own preview behind a record of its requests; the Word output with the test's
// own way of opening documents (no desktop program starts in a test).
class RecordingOutput : public IReportOutput
{
public:
    RecordingOutput(ReportServer &server, Outputs &outputs) : m_server(server), m_outputs(outputs) {}

    void Preview(const TReportRequest &request) override
    {
        m_outputs.Requests << request;
        THostReportOutput(*m_server.Client).Preview(request);
    }

    void Word(const QString &wordTemplate, const TReportRequest &request) override
    {
        m_outputs.Requests << request;
        m_outputs.WordTemplates << wordTemplate;
        TWordReportHost host = WordHostOf(*m_server.Client);
        host.OpenDocument = [this](const QString &file) {
            m_outputs.Opened << file;
            return true;
        };
        m_outputs.WordDocuments << TWordReport(*m_server.Service, host)
                                       .PreviewWordReport(wordTemplate, request.DataSource, request.OrderBy, request.Criteria);
    }

private:
    ReportServer &m_server;
    Outputs &m_outputs;
};

QString ContactTerm(const QString &key)
{
    return QStringLiteral("(PK_ContactID='%1')").arg(key);
}

class ReportChooserTest : public ReportServerTest
{
protected:
    struct Shown
    {
        bool Viewer = false;
        int Pages = 0;
        QString Text;  // the rendered report as text
    };

    // Opens the chooser for the caller, lets choose work it and then press its action, and
    // closes the viewer that follows, keeping what it showed.
    Shown Run(const QString &category, const QStringList &selection, const std::function<QAction *(TfReports &)> &choose,
              const QString &overrideMarker = {}, const QString &dataSource = {}, const QString &criteria = {})
    {
        Shown shown;
        OnceShown chooser(&TReportChooser::ActiveDialog, std::function<void(TfReports &)>([&choose](TfReports &dialog) {
                              QAction *action = choose(dialog);
                              if (action && action->isEnabled())
                                  action->trigger();
                              else
                                  dialog.acClose()->trigger();
                          }));
        OnceShown viewer(&TReportPreview::ActiveViewer, std::function<void(TfPreview &)>([&shown](TfPreview &preview) {
                             shown.Viewer = true;
                             shown.Pages = preview.PageCount();
                             shown.Text = QString::fromUtf8(ReportExport::ToBytes(*preview.Document(), ReportExportKind::Text));
                             preview.acClose()->trigger();
                         }));
        TReportChooser(*server->Client, std::make_unique<RecordingOutput>(*server, outputs))
            .ShowReportDlg(category, &selection, int(selection.size()), nullptr, 0, QString(), overrideMarker, dataSource, criteria);
        EXPECT_TRUE(chooser.Ran()) << "the chooser did not show";
        return shown;
    }

    Outputs outputs;
    TScriptedPrompt prompt;
    TScriptedDialogs dialogs;
};

} // namespace

// --- the chooser --------------------------------------------------------------------------------

TEST_F(ReportChooserTest, EachCategoryReachesThePreviewWithItsRequestAndTheRenderedReport)
{
    struct Case
    {
        QString Category;
        QStringList Selection;
        QString Title;
        bool Selected;
        TReportRequest Expected;
        QStringList Shows;
        QStringList Leaves;
    };
    const QList<Case> cases = {
        {ReportCategory::Contacts, {ContactTerm(kQuentin), ContactTerm(kZoe)}, QStringLiteral("Contact list"), true,
         {QStringLiteral("ContactList.rtm"), QStringLiteral("rptContacts"), false, {}, false, QStringLiteral("LastName, FirstName"),
          QStringLiteral("((PK_ContactID='%1')) or ((PK_ContactID='%2'))").arg(kQuentin, kZoe)},
         {QStringLiteral("O'Neil"), QStringLiteral("Ølstrup-Дмитриев")},
         {QStringLiteral("Baker")}},
        {ReportCategory::Families, {QStringLiteral("(PK_FamilyID='%1')").arg(kOlberg)}, QStringLiteral("Family list"), false,
         {QStringLiteral("FamilyList.rtm"), QStringLiteral("rptFamilyList"), false, {}, false, QStringLiteral("Name, PK_FamilyID, MemberName"),
          QStringLiteral(" NOT PK_FamilyID IS NULL")},
         {QStringLiteral("Adams, Mr John"), QStringLiteral("Ølstrup-Дмитриев, Zoë \"Zizi\"")},
         {}},
        {ReportCategory::SystemSettings, {}, QStringLiteral("Locations"), false,
         {QStringLiteral("Locations.rtm"), QStringLiteral("rptDALocations"), false, {}, false, QStringLiteral("LocationName"), {}},
         {QStringLiteral("St. Mary")},
         {}},
        {ReportCategory::Schedule, {}, QStringLiteral("Ministry schedule"), false,
         {QStringLiteral("MinistrySchedule.rtm"), QStringLiteral("rptMinistrySchedulePeriod"), false, {}, false,
          QStringLiteral("tblEvents.StartDateTime, LocationName, LiturgyTemplateName, MinistryFunctionName, Name"),
          QStringLiteral(" tblEvents.StartDateTime >= #03/09/2026# AND tblEvents.StartDateTime < #03/15/2026#")},
         {QStringLiteral("O'Neil")},
         {QStringLiteral("Adams"), QStringLiteral("Ølstrup")}},
        {ReportCategory::Calendar, {QStringLiteral("{E2}")}, QStringLiteral("Scheduled ministers"), false,
         {QStringLiteral("rptMinisterScheduleP.rtm"), QStringLiteral("rptScheduledMinisters"), false, {}, false,
          QStringLiteral("Sortkey, Name, tblEvents.StartDateTime"),
          QStringLiteral(" tblEvents.StartDateTime >= #03/09/2026# AND tblEvents.StartDateTime < #03/15/2026#")},
         {QStringLiteral("O'Neil")},
         {QStringLiteral("Baker")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Title.toStdString());
        outputs = {};
        const Shown shown = Run(c.Category, c.Selection, [&c](TfReports &dialog) {
            ChooseReport(dialog, c.Title);
            (c.Selected ? dialog.rbSelected() : dialog.rbAll())->setChecked(true);
            dialog.dtFrom()->setDate(QDate(2026, 3, 9));
            dialog.dtTo()->setDate(QDate(2026, 3, 14));
            return dialog.acPreview();
        });
        ASSERT_EQ(outputs.Requests.size(), 1);
        EXPECT_EQ(outputs.Requests[0], c.Expected) << outputs.Requests[0].Criteria.toStdString();
        EXPECT_TRUE(shown.Viewer);
        EXPECT_GE(shown.Pages, 1);
        for (const QString &text : c.Shows)
            EXPECT_TRUE(shown.Text.contains(text)) << text.toStdString() << "\n" << shown.Text.toStdString();
        for (const QString &text : c.Leaves)
            EXPECT_FALSE(shown.Text.contains(text)) << text.toStdString();
    }
}

TEST_F(ReportChooserTest, AGroupsLabelsTakeTheViewsDataAndCriteria)
{
    const Shown shown = Run(
        ReportCategory::Groups, {}, [](TfReports &dialog) {
            ChooseReport(dialog, QStringLiteral("Group directory"));
            return dialog.acPreview();
        },
        ReportOverrideMarker, QStringLiteral("rptDAContactsByGroups"), QStringLiteral(" tblGroups.PK_GroupID='%1'").arg(kLectors));
    ASSERT_EQ(outputs.Requests.size(), 1);
    EXPECT_EQ(outputs.Requests[0].DataSource, QStringLiteral("rptDAContactsByGroups"));
    EXPECT_EQ(outputs.Requests[0].Criteria, QStringLiteral(" tblGroups.PK_GroupID='%1'").arg(kLectors));
    EXPECT_TRUE(shown.Text.contains(QStringLiteral("O'Neil"))) << shown.Text.toStdString();
    EXPECT_FALSE(shown.Text.contains(QStringLiteral("Baker")));
}

TEST_F(ReportChooserTest, SelectedWithNothingSelectedPrintsNothingAndSaysSo)
{
    const Shown shown = Run(ReportCategory::Contacts, {}, [](TfReports &dialog) {
        ChooseReport(dialog, QStringLiteral("Contact list"));
        EXPECT_TRUE(dialog.rbAll()->isChecked());  // it starts on All without a selection
        dialog.rbSelected()->setChecked(true);
        return dialog.acPrint();
    });
    EXPECT_TRUE(outputs.Requests.isEmpty());
    EXPECT_FALSE(shown.Viewer);
    EXPECT_EQ(dialogs.PrintersAsked(), 0);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.startsWith(QStringLiteral("No record is selected")));
}

TEST_F(ReportChooserTest, ClosingTheChooserPrintsNothing)
{
    Run(ReportCategory::Contacts, {ContactTerm(kJohn)}, [](TfReports &dialog) {
        ChooseReport(dialog, QStringLiteral("Contact list"));
        return dialog.acClose();
    });
    EXPECT_TRUE(outputs.Requests.isEmpty());
    EXPECT_TRUE(prompt.Prompts().isEmpty());
}

TEST_F(ReportChooserTest, PrintGoesToThePrinterWithoutTheViewer)
{
    QTemporaryDir folder;
    const QString printed = folder.filePath(QStringLiteral("printed.pdf"));
    dialogs.AnswerPrinter(printed);
    const Shown shown = Run(ReportCategory::Contacts, {ContactTerm(kJohn)}, [](TfReports &dialog) {
        ChooseReport(dialog, QStringLiteral("Contact list"));
        return dialog.acPrint();
    });
    ASSERT_EQ(outputs.Requests.size(), 1);
    EXPECT_TRUE(outputs.Requests[0].Print);
    EXPECT_FALSE(shown.Viewer);
    EXPECT_EQ(dialogs.PrintersAsked(), 1);
    const QStringList pages = PdfPages(FileBytes(printed));
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Adams")));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("Baker")));
}

// --- Word output ----------------------------------------------------------------------------------

TEST_F(ReportChooserTest, TheWordOutputMergesOneBlockPerRowWithTheRowsValues)
{
    QTemporaryDir folder;
    const QString document = folder.filePath(QStringLiteral("contacts.docx"));
    dialogs.AnswerSave(document);
    Run(ReportCategory::Contacts, {ContactTerm(kJohn), ContactTerm(kQuentin), ContactTerm(kZoe)}, [](TfReports &dialog) {
        ChooseReport(dialog, QStringLiteral("Contact list"));
        dialog.rbSelected()->setChecked(true);
        return dialog.acWord();
    });
    ASSERT_EQ(outputs.WordTemplates, QStringList{QStringLiteral("ContactList.docx")});
    EXPECT_EQ(outputs.WordDocuments, QStringList{document});
    EXPECT_EQ(outputs.Opened, QStringList{document});
    ASSERT_EQ(dialogs.SavesAsked().size(), 1);
    EXPECT_TRUE(dialogs.SavesAsked()[0].ConfirmOverwrite);

    const DocxText text = DocxRead(document);
    EXPECT_EQ(text.Orientation, QStringLiteral("portrait"));
    const QString body = text.Paragraphs.join(QLatin1Char('\n'));
    // One block per row, in the report's order, each with its own values and no field left.
    const qsizetype adams = body.indexOf(QStringLiteral("John"));
    const qsizetype oneil = body.indexOf(QStringLiteral("O'Neil"));
    const qsizetype olstrup = body.indexOf(QStringLiteral("Ølstrup-Дмитриев"));
    EXPECT_TRUE(adams >= 0 && oneil > adams && olstrup > oneil) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("Zoë \"Zizi\""))) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("Hauptstraße 5")));
    EXPECT_EQ(body.count(QStringLiteral("Springfield")), 1);
    EXPECT_FALSE(body.contains(QStringLiteral("Baker")));
    EXPECT_FALSE(body.contains(QStringLiteral("MERGEFIELD")));
    EXPECT_FALSE(body.contains(QStringLiteral("«")));

    // The data file beside it holds the rows the document was merged from.
    const QString data = QString::fromUtf8(FileBytes(folder.filePath(QStringLiteral("contacts.dat"))));
    EXPECT_TRUE(data.contains(QStringLiteral("Ølstrup-Дмитриев")));
    EXPECT_TRUE(data.contains(QStringLiteral("O'Neil")));
}

TEST_F(ReportChooserTest, TheLandscapeWordTemplateIsTakenForLandscape)
{
    QTemporaryDir folder;
    const QString document = folder.filePath(QStringLiteral("wide.docx"));
    dialogs.AnswerSave(document);
    Run(ReportCategory::Contacts, {ContactTerm(kMary)}, [](TfReports &dialog) {
        ChooseReport(dialog, QStringLiteral("Contact list"));
        dialog.rbSelected()->setChecked(true);
        dialog.rbLandscape()->setChecked(true);
        return dialog.acWord();
    });
    ASSERT_EQ(outputs.WordTemplates, QStringList{QStringLiteral("ContactListL.docx")});
    const DocxText text = DocxRead(document);
    EXPECT_EQ(text.Orientation, QStringLiteral("landscape"));
    EXPECT_TRUE(text.Paragraphs.join(QLatin1Char('\n')).contains(QStringLiteral("Baker")));
}

TEST_F(ReportChooserTest, ACancelledWordSaveWritesNothing)
{
    QTemporaryDir folder;
    dialogs.AnswerSave(QString());
    Run(ReportCategory::Contacts, {ContactTerm(kJohn)}, [](TfReports &dialog) {
        ChooseReport(dialog, QStringLiteral("Contact list"));
        dialog.rbSelected()->setChecked(true);
        return dialog.acWord();
    });
    EXPECT_EQ(outputs.WordDocuments, QStringList{QString()});
    EXPECT_TRUE(outputs.Opened.isEmpty());
}

class WordDataFile : public ReportServerTest
{
protected:
    QString Merge(bool opens = true)
    {
        TWordReportHost host = WordHostOf(*server->Client);
        host.OpenDocument = [opens](const QString &) { return opens; };
        return TWordReport(*server->Service, host)
            .PreviewWordReport(QStringLiteral("ContactList.docx"), QStringLiteral("rptContacts"), QStringLiteral("LastName"),
                               ContactTerm(kZoe));
    }

    QTemporaryDir folder;
    const QString document = folder.filePath(QStringLiteral("letter.docx"));
    const QString data = folder.filePath(QStringLiteral("letter.dat"));
    TScriptedPrompt prompt;
    TScriptedDialogs dialogs;
};

TEST_F(WordDataFile, ADifferentDataFileIsReplacedOnlyWhenTheUserAgrees)
{
    WriteBytes(data, "the user's own notes");
    // No, then Cancel in the save dialog asked again: the document and the notes stay as they were.
    dialogs.AnswerSave(document);
    prompt.Answer(QMessageBox::No);
    EXPECT_TRUE(Merge().isEmpty());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(data));
    EXPECT_EQ(prompt.Prompts()[0].DefaultButton, QMessageBox::No);
    EXPECT_EQ(dialogs.SavesAsked().size(), 2);
    EXPECT_EQ(FileBytes(data), QByteArray("the user's own notes"));
    EXPECT_FALSE(QFile::exists(document));

    // Yes: replaced by the report's data.
    dialogs.AnswerSave(document);
    prompt.Answer(QMessageBox::Yes);
    EXPECT_EQ(Merge(), document);
    EXPECT_TRUE(QString::fromUtf8(FileBytes(data)).contains(QStringLiteral("Ølstrup-Дмитриев")));
    EXPECT_TRUE(QFile::exists(document));

    // The same data again needs no question.
    dialogs.AnswerSave(document);
    EXPECT_EQ(Merge(), document);
    EXPECT_EQ(prompt.Prompts().size(), 2);
}

TEST_F(WordDataFile, ADocumentNoProgramOpensIsKeptAndTheUserToldWhereItIs)
{
    dialogs.AnswerSave(document);
    EXPECT_EQ(Merge(false), document);
    EXPECT_TRUE(QFile::exists(document));
    EXPECT_TRUE(QFile::exists(data));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Warning);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("No program on this computer opens Word documents")));
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QDir::toNativeSeparators(document))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QDir::toNativeSeparators(data)));
}

TEST_F(WordDataFile, APlaceThatCannotBeWrittenIsToldAndAnotherIsAskedFor)
{
    const QString refused = Unwritable(folder, QStringLiteral("letter.docx"));
    dialogs.AnswerSave(refused);
    dialogs.AnswerSave(document);
    EXPECT_EQ(Merge(), document);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral(" cannot be written: "))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("plain/letter."))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_EQ(dialogs.SavesAsked().size(), 2);
    EXPECT_TRUE(QFile::exists(document));
    EXPECT_TRUE(QFile::exists(data));
}

TEST_F(WordDataFile, NoRowsSaysSoAndWritesNothing)
{
    TWordReportHost host = WordHostOf(*server->Client);
    host.OpenDocument = [](const QString &) { return true; };
    EXPECT_TRUE(TWordReport(*server->Service, host)
                    .PreviewWordReport(QStringLiteral("ContactList.docx"), QStringLiteral("rptContacts"), QString(),
                                       QStringLiteral("(PK_ContactID='{C9999999-0000-0000-0000-000000000000}')"))
                    .isEmpty());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, TReportPreview::NoInformation);
    EXPECT_TRUE(dialogs.SavesAsked().isEmpty());
}

// --- the preview operation ----------------------------------------------------------------------

class PreviewOperation : public ReportServerTest
{
protected:
    TReportRequest Contacts(const QString &criteria = {}) const
    {
        return {QStringLiteral("ContactList.rtm"), QStringLiteral("rptContacts"), false, {}, false, QStringLiteral("LastName, FirstName"),
                criteria};
    }

    bool Preview(const TReportRequest &request) { return server->Client->PreviewReport(request.TemplateName, request.DataSource,
                                                                                         request.ShowSetupDialog, request.TargetPdf,
                                                                                         request.Print, request.OrderBy, request.Criteria); }

    // Previews the request and works the viewer with step once it shows.
    bool WithViewer(const TReportRequest &request, const std::function<void(TfPreview &)> &step)
    {
        OnceShown shown(&TReportPreview::ActiveViewer, step);
        const bool result = Preview(request);
        EXPECT_TRUE(shown.Ran()) << "no viewer";
        return result;
    }

    QTemporaryDir folder;
    TScriptedPrompt prompt;
    TScriptedDialogs dialogs;
};

TEST_F(PreviewOperation, AnEmptyDatasetShowsTheMessageAndNoViewer)
{
    OnceShown viewer(&TReportPreview::ActiveViewer, std::function<void(TfPreview &)>([](TfPreview &v) { v.acClose()->trigger(); }));
    EXPECT_FALSE(Preview(Contacts(QStringLiteral("(PK_ContactID='{C9999999-0000-0000-0000-000000000000}')"))));
    EXPECT_FALSE(viewer.Ran());
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("No information available to print."));
}

TEST_F(PreviewOperation, ADirectPdfIsWrittenWithoutAViewer)
{
    OnceShown viewer(&TReportPreview::ActiveViewer, std::function<void(TfPreview &)>([](TfPreview &v) { v.acClose()->trigger(); }));
    TReportRequest request = Contacts();
    request.TargetPdf = folder.filePath(QStringLiteral("mail.pdf"));
    EXPECT_TRUE(Preview(request));
    EXPECT_FALSE(viewer.Ran());
    EXPECT_TRUE(dialogs.SavesAsked().isEmpty());
    const QStringList pages = PdfPages(FileBytes(request.TargetPdf));
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Contact list")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("O'Neil")));

    // With the setup dialog the user picks the file; Cancel writes none.
    request.ShowSetupDialog = true;
    request.TargetPdf = folder.filePath(QStringLiteral("asked.pdf"));
    dialogs.AnswerSave(QString());
    EXPECT_FALSE(Preview(request));
    EXPECT_EQ(dialogs.SavesAsked().size(), 1);
    EXPECT_FALSE(QFile::exists(request.TargetPdf));
}

TEST_F(PreviewOperation, EachExportOfTheViewerGoesWhereTheUserChoseAndReadsBack)
{
    struct Case
    {
        ReportExportKind Kind;
        QString File;
    };
    const QList<Case> cases = {{ReportExportKind::Pdf, QStringLiteral("out.pdf")},  {ReportExportKind::Xlsx, QStringLiteral("out.xlsx")},
                               {ReportExportKind::Text, QStringLiteral("out.txt")}, {ReportExportKind::Html, QStringLiteral("out.html")},
                               {ReportExportKind::Rtf, QStringLiteral("out.rtf")}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.File.toStdString());
        const QString file = folder.filePath(c.File);
        dialogs.AnswerSave(file);
        const qsizetype told = prompt.Prompts().size();
        EXPECT_TRUE(WithViewer(Contacts(ContactTerm(kQuentin)), [&c](TfPreview &viewer) { viewer.ExportAction(c.Kind)->trigger(); }));
        ASSERT_TRUE(QFile::exists(file));
        // The windows close, and the user is told where the file went.
        ASSERT_EQ(prompt.Prompts().size(), told + 1);
        EXPECT_TRUE(prompt.Prompts().last().Text.contains(QDir::toNativeSeparators(file))) << prompt.Prompts().last().Text.toStdString();
        const QByteArray bytes = FileBytes(file);
        switch (c.Kind) {
        case ReportExportKind::Pdf: {
            const QStringList pages = PdfPages(bytes);
            ASSERT_FALSE(pages.isEmpty());
            EXPECT_TRUE(pages[0].contains(QStringLiteral("O'Neil")));
            EXPECT_TRUE(pages[0].contains(QStringLiteral("Peoria")));
            break;
        }
        case ReportExportKind::Xlsx: {
            QStringList values;
            for (const XlsxCell &cell : XlsxCells(file))
                values << cell.Value;
            EXPECT_TRUE(values.join(QLatin1Char('|')).contains(QStringLiteral("O'Neil"))) << values.join(QLatin1Char('|')).toStdString();
            EXPECT_TRUE(values.join(QLatin1Char('|')).contains(QStringLiteral("Peoria")));
            break;
        }
        default:
            // HTML may write the apostrophe as an entity.
            EXPECT_TRUE(bytes.contains("Neil")) << bytes.toStdString();
            EXPECT_TRUE(bytes.contains("Peoria"));
            EXPECT_FALSE(bytes.contains("Baker"));
        }
    }
    ASSERT_EQ(dialogs.SavesAsked().size(), cases.size());
    EXPECT_EQ(dialogs.SavesAsked()[0].Title, QStringLiteral("Export as PDF document"));
    EXPECT_TRUE(dialogs.SavesAsked()[0].Filter.contains(QStringLiteral("*.pdf")));
    EXPECT_TRUE(dialogs.SavesAsked()[0].ConfirmOverwrite);
}

TEST_F(PreviewOperation, EscapeAndACancelledSaveDialogExportNothing)
{
    EXPECT_TRUE(WithViewer(Contacts(), [](TfPreview &viewer) {
        viewer.activateWindow();
        if (!QTest::qWaitForWindowActive(&viewer)) {
            ADD_FAILURE() << "the viewer never became the active window";
            viewer.acClose()->trigger();
            return;
        }
        QTest::keyClick(&viewer, Qt::Key_Escape);
    }));
    EXPECT_TRUE(dialogs.SavesAsked().isEmpty());

    dialogs.AnswerSave(QString());
    EXPECT_TRUE(WithViewer(Contacts(), [](TfPreview &viewer) { viewer.ExportAction(ReportExportKind::Pdf)->trigger(); }));
    EXPECT_EQ(dialogs.SavesAsked().size(), 1);
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

TEST_F(PreviewOperation, AnExportThatCannotBeWrittenIsToldAndTheViewerStaysForAnotherPlace)
{
    const QString refused = Unwritable(folder, QStringLiteral("out.pdf"));
    const QString second = folder.filePath(QStringLiteral("second.pdf"));
    dialogs.AnswerSave(refused);
    dialogs.AnswerSave(second);
    bool openAfterRefusal = false;
    EXPECT_TRUE(WithViewer(Contacts(ContactTerm(kQuentin)), [&](TfPreview &viewer) {
        ClickExport(viewer, ReportExportKind::Pdf);
        openAfterRefusal = viewer.isVisible() && TReportPreview::ActiveViewer() == &viewer;
        ClickExport(viewer, ReportExportKind::Pdf);
        if (viewer.isVisible())
            viewer.acClose()->trigger();
    }));
    EXPECT_TRUE(openAfterRefusal);
    // The refusal, then where the second try went.
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[1].Icon, QMessageBox::Information);
    EXPECT_TRUE(prompt.Prompts()[1].Text.contains(QDir::toNativeSeparators(second))) << prompt.Prompts()[1].Text.toStdString();
    const QString told = prompt.Prompts()[0].Text;
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Warning);
    EXPECT_TRUE(told.contains(QDir::toNativeSeparators(refused) + QStringLiteral(" cannot be written: "))) << told.toStdString();
    EXPECT_FALSE(told.endsWith(QStringLiteral("written: "))) << "the reason is missing";
    EXPECT_EQ(dialogs.SavesAsked().size(), 2);
    EXPECT_TRUE(PdfPages(FileBytes(second)).join(QString()).contains(QStringLiteral("O'Neil")));
}

TEST_F(PreviewOperation, ADirectPdfThatCannotBeWrittenIsTold)
{
    TReportRequest request = Contacts();
    request.TargetPdf = Unwritable(folder, QStringLiteral("mail.pdf"));
    EXPECT_FALSE(Preview(request));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QDir::toNativeSeparators(request.TargetPdf))) << prompt.Prompts()[0].Text.toStdString();
}

TEST_F(PreviewOperation, TheViewerPagesThroughTheReportAndPrintsFromIt)
{
    const QString printed = folder.filePath(QStringLiteral("printed.pdf"));
    dialogs.AnswerPrinter(printed);
    int pages = 0;
    int last = -1;
    EXPECT_TRUE(WithViewer(Contacts(), [&](TfPreview &viewer) {
        pages = viewer.PageCount();
        viewer.acLast()->trigger();
        last = viewer.CurrentPage();
        viewer.acPrint()->trigger();
        viewer.acClose()->trigger();
    }));
    EXPECT_GE(pages, 1);
    EXPECT_EQ(last, pages - 1);
    EXPECT_EQ(int(PdfPages(FileBytes(printed)).size()), pages);
}

TEST_F(PreviewOperation, AnUnknownTemplateIsLoggedAndToldWithoutAViewer)
{
    QTemporaryDir logFolder;
    TQorLog log;
    log.SetFileName(logFolder.filePath(QStringLiteral("session.txt")));
    SessionLog = &log;
    TReportRequest request = Contacts();
    request.TemplateName = QStringLiteral("NoSuchReport.rtm");
    EXPECT_FALSE(Preview(request));
    SessionLog = nullptr;
    EXPECT_TRUE(QString::fromUtf8(FileBytes(log.FileName())).contains(QStringLiteral("PreviewReport (NoSuchReport.rtm)")));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("Missing reportfile"))) << prompt.Prompts()[0].Text.toStdString();
}

TEST_F(PreviewOperation, TheDesignerOpensOnThePreviewedTemplateAndTheViewerAndTheSavedFileShowTheChange)
{
    const QString saved = folder.filePath(QStringLiteral("Changed.rtm"));
    dialogs.AnswerSave(saved);
    QString caption;
    QStringList fields;
    QRectF before;
    QRectF after;
    OnceShown designer(&TfReportDesigner::Active, std::function<void(TfReportDesigner &)>([&](TfReportDesigner &d) {
        caption = d.windowTitle();
        for (int i = 0; i < d.lwFields()->count(); ++i)
            fields << d.lwFields()->item(i)->text();
        // The detail band's name field: dragged 40 pixels right, then one grid step down with the keyboard.
        const ReportItemRef name{{ReportBandKind::Detail}, 0};
        ASSERT_EQ(d.Editor().Item(name).FieldName, QStringLiteral("Name"));
        before = d.Editor().Item(name).Rect;
        const QPoint grip = d.ItemArea(name).center();
        QTest::mousePress(d.Canvas(), Qt::LeftButton, {}, grip);
        QTest::mouseMove(d.Canvas(), grip + QPoint(20, 0));
        QTest::mouseMove(d.Canvas(), grip + QPoint(40, 0));
        QTest::mouseRelease(d.Canvas(), Qt::LeftButton, {}, grip + QPoint(40, 0));
        QTest::keyClick(d.Canvas(), Qt::Key_Down);
        // The field it shows, chosen from the data source's fields.
        d.cbField()->setCurrentIndex(d.cbField()->findText(QStringLiteral("Postal")));
        after = d.Editor().Item(name).Rect;
        d.acSave()->trigger();
        d.acClose()->trigger();
    }));
    QStringList shownAfter;
    EXPECT_TRUE(WithViewer(Contacts(ContactTerm(kQuentin)), [&shownAfter](TfPreview &viewer) {
        ASSERT_TRUE(viewer.acReportDesigner()->isVisible());
        viewer.acReportDesigner()->trigger();
        // The viewer goes on with the report as the designer left it.
        ASSERT_NE(viewer.Document(), nullptr);
        for (const ReportElement &element : viewer.Document()->Page(0).Elements)
            shownAfter << element.Text;
        viewer.acClose()->trigger();
    }));
    ASSERT_TRUE(designer.Ran()) << "no designer";
    EXPECT_EQ(shownAfter.join(QLatin1Char('\n')).count(QStringLiteral("Peoria")), 2) << shownAfter.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(shownAfter.join(QLatin1Char('\n')).contains(QStringLiteral("O'Neil")));
    EXPECT_EQ(caption, QStringLiteral("Report Designer - Powered by Quorva"));
    EXPECT_TRUE(fields.contains(QStringLiteral("Postal")));
    EXPECT_NEAR(after.left() - before.left(), 40 / TfReportDesigner::kScale, 72.0 / 25.4);
    EXPECT_GT(after.top(), before.top());
    ASSERT_EQ(dialogs.SavesAsked().size(), 1);

    // The engine reads the saved file and prints the town where the name was.
    const ReportTemplate changed = ReportTemplate::FromXml(FileBytes(saved));
    EXPECT_EQ(changed.Detail->Items.at(0).FieldName, QStringLiteral("Postal"));
    EXPECT_NEAR(changed.Detail->Items.at(0).Rect.left(), after.left(), 0.001);
    EXPECT_NEAR(changed.Detail->Items.at(0).Rect.top(), after.top(), 0.001);
    const QList<TDATableData> data = TDADataStreamer::ReadDatasets(
        server->Service->GetReportDataAsDataset(QStringLiteral("rptContacts"), ContactTerm(kQuentin), QString())->Bytes());
    ASSERT_EQ(data.size(), 1);
    const QStringList pages = PdfPages(ReportExport::ToBytes(ReportEngine::Render(changed, data.first()), ReportExportKind::Pdf));
    ASSERT_EQ(pages.size(), 1);
    const QString town = data.first().Rows.at(0).at(DAFindField(data.first().Fields, QStringLiteral("Postal"))).toString();
    ASSERT_TRUE(town.contains(QStringLiteral("Peoria")));
    // Twice: in the address and where the name was.
    EXPECT_EQ(pages[0].count(QStringLiteral("Peoria")), 2) << pages[0].toStdString();
    EXPECT_FALSE(pages[0].contains(QStringLiteral("O'Neil"))) << pages[0].toStdString();
    // The designer kept its settings in the user's configuration folder.
    EXPECT_TRUE(QFileInfo::exists(server->Program->Path(QStringLiteral("registry/ReportDesigner.ini"))));
}

TEST_F(PreviewOperation, WithTheDesignerSwitchedOffNeitherTheActionNorTheGestureOpensIt)
{
    server->Program->SetSetting(QStringLiteral("Enable Report Designer"), QStringLiteral("False"));
    const auto restore = qScopeGuard([this] { server->Program->SetSetting(QStringLiteral("Enable Report Designer"), QStringLiteral("True")); });
    bool visible = true;
    OnceShown designer(&TfReportDesigner::Active, std::function<void(TfReportDesigner &)>([](TfReportDesigner &d) { d.acClose()->trigger(); }));
    EXPECT_TRUE(WithViewer(Contacts(ContactTerm(kQuentin)), [&visible](TfPreview &viewer) {
        visible = viewer.acReportDesigner()->isVisible();
        viewer.acReportDesigner()->trigger();
        QWidget *bar = viewer.statusBar();
        QTest::mouseDClick(bar, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, bar->rect().center());
        viewer.acClose()->trigger();
    }));
    EXPECT_FALSE(visible);
    EXPECT_FALSE(designer.Ran());
}
