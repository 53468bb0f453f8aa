// Build step: turns a Markdown document of docs/ into the PDF the client ships beside itself
// (the getting-started guide). Runs on the build machine without a display; it never runs at
// the user's.
#include <QFile>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

namespace {

constexpr int kResolution = 300;         // dots per inch of the written pages
constexpr qreal kMarginMillimetres = 20; // on every side of an A4 page
constexpr int kFontPoints = 10;

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: GuidePdf <document.md> <output.pdf>\n");
        return 2;
    }
    QFile source(arguments[1]);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "GuidePdf: cannot read %s: %s\n", qPrintable(arguments[1]), qPrintable(source.errorString()));
        return 1;
    }
    const QString markdown = QString::fromUtf8(source.readAll());

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(kFontPoints);
    document.setDefaultFont(font);
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    // The first heading is the document's title.
    const QString title = markdown.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('#')).trimmed();

    QPdfWriter writer(arguments[2]);
    writer.setResolution(kResolution);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Kestrova"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMillimetres, kMarginMillimetres, kMarginMillimetres, kMarginMillimetres),
                                     QPageLayout::Millimeter));
    document.print(&writer);
    if (!QFile::exists(arguments[2])) {
        std::fprintf(stderr, "GuidePdf: %s was not written\n", qPrintable(arguments[2]));
        return 1;
    }
    return 0;
}
