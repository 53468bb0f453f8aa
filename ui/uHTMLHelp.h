// The application's help: local HTML pages in the help folder beside the program (the folder of
// the configured help file), one page per topic name. Every help request of the host and of its
// plug-ins is answered here, never by anything else: the request becomes the command the help
// viewer of old was given, and the command opens a page in the desktop's browser.
#pragma once

#include "ui/UiExport.h"

#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>

class UI_EXPORT TconHTMLHelp
{
public:
    // What callers ask for.
    enum Request { Context = 1, Quit = 2, Contents = 3, ContextPopup = 8, Finder = 11, Key = 257 };
    // What the viewer is told.
    enum Command { DisplayTopic = 0, DisplayToc = 1, DisplayIndex = 2, DisplayContext = 15, CloseAll = 18 };

    struct TCall
    {
        int Command = DisplayTopic;
        QVariant Data;
    };
    using Opener = std::function<bool(const QUrl &page)>;

    // The command and data for a request: context help shows the context number, quit closes
    // everything, contents the table of contents, a finder request and a key the request's data,
    // anything else the default topic.
    static TCall Map(int request, const QVariant &data);

    // From program start to its end; without it requests open nothing.
    static void Install(const QString &helpFile);
    static void Remove();
    // What opens a page: the desktop's browser, unless a test sets another (kept across installs;
    // an empty one goes back to the browser).
    static void SetOpener(Opener opener);
    static bool Installed();
    static QString HelpFile();

    // Told, with the page's path, when no program opens an existing page.
    static inline const QString NotOpenedText = QStringLiteral("No program on this computer opens the help pages.\nThis page is %1.");

    // Answers a request; true when a page was opened.
    static bool HelpCommand(int request, const QVariant &data = {});
    // The topic's page ("Login_Dialog" opens "Login_Dialog.html", found without regard to case).
    static bool ShowTopic(const QString &topic);
    // The page a command opens: the topic's page, or the contents page when there is no such
    // page; empty for closing.
    static QString PageFor(const TCall &call);
};
