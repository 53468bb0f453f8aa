// The spreadsheets of the import tests: people.xlsx, people.csv, noheader.csv, refused.csv and
// numbers1904.xlsx written at test time by openpyxl and Python's csv module
// (data/write_people.py), and the committed people.xls that xlwt wrote (data/make_people_xls.py)
// and numbers.xls, that workbook with number cells in its first sheet (data/make_numbers_xls.py).
#pragma once

#include "testsupport/DocumentReaders.h"

#include <QDir>
#include <QString>

namespace kestrova::test {

inline QString ImportDataFolder()
{
    return QStringLiteral(KESTROVA_IMPORT_DATA);
}

// Writes the files into the folder; false (with a test failure) when Python could not.
inline bool WritePeopleFiles(const QString &folder)
{
    const QString python = SystemPython();
    if (python.isEmpty()) {
        ADD_FAILURE() << "python3 is not installed";
        return false;
    }
    RunReader(python, {QDir(ImportDataFolder()).filePath(QStringLiteral("write_people.py")), folder});
    return QFile::exists(QDir(folder).filePath(QStringLiteral("people.xlsx")));
}

} // namespace kestrova::test
