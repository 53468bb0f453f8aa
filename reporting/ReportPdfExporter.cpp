#include "reporting/ReportPdfExporter.h"

#include "reporting/ReportError.h"

#include <QBuffer>
#include <QPdfWriter>

namespace {

QByteArray Xmp(const ReportDocument &document)
{
    QString title = document.Title().toHtmlEscaped();
    return QStringLiteral(
               "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
               "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
               "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n"
               "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>\n"
               "<dc:creator><rdf:Seq><rdf:li>Quorva</rdf:li></rdf:Seq></dc:creator>\n"
               "<pdf:Keywords>Kestrova</pdf:Keywords>\n"
               "</rdf:Description></rdf:RDF></x:xmpmeta>\n"
               "<?xpacket end=\"w\"?>")
        .arg(title)
        .toUtf8();
}

} // namespace

void ReportPdfExporter::Write(const ReportDocument &document, QIODevice &out)
{
    if (document.IsEmpty())
        throw EReportError(QStringLiteral("The report has no pages to write"));
    QPdfWriter writer(&out);
    writer.setTitle(document.Title());
    writer.setCreator(QStringLiteral("Quorva"));
    writer.setDocumentXmpMetadata(Xmp(document));
    const QPageLayout letter(QPageSize(QPageSize::Letter), document.PageLayout().orientation(), QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    document.Print(writer, 0, -1, letter);
}

QByteArray ReportPdfExporter::ToBytes(const ReportDocument &document)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Write(document, buffer);
    buffer.close();
    return bytes;
}
