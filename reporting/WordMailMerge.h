// Word output of a report in place of Word's own mail merge: a .docx template whose body holds
// merge fields (MERGEFIELD, simple or complex) is filled with the rows of the server's Word data,
// one copy of the body per row, each field replaced by the row's value in the field's own
// formatting. The rest of the package (styles, pictures, headers) is kept as it is.
#pragma once

#include "reporting/ReportingExport.h"
#include "reporting/WordPackage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The rows of GetWordReportData: a header line of field names separated by TAB, then per row
// CR LF and every value in double quotes (inner quotes doubled), separated by TAB.
struct REPORTING_EXPORT WordMergeData
{
    static constexpr int kMaxFields = 4096;

    QStringList Fields;
    QList<QStringList> Rows;

    // Throws EReportError for a text that is not in that shape (a row with another number of
    // values than the header has names, a quote that is not closed).
    static WordMergeData FromText(const QByteArray &utf8);
    // The value of a field (matched without regard to case) in a row; empty for a field the
    // data does not have.
    QString Value(int row, const QString &field) const;
};

class REPORTING_EXPORT WordMailMerge
{
public:
    // The merge fields of the document's body, each once, in the order they first appear.
    // Throws EReportError when the document is not readable XML.
    static QStringList MergeFields(const WordPackage &document);
    // The merged document. Fields the data does not have become empty. Throws EReportError for
    // a document that cannot be read.
    static WordPackage Merge(const WordPackage &document, const WordMergeData &data);
};

// Builds a Word template from a plain description, one paragraph a line:
//   # a comment (not in the document)
//   @title Contact list       the document's title (its properties)
//   @orientation landscape    portrait (the default) or landscape, on Letter paper
//   = {Name}                  a bold paragraph
//   Phone: {phone1}           a paragraph; {Field} is a merge field, a TAB a tab stop
// An empty line is an empty paragraph. Throws EReportError for an unknown @ line or a brace
// that is not closed.
class REPORTING_EXPORT WordTemplate
{
public:
    static WordPackage FromDescription(const QString &description);
};
