// Captions and messages by number from a program's language module (a ".lng" file beside it).
// A missing module or text never raises on look-up: the caller gets the number instead.
#pragma once

#include "foundation/FoundationExport.h"

#include <QByteArray>
#include <QHash>
#include <QString>

class FOUNDATION_EXPORT TVOResourceHandler
{
public:
    // The look-up buffer of the original string tables: at most this many bytes, terminator included.
    static constexpr int MaxTextBytes = 64000;

    TVOResourceHandler() = default;
    ~TVOResourceHandler();

    QString FileName() const { return m_fileName; }
    bool IsOpen() const { return m_open; }

    // Raises std::runtime_error "Unable to locate resourcefile : <path>" when the file is missing.
    void LoadResourceFile(const QString &path);
    // Reads the module named by FileName; a module that cannot be read leaves it closed.
    void Open();
    void Close();

    // The text, else the empty text (flag set) or the number in decimal.
    QString GetString(int number, bool emptyIfMissing = false) const;
    // An HTML block of the module; empty when it has none.
    QString GetHTML(int number) const;
    // A binary item (a picture) of the module; empty when it has none.
    QByteArray GetData(int number) const;

    // Exposed for tests and tools: the module text parsed into the three tables; false on a
    // line that is neither comment nor entry (the line number in *errorLine).
    bool Parse(const QByteArray &text, int *errorLine = nullptr);

private:
    QString m_fileName;
    bool m_open = false;
    QHash<int, QByteArray> m_texts;
    QHash<int, QByteArray> m_html;
    QHash<int, QByteArray> m_data;
};
