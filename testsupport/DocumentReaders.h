// The readers that users' own tools rely on, run over files a test wrote: pdftotext
// (poppler-utils) for PDF, python3-openpyxl for spreadsheets and python3-docx for Word files. A missing reader fails the
// test with a message; it never passes it.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova::test {

// Runs a program to its end and answers what it wrote; a failure is a test failure.
inline QByteArray RunReader(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << process.errorString().toStdString() << "\n"
                      << process.readAllStandardError().toStdString();
        return {};
    }
    return process.readAllStandardOutput();
}

// The text of each page of a PDF, as pdftotext lays it out.
inline QStringList PdfPages(const QByteArray &pdf)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
        return {};
    }
    file.close();
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        ADD_FAILURE() << "pdftotext (poppler-utils) is not installed";
        return {};
    }
    QStringList pages = QString::fromUtf8(RunReader(tool, {QStringLiteral("-layout"), path, QStringLiteral("-")})).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast(); // the form feed after the last page
    return pages;
}

// The Python of the system, which has the Debian packages of scripts/deps.
inline QString SystemPython()
{
    QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    return python;
}

// Every cell of a workbook's first sheet that holds a value, by its name ("B3"): the type
// openpyxl reads it as ("str", "int", "float", "datetime") and the value as Python prints it.
struct XlsxCell
{
    QString Type;
    QString Value;
};

inline QMap<QString, XlsxCell> XlsxCells(const QString &path)
{
    static const QString script = QStringLiteral(
        "import json, sys, openpyxl\n"
        "sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
        "cells = {c.coordinate: [type(c.value).__name__, str(c.value)] for row in sheet.iter_rows() for c in row if c.value is not None}\n"
        "print(json.dumps(cells))\n");
    const QString python = SystemPython();
    if (python.isEmpty()) {
        ADD_FAILURE() << "python3 is not installed";
        return {};
    }
    const QJsonObject object = QJsonDocument::fromJson(RunReader(python, {QStringLiteral("-c"), script, path})).object();
    QMap<QString, XlsxCell> cells;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonArray pair = it.value().toArray();
        cells.insert(it.key(), XlsxCell{pair.at(0).toString(), pair.at(1).toString()});
    }
    return cells;
}

// The paragraphs of a Word document's body as python-docx reads them (runs' text joined, breaks
// as line breaks, tabs as tabs), and its page orientation ("portrait" or "landscape").
struct DocxText
{
    QStringList Paragraphs;
    QString Orientation;
};

inline DocxText DocxRead(const QString &path)
{
    static const QString script = QStringLiteral(
        "import json, sys, docx\n"
        "d = docx.Document(sys.argv[1])\n"
        "s = d.sections[-1]\n"
        "o = 'landscape' if s.orientation == docx.enum.section.WD_ORIENT.LANDSCAPE else 'portrait'\n"
        "print(json.dumps({'paragraphs': [p.text for p in d.paragraphs], 'orientation': o}))\n");
    const QString python = SystemPython();
    if (python.isEmpty()) {
        ADD_FAILURE() << "python3 is not installed";
        return {};
    }
    const QJsonObject object = QJsonDocument::fromJson(RunReader(python, {QStringLiteral("-c"), script, path})).object();
    DocxText text;
    for (const QJsonValue &paragraph : object.value(QStringLiteral("paragraphs")).toArray())
        text.Paragraphs << paragraph.toString();
    text.Orientation = object.value(QStringLiteral("orientation")).toString();
    return text;
}

} // namespace kestrova::test
