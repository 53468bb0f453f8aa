#include "dataaccess/TDASchema.h"

#include "dataaccess/DAException.h"

#include <QDomDocument>
#include <QFile>
#include <QXmlStreamWriter>

namespace {

bool boolAttribute(const QDomElement &e, const char *name)
{
    const QString v = e.attribute(QLatin1String(name)).trimmed();
    return v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1");
}

void readCommon(const QDomElement &e, TDASchemaElement &out, const QString &origin)
{
    out.Name = e.attribute(QStringLiteral("Name")).trimmed();
    if (out.Name.isEmpty())
        throw EDAException(QStringLiteral("%1: a %2 without a name at line %3").arg(origin, e.tagName()).arg(e.lineNumber()));
    for (QDomElement p = e.firstChildElement(QStringLiteral("Param")); !p.isNull(); p = p.nextSiblingElement(QStringLiteral("Param"))) {
        TDAParam &param = out.Params.Add(p.attribute(QStringLiteral("Name")));
        param.DataType = DADataTypeFromName(p.attribute(QStringLiteral("Type"), QStringLiteral("String")));
        param.Size = p.attribute(QStringLiteral("Size")).toInt();
        if (p.hasAttribute(QStringLiteral("Value")))
            param.Value = p.attribute(QStringLiteral("Value")); // the value when the caller gives none
        const QString dir = p.attribute(QStringLiteral("Direction"), QStringLiteral("In"));
        if (dir.compare(QLatin1String("Out"), Qt::CaseInsensitive) == 0)
            param.ParamType = TDAParamType::daptOutput;
        else if (dir.compare(QLatin1String("InOut"), Qt::CaseInsensitive) == 0)
            param.ParamType = TDAParamType::daptInputOutput;
    }
    for (QDomElement s = e.firstChildElement(QStringLiteral("Statement")); !s.isNull(); s = s.nextSiblingElement(QStringLiteral("Statement")))
        out.Statements << TDASchemaStatement{s.attribute(QStringLiteral("Connection")).trimmed(), s.text().trimmed()};
    if (out.Statements.isEmpty())
        throw EDAException(QStringLiteral("%1: \"%2\" has no statement").arg(origin, out.Name));
}

void writeParams(QXmlStreamWriter &w, const TDAParamCollection &params)
{
    for (const TDAParam &p : params) {
        w.writeStartElement(QStringLiteral("Param"));
        w.writeAttribute(QStringLiteral("Name"), p.Name);
        w.writeAttribute(QStringLiteral("Type"), DADataTypeName(p.DataType));
        if (p.ParamType == TDAParamType::daptOutput)
            w.writeAttribute(QStringLiteral("Direction"), QStringLiteral("Out"));
        else if (p.ParamType == TDAParamType::daptInputOutput)
            w.writeAttribute(QStringLiteral("Direction"), QStringLiteral("InOut"));
        w.writeEndElement();
    }
}

std::unique_ptr<TDAEDataset> statementOf(IDAConnection &connection, const TDASchemaElement &element)
{
    auto ds = connection.NewDataset(element.StatementFor(connection.GetName()));
    for (TDAParam &p : ds->GetParams())
        if (const TDAParam *declared = element.Params.FindParam(p.Name)) {
            p.DataType = declared->DataType;
            p.ParamType = declared->ParamType;
            p.Size = declared->Size;
        }
    return ds;
}

} // namespace

QString TDASchemaElement::StatementFor(const QString &connectionName) const
{
    const TDASchemaStatement *fallback = nullptr;
    for (const TDASchemaStatement &s : Statements) {
        if (!connectionName.isEmpty() && s.ConnectionName.compare(connectionName, Qt::CaseInsensitive) == 0)
            return s.SQL;
        if (s.ConnectionName.isEmpty() && !fallback)
            fallback = &s;
    }
    if (!fallback)
        throw EDAException(QStringLiteral("\"%1\" has no statement for connection \"%2\"").arg(Name, connectionName));
    return fallback->SQL;
}

void TDASchema::LoadFromXml(const QByteArray &xml, const QString &origin)
{
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    if (!doc.setContent(xml, &error, &line, &column))
        throw EDAException(QStringLiteral("%1: %2 at line %3").arg(origin, error).arg(line));
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("Schema"))
        throw EDAException(QStringLiteral("%1: the root element is not <Schema>").arg(origin));
    m_name = root.attribute(QStringLiteral("Name"));
    m_datasets.clear();
    m_commands.clear();
    for (QDomElement e = root.firstChildElement(QStringLiteral("Dataset")); !e.isNull(); e = e.nextSiblingElement(QStringLiteral("Dataset"))) {
        TDASchemaDataset ds;
        readCommon(e, ds, origin);
        ds.TableName = e.attribute(QStringLiteral("Table")).trimmed();
        for (QDomElement f = e.firstChildElement(QStringLiteral("Field")); !f.isNull(); f = f.nextSiblingElement(QStringLiteral("Field"))) {
            TDAField field;
            field.Name = f.attribute(QStringLiteral("Name")).trimmed();
            field.DataType = DADataTypeFromName(f.attribute(QStringLiteral("Type"), QStringLiteral("String")));
            if (field.Name.isEmpty() || field.DataType == TDADataType::datUnknown)
                throw EDAException(QStringLiteral("%1: a field of \"%2\" at line %3 has no name or an unknown type")
                                       .arg(origin, ds.Name).arg(f.lineNumber()));
            field.Size = f.attribute(QStringLiteral("Size")).toInt();
            field.InPrimaryKey = boolAttribute(f, "Key");
            field.Required = boolAttribute(f, "Required");
            field.ReadOnly = boolAttribute(f, "ReadOnly");
            field.DefaultValue = f.attribute(QStringLiteral("Default"));
            field.Description = f.attribute(QStringLiteral("Description"));
            ds.Fields << field;
        }
        if (FindDataset(ds.Name))
            throw EDAException(QStringLiteral("%1: dataset \"%2\" is defined twice").arg(origin, ds.Name));
        m_datasets << ds;
    }
    for (QDomElement e = root.firstChildElement(QStringLiteral("Command")); !e.isNull(); e = e.nextSiblingElement(QStringLiteral("Command"))) {
        TDASchemaCommand cmd;
        readCommon(e, cmd, origin);
        if (FindCommand(cmd.Name))
            throw EDAException(QStringLiteral("%1: command \"%2\" is defined twice").arg(origin, cmd.Name));
        m_commands << cmd;
    }
}

void TDASchema::LoadFromFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EDAException(QStringLiteral("Cannot read the schema file %1").arg(path));
    LoadFromXml(f.readAll(), path);
}

const TDASchemaDataset *TDASchema::FindDataset(const QString &name) const
{
    for (const TDASchemaDataset &d : m_datasets)
        if (d.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

const TDASchemaCommand *TDASchema::FindCommand(const QString &name) const
{
    for (const TDASchemaCommand &c : m_commands)
        if (c.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const TDASchemaDataset &TDASchema::DatasetByName(const QString &name) const
{
    if (const TDASchemaDataset *d = FindDataset(name))
        return *d;
    throw EDAException(QStringLiteral("Dataset \"%1\" is not part of the schema").arg(name));
}

const TDASchemaCommand &TDASchema::CommandByName(const QString &name) const
{
    if (const TDASchemaCommand *c = FindCommand(name))
        return *c;
    throw EDAException(QStringLiteral("Command \"%1\" is not part of the schema").arg(name));
}

QString TDASchema::ToClientXml(const QStringList &datasetNames, const QStringList &commandNames, bool allDatasets,
                               bool allCommands) const
{
    QString out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("Schema"));
    w.writeAttribute(QStringLiteral("Name"), m_name);
    auto wanted = [](const QStringList &names, bool all, const QString &name) {
        return all || names.contains(name, Qt::CaseInsensitive);
    };
    for (const TDASchemaDataset &d : m_datasets) {
        if (!wanted(datasetNames, allDatasets, d.Name))
            continue;
        w.writeStartElement(QStringLiteral("Dataset"));
        w.writeAttribute(QStringLiteral("Name"), d.Name);
        for (const TDAField &f : d.Fields) {
            w.writeStartElement(QStringLiteral("Field"));
            w.writeAttribute(QStringLiteral("Name"), f.Name);
            w.writeAttribute(QStringLiteral("Type"), DADataTypeName(f.DataType));
            if (f.Size)
                w.writeAttribute(QStringLiteral("Size"), QString::number(f.Size));
            if (f.InPrimaryKey)
                w.writeAttribute(QStringLiteral("Key"), QStringLiteral("true"));
            if (f.Required)
                w.writeAttribute(QStringLiteral("Required"), QStringLiteral("true"));
            if (f.ReadOnly)
                w.writeAttribute(QStringLiteral("ReadOnly"), QStringLiteral("true"));
            w.writeEndElement();
        }
        writeParams(w, d.Params);
        w.writeEndElement();
    }
    for (const TDASchemaCommand &c : m_commands) {
        if (!wanted(commandNames, allCommands, c.Name))
            continue;
        w.writeStartElement(QStringLiteral("Command"));
        w.writeAttribute(QStringLiteral("Name"), c.Name);
        writeParams(w, c.Params);
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

std::unique_ptr<TDAEDataset> TDASchema::NewDataset(IDAConnection &connection, const QString &datasetName) const
{
    return statementOf(connection, DatasetByName(datasetName));
}

std::unique_ptr<TDAEDataset> TDASchema::NewCommand(IDAConnection &connection, const QString &commandName) const
{
    return statementOf(connection, CommandByName(commandName));
}
