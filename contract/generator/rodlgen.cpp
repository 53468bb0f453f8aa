// Build-time generator: reads the contract catalogue and writes the contract's C++ (records,
// service interfaces, proxies, the asynchronous events proxy, event interfaces, writers and
// invokers, server invokers and the registration). Its output is never edited or committed.
//   rodlgen CATALOGUE OUTDIR

#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <stdexcept>

namespace {

struct Param
{
    QString name;
    QString type;
    QString flag; // In, Out, Result
};

struct Operation
{
    QString name;
    QList<Param> params; // without the result
    QString resultType;  // empty for none
};

struct Service
{
    QString name;
    QString uid;
    QString iid;
    QString ancestor;
    bool isAbstract = false;
    QList<Operation> ops;
};

struct Field
{
    QString name;
    QString type;
};

struct Struct
{
    QString name;
    QString uid;
    QString ancestor;
    QList<Field> fields;
};

struct Array
{
    QString name;
    QString uid;
    QString element;
};

struct Library
{
    QString name;
    QString uid;
    QString version;
    QList<Service> services;
    QList<Struct> structs;
    QList<Array> arrays;
    QList<Service> sinks;
};

// The data-access records and arrays have their classes in dataaccess/; the contract maps them.
const QStringList kDataAccessTypes = {
    QStringLiteral("DataParameter"), QStringLiteral("TableRequestInfo"), QStringLiteral("UserInfo"),
    QStringLiteral("TableRequestInfoV5"), QStringLiteral("ColumnSorting"), QStringLiteral("DataParameterArray"),
    QStringLiteral("TableRequestInfoArray"), QStringLiteral("StringArray"), QStringLiteral("VariantArray"),
    QStringLiteral("ColumnSortingArray"), QStringLiteral("ColumnSortDirection")};
// Sinks the contract defines in its catalogue only.
const QStringList kCatalogueOnlySinks = {QStringLiteral("DataChangeNotification")};

enum class Kind { Scalar, Binary, Record, Mapped };

struct TypeInfo
{
    Kind kind = Kind::Scalar;
    QString cpp;     // value type, or the class for Binary and records
    QString suffix;  // serializer member suffix (Write<suffix>/Read<suffix>) for scalars
    QString mapped;  // DAWire function suffix for mapped types
};

const Library *gLibrary = nullptr;

bool isOwnRecord(const QString &type)
{
    for (const Struct &s : gLibrary->structs)
        if (s.name == type && !kDataAccessTypes.contains(type))
            return true;
    for (const Array &a : gLibrary->arrays)
        if (a.name == type && !kDataAccessTypes.contains(type))
            return true;
    return false;
}

TypeInfo typeInfo(const QString &type)
{
    static const QMap<QString, TypeInfo> scalars = {
        {QStringLiteral("String"), {Kind::Scalar, QStringLiteral("QString"), QStringLiteral("AnsiString"), {}}},
        {QStringLiteral("Widestring"), {Kind::Scalar, QStringLiteral("QString"), QStringLiteral("WideString"), {}}},
        {QStringLiteral("Utf8String"), {Kind::Scalar, QStringLiteral("QString"), QStringLiteral("Utf8String"), {}}},
        {QStringLiteral("Integer"), {Kind::Scalar, QStringLiteral("qint32"), QStringLiteral("Integer"), {}}},
        {QStringLiteral("Boolean"), {Kind::Scalar, QStringLiteral("bool"), QStringLiteral("Boolean"), {}}},
        {QStringLiteral("DateTime"), {Kind::Scalar, QStringLiteral("QDateTime"), QStringLiteral("DateTime"), {}}},
        {QStringLiteral("Xml"), {Kind::Scalar, QStringLiteral("QString"), QStringLiteral("Xml"), {}}},
        {QStringLiteral("Binary"), {Kind::Binary, QStringLiteral("TROBinaryMemoryStream"), {}, {}}},
        {QStringLiteral("Variant"), {Kind::Mapped, QStringLiteral("QVariant"), {}, QStringLiteral("Variant")}},
        {QStringLiteral("StringArray"), {Kind::Mapped, QStringLiteral("QStringList"), {}, QStringLiteral("StringArray")}},
        {QStringLiteral("DataParameterArray"),
         {Kind::Mapped, QStringLiteral("DataParameterArray"), {}, QStringLiteral("DataParameterArray")}},
        {QStringLiteral("TableRequestInfoArray"),
         {Kind::Mapped, QStringLiteral("QList<TableRequestInfoV5>"), {}, QStringLiteral("TableRequestInfoArray")}},
        {QStringLiteral("UserInfo"), {Kind::Mapped, QStringLiteral("UserInfo"), {}, QStringLiteral("UserInfo")}},
    };
    if (scalars.contains(type))
        return scalars.value(type);
    if (isOwnRecord(type))
        return {Kind::Record, type, {}, {}};
    throw std::runtime_error("no C++ mapping for contract type " + type.toStdString());
}

bool hasDefault(const TypeInfo &t)
{
    return t.cpp == QLatin1String("qint32") || t.cpp == QLatin1String("bool");
}

QString defaultInit(const TypeInfo &t)
{
    if (t.cpp == QLatin1String("qint32"))
        return QStringLiteral(" = 0");
    if (t.cpp == QLatin1String("bool"))
        return QStringLiteral(" = false");
    return {};
}

QString inParamDecl(const Param &p)
{
    const TypeInfo t = typeInfo(p.type);
    switch (t.kind) {
    case Kind::Binary:
    case Kind::Record: return QStringLiteral("const %1 *%2").arg(t.cpp, p.name);
    case Kind::Scalar:
        if (hasDefault(t))
            return QStringLiteral("%1 %2").arg(t.cpp, p.name);
        return QStringLiteral("const %1 &%2").arg(t.cpp, p.name);
    case Kind::Mapped: return QStringLiteral("const %1 &%2").arg(t.cpp, p.name);
    }
    return {};
}

QString outParamDecl(const Param &p)
{
    const TypeInfo t = typeInfo(p.type);
    if (t.kind == Kind::Binary || t.kind == Kind::Record)
        return QStringLiteral("std::unique_ptr<%1> &%2").arg(t.cpp, p.name);
    return QStringLiteral("%1 &%2").arg(t.cpp, p.name);
}

QString resultDecl(const QString &type)
{
    if (type.isEmpty())
        return QStringLiteral("void");
    const TypeInfo t = typeInfo(type);
    if (t.kind == Kind::Binary || t.kind == Kind::Record)
        return QStringLiteral("std::unique_ptr<%1>").arg(t.cpp);
    return t.cpp;
}

QString paramList(const Operation &op)
{
    QStringList parts;
    for (const Param &p : op.params)
        parts << (p.flag == QLatin1String("Out") ? outParamDecl(p) : inParamDecl(p));
    return parts.join(QStringLiteral(", "));
}

QString lit(const QString &text)
{
    return QStringLiteral("QStringLiteral(\"%1\")").arg(text);
}

// Writes value expression `expr` of the type under `name` into serializer `s`.
QString writeStmt(const QString &s, const QString &type, const QString &name, const QString &expr)
{
    const TypeInfo t = typeInfo(type);
    switch (t.kind) {
    case Kind::Scalar: return QStringLiteral("%1.Write%2(%3, %4);").arg(s, t.suffix, lit(name), expr);
    case Kind::Binary: return QStringLiteral("%1.WriteBinary(%2, %3);").arg(s, lit(name), expr);
    case Kind::Record: return QStringLiteral("%1.WriteComplex(%2, %3);").arg(s, lit(name), expr);
    case Kind::Mapped: return QStringLiteral("DAWire::Write%1(%2, %3, %4);").arg(t.mapped, s, lit(name), expr);
    }
    return {};
}

// An expression reading the type under `name` from serializer `s`.
QString readExpr(const QString &s, const QString &type, const QString &name)
{
    const TypeInfo t = typeInfo(type);
    switch (t.kind) {
    case Kind::Scalar: return QStringLiteral("%1.Read%2(%3)").arg(s, t.suffix, lit(name));
    case Kind::Binary: return QStringLiteral("%1.ReadBinary(%2)").arg(s, lit(name));
    case Kind::Record: return QStringLiteral("%1.ReadComplex<%2>(%3)").arg(s, t.cpp, lit(name));
    case Kind::Mapped: return QStringLiteral("DAWire::Read%1(%2, %3)").arg(t.mapped, s, lit(name));
    }
    return {};
}

bool isObject(const QString &type)
{
    const Kind k = typeInfo(type).kind;
    return k == Kind::Binary || k == Kind::Record;
}

// ---------------------------------------------------------------------------------------------

QString attr(const QDomElement &e, const char *name)
{
    return e.attribute(QString::fromLatin1(name));
}

QList<QDomElement> children(const QDomElement &parent, const char *tag)
{
    QList<QDomElement> list;
    for (QDomElement e = parent.firstChildElement(QString::fromLatin1(tag)); !e.isNull();
         e = e.nextSiblingElement(QString::fromLatin1(tag)))
        list << e;
    return list;
}

Service readService(const QDomElement &e)
{
    Service s;
    s.name = attr(e, "Name");
    s.uid = attr(e, "UID");
    s.ancestor = attr(e, "Ancestor");
    s.isAbstract = attr(e, "Abstract") == QLatin1String("1");
    const QDomElement iface = e.firstChildElement(QStringLiteral("Interfaces")).firstChildElement(QStringLiteral("Interface"));
    s.iid = attr(iface, "UID");
    for (const QDomElement &o : children(iface.firstChildElement(QStringLiteral("Operations")), "Operation")) {
        Operation op;
        op.name = attr(o, "Name");
        for (const QDomElement &p : children(o.firstChildElement(QStringLiteral("Parameters")), "Parameter")) {
            if (attr(p, "Flag") == QLatin1String("Result"))
                op.resultType = attr(p, "DataType");
            else
                op.params << Param{attr(p, "Name"), attr(p, "DataType"), attr(p, "Flag")};
        }
        s.ops << op;
    }
    return s;
}

Library readLibrary(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    QDomDocument doc;
    const auto parsed = doc.setContent(&file);
    if (!parsed)
        throw std::runtime_error("the catalogue is not well-formed XML");
    const QDomElement root = doc.documentElement();
    Library lib;
    lib.name = attr(root, "Name");
    lib.uid = attr(root, "UID");
    lib.version = attr(root, "Version");
    for (const QDomElement &e : children(root.firstChildElement(QStringLiteral("Services")), "Service"))
        lib.services << readService(e);
    for (const QDomElement &e : children(root.firstChildElement(QStringLiteral("Structs")), "Struct")) {
        Struct s{attr(e, "Name"), attr(e, "UID"), attr(e, "Ancestor"), {}};
        for (const QDomElement &f : children(e.firstChildElement(QStringLiteral("Elements")), "Element"))
            s.fields << Field{attr(f, "Name"), attr(f, "DataType")};
        lib.structs << s;
    }
    for (const QDomElement &e : children(root.firstChildElement(QStringLiteral("Arrays")), "Array"))
        lib.arrays << Array{attr(e, "Name"), attr(e, "UID"),
                            attr(e.firstChildElement(QStringLiteral("ElementType")), "DataType")};
    for (const QDomElement &e : children(root.firstChildElement(QStringLiteral("EventSinks")), "EventSink"))
        lib.sinks << readService(e);
    return lib;
}

const Service *findService(const Library &lib, const QString &name)
{
    for (const Service &s : lib.services)
        if (s.name == name)
            return &s;
    return nullptr;
}

QString guidLiteral(const QString &uid)
{
    return QStringLiteral("QUuid(QStringLiteral(\"%1\"))").arg(uid);
}

bool isGeneric(const Service &daService, const QString &operation)
{
    for (const Operation &op : daService.ops)
        if (op.name == operation)
            return true;
    return false;
}

bool isDataService(const Service &s)
{
    return s.ancestor == QLatin1String("DataAbstractService");
}

// The services that programs serve or call: the concrete ones and the generic data base.
QList<const Service *> codeServices(const Library &lib)
{
    QList<const Service *> list;
    for (const Service &s : lib.services)
        if (!s.isAbstract || s.name == QLatin1String("DataAbstractService"))
            list << &s;
    return list;
}

QList<const Service *> firingSinks(const Library &lib)
{
    QList<const Service *> list;
    for (const Service &s : lib.sinks)
        if (!kCatalogueOnlySinks.contains(s.name))
            list << &s;
    return list;
}

// ---------------------------------------------------------------------------------------------

class Writer
{
public:
    void line(const QString &text = {}) { m_text += text + QLatin1Char('\n'); }
    template <typename... Args> void f(const char *format, Args &&...args)
    {
        QString text = QString::fromUtf8(format);
        ((text = text.arg(args)), ...);
        line(text);
    }
    void save(const QString &path) const
    {
        // Leave an unchanged file alone, so the build does not recompile what did not change.
        QFile old(path);
        if (old.open(QIODevice::ReadOnly) && old.readAll() == m_text.toUtf8())
            return;
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write " + path.toStdString());
        out.write(m_text.toUtf8());
        if (!out.commit())
            throw std::runtime_error("cannot write " + path.toStdString());
    }

private:
    QString m_text;
};

const char *kBanner = "// Generated from the contract catalogue by rodlgen at build time; do not edit.";

void writeRecordDecl(Writer &w, const Struct &s)
{
    w.f("class CONTRACT_EXPORT %1 : public TROComplexType", s.name);
    w.line(QStringLiteral("{"));
    w.line(QStringLiteral("public:"));
    w.f("    static inline const QString TypeName = QStringLiteral(\"%1\");", s.name);
    w.f("    static inline const QUuid TypeUID = %1;", guidLiteral(s.uid));
    w.f("    %1() = default;", s.name);
    w.f("    %1(const %1 &other) : TROComplexType() { Assign(other); }", s.name);
    w.f("    %1 &operator=(const %1 &other) { Assign(other); return *this; }", s.name);
    w.line(QStringLiteral("    QString ClassName() const override { return TypeName; }"));
    w.line(QStringLiteral("    void Assign(const TROComplexType &source) override;"));
    w.line(QStringLiteral("    void ReadComplex(TROSerializer &serializer) override;"));
    w.line(QStringLiteral("    void WriteComplex(TROSerializer &serializer) const override;"));
    w.line();
    for (const Field &field : s.fields) {
        const TypeInfo t = typeInfo(field.type);
        if (t.kind == Kind::Binary) {
            w.f("    // Never null to a reader: an empty stream is made on first access.");
            w.f("    TROBinaryMemoryStream &%1() const;", field.name);
            w.f("    void Set%1(std::unique_ptr<TROBinaryMemoryStream> value) { m_%1 = std::move(value); }", field.name);
        } else if (t.kind == Kind::Record) {
            throw std::runtime_error("record fields of record type are not generated");
        } else {
            w.f("    %1 %2%3;", t.cpp, field.name, defaultInit(t));
        }
    }
    bool privateDone = false;
    for (const Field &field : s.fields) {
        if (typeInfo(field.type).kind != Kind::Binary)
            continue;
        if (!privateDone) {
            w.line();
            w.line(QStringLiteral("private:"));
            privateDone = true;
        }
        w.f("    mutable std::unique_ptr<TROBinaryMemoryStream> m_%1;", field.name);
    }
    w.line(QStringLiteral("};"));
    w.line();
}

void writeFieldsIo(Writer &w, const Struct &s, const QList<Field> &fields, bool reading)
{
    for (const Field &field : fields) {
        const TypeInfo t = typeInfo(field.type);
        if (reading) {
            if (t.kind == Kind::Binary) {
                w.f("        if (auto value = %1)", readExpr(QStringLiteral("serializer"), field.type, field.name));
                w.f("            m_%1 = std::move(value);", field.name);
                w.line(QStringLiteral("        else"));
                w.f("            m_%1 = std::make_unique<TROBinaryMemoryStream>();", field.name);
            } else {
                w.f("        %1 = %2;", field.name, readExpr(QStringLiteral("serializer"), field.type, field.name));
            }
        } else {
            const QString expr = t.kind == Kind::Binary ? QStringLiteral("&%1()").arg(field.name) : field.name;
            w.f("        %1", writeStmt(QStringLiteral("serializer"), field.type, field.name, expr));
        }
    }
    Q_UNUSED(s);
}

void writeRecordImpl(Writer &w, const Struct &s)
{
    QList<Field> sorted = s.fields;
    std::sort(sorted.begin(), sorted.end(), [](const Field &a, const Field &b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    for (const Field &field : s.fields) {
        if (typeInfo(field.type).kind != Kind::Binary)
            continue;
        w.f("TROBinaryMemoryStream &%1::%2() const", s.name, field.name);
        w.line(QStringLiteral("{"));
        w.f("    if (!m_%1)", field.name);
        w.f("        m_%1 = std::make_unique<TROBinaryMemoryStream>();", field.name);
        w.f("    return *m_%1;", field.name);
        w.line(QStringLiteral("}"));
        w.line();
    }
    w.f("void %1::Assign(const TROComplexType &source)", s.name);
    w.line(QStringLiteral("{"));
    w.line(QStringLiteral("    TROComplexType::Assign(source);"));
    w.f("    const auto *other = dynamic_cast<const %1 *>(&source);", s.name);
    w.line(QStringLiteral("    if (!other || other == this)"));
    w.line(QStringLiteral("        return;"));
    for (const Field &field : s.fields) {
        if (typeInfo(field.type).kind == Kind::Binary)
            w.f("    %1().Assign(other->%1());", field.name);
        else
            w.f("    %1 = other->%1;", field.name);
    }
    w.line(QStringLiteral("}"));
    w.line();
    for (const bool reading : {true, false}) {
        w.f("void %1::%2(TROSerializer &serializer)%3", s.name,
            reading ? QStringLiteral("ReadComplex") : QStringLiteral("WriteComplex"),
            reading ? QString() : QStringLiteral(" const"));
        w.line(QStringLiteral("{"));
        w.line(QStringLiteral("    if (serializer.IsStrictOrder()) {"));
        writeFieldsIo(w, s, s.fields, reading);
        w.line(QStringLiteral("    } else {"));
        writeFieldsIo(w, s, sorted, reading);
        w.line(QStringLiteral("    }"));
        w.line(QStringLiteral("}"));
        w.line();
    }
}

void writeInterfaceDecl(Writer &w, const Service &s)
{
    const QString base = isDataService(s) ? QStringLiteral("public virtual IDataAbstractService")
                                          : QStringLiteral("public virtual IROInterface");
    w.f("class CONTRACT_EXPORT I%1 : %2", s.name, base);
    w.line(QStringLiteral("{"));
    w.line(QStringLiteral("public:"));
    w.f("    static inline const QUuid IID = %1;", guidLiteral(s.iid));
    w.f("    static inline const QString ServiceName = QStringLiteral(\"%1\");", s.name);
    for (const Operation &op : s.ops)
        w.f("    virtual %1 %2(%3) = 0;", resultDecl(op.resultType), op.name, paramList(op));
    w.line(QStringLiteral("};"));
    w.line();
}

// The body of one synchronous proxy method, following the order every call keeps.
void writeProxyMethod(Writer &w, const QString &cls, const Operation &op)
{
    w.f("%1 %2::%3(%4)", resultDecl(op.resultType), cls, op.name, paramList(op));
    w.line(QStringLiteral("{"));
    for (const Param &p : op.params) {
        if (p.flag != QLatin1String("Out"))
            continue;
        const TypeInfo t = typeInfo(p.type);
        if (t.kind == Kind::Binary || t.kind == Kind::Record)
            w.f("    %1.reset();", p.name);
        else if (!hasDefault(t))
            w.f("    %1 = {};", p.name);
    }
    w.line(QStringLiteral("    const auto done = qScopeGuard([this] { EndCall(); });"));
    w.f("    [[maybe_unused]] TROMessage &message = BeginRequest(QuorvaLibraryName, %1);", lit(op.name));
    for (const Param &p : op.params)
        if (p.flag == QLatin1String("In"))
            w.f("    %1", writeStmt(QStringLiteral("message"), p.type, p.name, p.name));
    w.line(QStringLiteral("    Dispatch();"));
    if (!op.resultType.isEmpty())
        w.f("    %1 result = %2;", resultDecl(op.resultType), readExpr(QStringLiteral("message"), op.resultType, QStringLiteral("Result")));
    for (const Param &p : op.params)
        if (p.flag == QLatin1String("Out"))
            w.f("    %1 = %2;", p.name, readExpr(QStringLiteral("message"), p.type, p.name));
    if (!op.resultType.isEmpty())
        w.line(QStringLiteral("    return result;"));
    w.line(QStringLiteral("}"));
    w.line();
}

void writeProxyDecl(Writer &w, const Service &s)
{
    const bool data = isDataService(s);
    const QString base = data ? QStringLiteral("TDataAbstractService_Proxy") : QStringLiteral("TROProxy");
    w.f("class CONTRACT_EXPORT T%1_Proxy : public %2, public I%1", s.name, base);
    w.line(QStringLiteral("{"));
    w.line(QStringLiteral("public:"));
    w.f("    using %1::%1;", base);
    w.f("    QString GetInterfaceName() const override { return QStringLiteral(\"%1\"); }", s.name);
    w.line(QStringLiteral("    bool queryInterface(const QUuid &interfaceId, void **object) override;"));
    for (const Operation &op : s.ops)
        w.f("    %1 %2(%3) override;", resultDecl(op.resultType), op.name, paramList(op));
    w.line(QStringLiteral("};"));
    w.line();
}

// ---------------------------------------------------------------------------------------------

void writeIntf(const Library &lib, const QString &outDir)
{
    const Service *daService = findService(lib, QStringLiteral("DataAbstractService"));
    Writer h;
    h.line(QString::fromLatin1(kBanner));
    h.line(QStringLiteral("#pragma once"));
    h.line();
    h.line(QStringLiteral("#include \"contract/ContractExport.h\""));
    h.line(QStringLiteral("#include \"contract/DAWire.h\""));
    h.line(QStringLiteral("#include \"contract/TRecordArray.h\""));
    h.line(QStringLiteral("#include \"remoting/ROComplexType.h\""));
    h.line(QStringLiteral("#include \"remoting/ROEventReceiver.h\""));
    h.line(QStringLiteral("#include \"remoting/ROEventRepository.h\""));
    h.line(QStringLiteral("#include \"remoting/ROProxy.h\""));
    h.line(QStringLiteral("#include \"remoting/ROSerializer.h\""));
    h.line();
    h.line(QStringLiteral("#include <QDateTime>"));
    h.line(QStringLiteral("#include <QString>"));
    h.line(QStringLiteral("#include <QUuid>"));
    h.line();
    h.line(QStringLiteral("#include <memory>"));
    h.line();
    h.f("CONTRACT_EXPORT extern const QString QuorvaLibraryName; // \"%1\"", lib.name);
    h.f("CONTRACT_EXPORT extern const QUuid QuorvaLibraryUID;");
    h.f("CONTRACT_EXPORT extern const QString QuorvaLibraryVersion;");
    h.line();
    for (const Struct &s : lib.structs)
        if (isOwnRecord(s.name))
            writeRecordDecl(h, s);
    for (const Array &a : lib.arrays) {
        if (!isOwnRecord(a.name))
            continue;
        h.f("class CONTRACT_EXPORT %1 : public TRecordArray<%2>", a.name, a.element);
        h.line(QStringLiteral("{"));
        h.line(QStringLiteral("public:"));
        h.f("    static inline const QString TypeName = QStringLiteral(\"%1\");", a.name);
        h.f("    static inline const QUuid TypeUID = %1;", guidLiteral(a.uid));
        h.line(QStringLiteral("    QString ClassName() const override { return TypeName; }"));
        h.line(QStringLiteral("};"));
        h.line();
    }
    // Service interfaces.
    writeInterfaceDecl(h, *daService);
    for (const Service *s : codeServices(lib))
        if (s != daService)
            writeInterfaceDecl(h, *s);
    // The base of the data services' proxies carries the generic data operations.
    h.line(QStringLiteral("class CONTRACT_EXPORT TDataAbstractService_Proxy : public TROProxy, public virtual IDataAbstractService"));
    h.line(QStringLiteral("{"));
    h.line(QStringLiteral("public:"));
    h.line(QStringLiteral("    using TROProxy::TROProxy;"));
    for (const Operation &op : daService->ops)
        h.f("    %1 %2(%3) override;", resultDecl(op.resultType), op.name, paramList(op));
    h.line(QStringLiteral("};"));
    h.line();
    for (const Service *s : codeServices(lib)) {
        if (s == daService)
            continue;
        writeProxyDecl(h, *s);
        h.f("struct CONTRACT_EXPORT Co%1", s->name);
        h.line(QStringLiteral("{"));
        h.f("    static std::unique_ptr<I%1> Create(std::shared_ptr<TROMessage> message, "
            "std::shared_ptr<TROTransportChannel> channel);", s->name);
        h.line(QStringLiteral("};"));
        h.line();
    }
    // Event sinks.
    for (const Service *sink : firingSinks(lib)) {
        h.f("class CONTRACT_EXPORT I%1", sink->name);
        h.line(QStringLiteral("{"));
        h.line(QStringLiteral("public:"));
        h.f("    static inline const QUuid IID = %1;", guidLiteral(sink->iid));
        h.f("    static inline const QString SinkName = QStringLiteral(\"%1\");", sink->name);
        h.f("    virtual ~I%1() = default;", sink->name);
        for (const Operation &ev : sink->ops)
            h.f("    virtual void %1(%2) = 0;", ev.name, paramList(ev));
        h.line(QStringLiteral("};"));
        h.line();
        h.f("class CONTRACT_EXPORT I%1_Writer", sink->name);
        h.line(QStringLiteral("{"));
        h.line(QStringLiteral("public:"));
        h.f("    static inline const QUuid IID = %1;", guidLiteral(sink->iid));
        h.f("    virtual ~I%1_Writer() = default;", sink->name);
        h.line(QStringLiteral("    virtual QStringList GetSessionList() const = 0;"));
        h.line(QStringLiteral("    virtual bool GetExcludeSender() const = 0;"));
        h.line(QStringLiteral("    virtual bool GetExcludeSessionList() const = 0;"));
        h.line(QStringLiteral("    virtual void SetExcludeSender(bool value) = 0;"));
        h.line(QStringLiteral("    virtual void SetExcludeSessionList(bool value) = 0;"));
        for (const Operation &ev : sink->ops) {
            const QString params = paramList(ev);
            h.f("    virtual void %1(const QUuid &sender%2) = 0;", ev.name,
                params.isEmpty() ? QString() : QStringLiteral(", ") + params);
        }
        h.line(QStringLiteral("};"));
        h.line();
        h.f("class CONTRACT_EXPORT T%1_Writer : public TROEventWriter, public I%1_Writer", sink->name);
        h.line(QStringLiteral("{"));
        h.line(QStringLiteral("public:"));
        h.line(QStringLiteral("    using TROEventWriter::TROEventWriter;"));
        h.line(QStringLiteral("    QStringList GetSessionList() const override { return TROEventWriter::GetSessionList(); }"));
        h.line(QStringLiteral("    bool GetExcludeSender() const override { return TROEventWriter::GetExcludeSender(); }"));
        h.line(QStringLiteral("    bool GetExcludeSessionList() const override { return TROEventWriter::GetExcludeSessionList(); }"));
        h.line(QStringLiteral("    void SetExcludeSender(bool value) override { TROEventWriter::SetExcludeSender(value); }"));
        h.line(QStringLiteral("    void SetExcludeSessionList(bool value) override { TROEventWriter::SetExcludeSessionList(value); }"));
        for (const Operation &ev : sink->ops) {
            const QString params = paramList(ev);
            h.f("    void %1(const QUuid &sender%2) override;", ev.name,
                params.isEmpty() ? QString() : QStringLiteral(", ") + params);
        }
        h.line(QStringLiteral("};"));
        h.line();
        h.f("class CONTRACT_EXPORT T%1_Invoker : public TROEventInvoker", sink->name);
        h.line(QStringLiteral("{"));
        h.line(QStringLiteral("public:"));
        h.f("    T%1_Invoker();", sink->name);
        for (const Operation &ev : sink->ops)
            h.f("    static void Invoke_%1(TROEventReceiver &receiver, TROMessage &message, IROInterface &target);", ev.name);
        h.line(QStringLiteral("};"));
        h.line();
    }
    h.line(QStringLiteral("// Makes the contract's classes known to the remoting registries, in the contract's order;"));
    h.line(QStringLiteral("// the library does this itself when it is loaded and undoes it when it is unloaded."));
    h.line(QStringLiteral("CONTRACT_EXPORT void RegisterQuorvaDataService();"));
    h.line(QStringLiteral("CONTRACT_EXPORT void UnregisterQuorvaDataService();"));
    h.save(outDir + QStringLiteral("/Quorva_Data_Service_Intf.h"));

    Writer c;
    c.line(QString::fromLatin1(kBanner));
    c.line(QStringLiteral("#include \"Quorva_Data_Service_Intf.h\""));
    c.line();
    c.line(QStringLiteral("#include \"remoting/ROErrors.h\""));
    c.line(QStringLiteral("#include \"remoting/ROMessage.h\""));
    c.line(QStringLiteral("#include \"remoting/RORegistry.h\""));
    c.line();
    c.line(QStringLiteral("#include <QScopeGuard>"));
    c.line();
    c.f("const QString QuorvaLibraryName = QStringLiteral(\"%1\");", lib.name);
    c.f("const QUuid QuorvaLibraryUID = %1;", guidLiteral(lib.uid));
    c.f("const QString QuorvaLibraryVersion = QStringLiteral(\"%1\");", lib.version);
    c.line();
    for (const Struct &s : lib.structs)
        if (isOwnRecord(s.name))
            writeRecordImpl(c, s);
    for (const Operation &op : daService->ops)
        writeProxyMethod(c, QStringLiteral("TDataAbstractService_Proxy"), op);
    for (const Service *s : codeServices(lib)) {
        if (s == daService)
            continue;
        const QString cls = QStringLiteral("T%1_Proxy").arg(s->name);
        c.f("bool %1::queryInterface(const QUuid &interfaceId, void **object)", cls);
        c.line(QStringLiteral("{"));
        c.f("    if (interfaceId != I%1::IID)", s->name);
        c.line(QStringLiteral("        return false;"));
        c.f("    *object = static_cast<I%1 *>(this);", s->name);
        c.line(QStringLiteral("    return true;"));
        c.line(QStringLiteral("}"));
        c.line();
        for (const Operation &op : s->ops)
            writeProxyMethod(c, cls, op);
        c.f("std::unique_ptr<I%1> Co%1::Create(std::shared_ptr<TROMessage> message, "
            "std::shared_ptr<TROTransportChannel> channel)", s->name);
        c.line(QStringLiteral("{"));
        c.f("    return std::make_unique<%1>(std::move(message), std::move(channel));", cls);
        c.line(QStringLiteral("}"));
        c.line();
    }
    for (const Service *sink : firingSinks(lib)) {
        for (const Operation &ev : sink->ops) {
            const QString params = paramList(ev);
            c.f("void T%1_Writer::%2(const QUuid &sender%3)", sink->name, ev.name,
                params.isEmpty() ? QString() : QStringLiteral(", ") + params);
            c.line(QStringLiteral("{"));
            c.line(QStringLiteral("    TROMessage message;"));
            c.f("    message.InitializeEvent(QuorvaLibraryName, %1, %2);", lit(sink->name), lit(ev.name));
            for (const Param &p : ev.params)
                c.f("    %1", writeStmt(QStringLiteral("message"), p.type, p.name, p.name));
            c.line(QStringLiteral("    message.Finalize();"));
            c.line(QStringLiteral("    StoreEvent(sender, message);"));
            c.line(QStringLiteral("}"));
            c.line();
        }
        c.f("T%1_Invoker::T%1_Invoker()", sink->name);
        c.line(QStringLiteral("{"));
        for (const Operation &ev : sink->ops)
            c.f("    RegisterEvent(%1, &T%2_Invoker::Invoke_%3);", lit(ev.name), sink->name, ev.name);
        c.line(QStringLiteral("}"));
        c.line();
        for (const Operation &ev : sink->ops) {
            c.f("void T%1_Invoker::Invoke_%2(TROEventReceiver &receiver, TROMessage &message, IROInterface &target)",
                sink->name, ev.name);
            c.line(QStringLiteral("{"));
            c.line(QStringLiteral("    Q_UNUSED(receiver);"));
            if (ev.params.isEmpty())
                c.line(QStringLiteral("    Q_UNUSED(message);"));
            c.line(QStringLiteral("    TROObjectDisposer disposer;"));
            QStringList args;
            for (const Param &p : ev.params) {
                c.f("    const auto %1 = %2;", p.name, readExpr(QStringLiteral("message"), p.type, p.name));
                args << p.name;
            }
            c.f("    I%1 *receiving = nullptr;", sink->name);
            c.f("    if (!target.queryInterface(I%1::IID, reinterpret_cast<void **>(&receiving)) || !receiving)", sink->name);
            c.f("        throw EROInterfaceCastError(QStringLiteral(\"The event target does not implement I%1\"));", sink->name);
            c.f("    receiving->%1(%2);", ev.name, args.join(QStringLiteral(", ")));
            c.line(QStringLiteral("}"));
            c.line();
        }
    }
    // Registration, in the contract's order, and removal in the same order.
    c.line(QStringLiteral("void RegisterQuorvaDataService()"));
    c.line(QStringLiteral("{"));
    for (const Struct &s : lib.structs)
        if (isOwnRecord(s.name))
            c.f("    RegisterROClass(%1::TypeName, [] { return std::make_unique<%1>(); });", s.name);
    for (const Array &a : lib.arrays)
        if (isOwnRecord(a.name))
            c.f("    RegisterROClass(%1::TypeName, [] { return std::make_unique<%1>(); });", a.name);
    for (const Service *s : codeServices(lib)) {
        if (s == daService)
            continue;
        c.f("    RegisterProxyClass(I%1::IID, [](std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel) {", s->name);
        c.f("        return std::unique_ptr<TROProxy>(std::make_unique<T%1_Proxy>(std::move(message), std::move(channel)));", s->name);
        c.line(QStringLiteral("    });"));
    }
    for (const Service *sink : firingSinks(lib)) {
        c.f("    RegisterEventWriterClass(I%1_Writer::IID, [](TROInMemoryEventRepository &repository) {", sink->name);
        c.f("        return std::unique_ptr<TROEventWriter>(std::make_unique<T%1_Writer>(repository));", sink->name);
        c.line(QStringLiteral("    });"));
        c.f("    RegisterEventInvokerClass(%1, [] { return std::unique_ptr<TROEventInvoker>(std::make_unique<T%2_Invoker>()); });",
            lit(sink->name), sink->name);
    }
    c.line(QStringLiteral("}"));
    c.line();
    c.line(QStringLiteral("void UnregisterQuorvaDataService()"));
    c.line(QStringLiteral("{"));
    for (const Struct &s : lib.structs)
        if (isOwnRecord(s.name))
            c.f("    UnregisterROClass(%1::TypeName);", s.name);
    for (const Array &a : lib.arrays)
        if (isOwnRecord(a.name))
            c.f("    UnregisterROClass(%1::TypeName);", a.name);
    for (const Service *s : codeServices(lib))
        if (s != daService)
            c.f("    UnregisterProxyClass(I%1::IID);", s->name);
    for (const Service *sink : firingSinks(lib)) {
        c.f("    UnregisterEventWriterClass(I%1_Writer::IID);", sink->name);
        c.f("    UnregisterEventInvokerClass(%1);", lit(sink->name));
    }
    c.line(QStringLiteral("}"));
    c.line();
    c.line(QStringLiteral("namespace {"));
    c.line(QStringLiteral("// Registrations exist before any code of a program that links the contract runs."));
    c.line(QStringLiteral("struct AutoRegistration"));
    c.line(QStringLiteral("{"));
    c.line(QStringLiteral("    AutoRegistration() { RegisterQuorvaDataService(); }"));
    c.line(QStringLiteral("    ~AutoRegistration() { UnregisterQuorvaDataService(); }"));
    c.line(QStringLiteral("} autoRegistration;"));
    c.line(QStringLiteral("} // namespace"));
    c.save(outDir + QStringLiteral("/Quorva_Data_Service_Intf.cpp"));
}

// The server side: one invoker class per served service, the generic data operations first.
void writeInvk(const Library &lib, const QString &outDir)
{
    const Service *daService = findService(lib, QStringLiteral("DataAbstractService"));
    Writer h;
    h.line(QString::fromLatin1(kBanner));
    h.line(QStringLiteral("#pragma once"));
    h.line();
    h.line(QStringLiteral("#include \"Quorva_Data_Service_Intf.h\""));
    h.line(QStringLiteral("#include \"remoting/ROService.h\""));
    h.line();
    for (const Service *s : codeServices(lib)) {
        if (s == daService)
            continue;
        h.f("class CONTRACT_EXPORT T%1_Invoker : public TROInvoker", s->name);
        h.line(QStringLiteral("{"));
        h.line(QStringLiteral("public:"));
        h.f("    T%1_Invoker();", s->name);
        QList<Operation> ops;
        if (isDataService(*s))
            ops << daService->ops;
        ops << s->ops;
        for (const Operation &op : ops)
            h.f("    static void Invoke_%1(TRORemotable &instance, TROMessage &message, TROResponseOptions &options);", op.name);
        h.line(QStringLiteral("};"));
        h.line();
    }
    h.save(outDir + QStringLiteral("/Quorva_Data_Service_Invk.h"));

    Writer c;
    c.line(QString::fromLatin1(kBanner));
    c.line(QStringLiteral("#include \"Quorva_Data_Service_Invk.h\""));
    c.line();
    c.line(QStringLiteral("#include \"remoting/ROErrors.h\""));
    c.line(QStringLiteral("#include \"remoting/ROMessage.h\""));
    c.line();
    c.line(QStringLiteral("namespace {"));
    c.line(QStringLiteral("template <class Interface> Interface &serviceInterface(TRORemotable &instance)"));
    c.line(QStringLiteral("{"));
    c.line(QStringLiteral("    auto *service = dynamic_cast<Interface *>(&instance);"));
    c.line(QStringLiteral("    if (!service)"));
    c.line(QStringLiteral("        throw EROInterfaceCastError(QStringLiteral(\"The service object does not implement %1\").arg(Interface::ServiceName));"));
    c.line(QStringLiteral("    return *service;"));
    c.line(QStringLiteral("}"));
    c.line(QStringLiteral("} // namespace"));
    c.line();
    for (const Service *s : codeServices(lib)) {
        if (s == daService)
            continue;
        const QString cls = QStringLiteral("T%1_Invoker").arg(s->name);
        QList<Operation> ops;
        if (isDataService(*s))
            ops << daService->ops;
        ops << s->ops;
        c.f("%1::%1()", cls);
        c.line(QStringLiteral("{"));
        for (const Operation &op : ops)
            c.f("    RegisterOperation(%1, &%2::Invoke_%3);", lit(op.name), cls, op.name);
        c.line(QStringLiteral("}"));
        c.line();
        for (const Operation &op : ops) {
            const bool oneWay = op.resultType.isEmpty() && op.params.isEmpty() && op.name == QLatin1String("StopAutoSchedule");
            c.f("void %1::Invoke_%2(TRORemotable &instance, TROMessage &message, TROResponseOptions &options)", cls, op.name);
            c.line(QStringLiteral("{"));
            if (!oneWay)
                c.line(QStringLiteral("    Q_UNUSED(options);"));
            c.line(QStringLiteral("    // Objects read or returned stay here until the reply is written, also on an error."));
            c.line(QStringLiteral("    TROObjectDisposer disposer;"));
            QStringList args;
            for (const Param &p : op.params) {
                const TypeInfo t = typeInfo(p.type);
                if (p.flag == QLatin1String("In")) {
                    if (isObject(p.type)) {
                        c.f("    std::unique_ptr<%1> %2 = %3;", t.cpp, p.name, readExpr(QStringLiteral("message"), p.type, p.name));
                        c.f("    const %1 *%2Value = %2.get();", t.cpp, p.name);
                        c.f("    disposer.Add(std::move(%1));", p.name);
                        args << p.name + QStringLiteral("Value");
                    } else {
                        c.f("    const %1 %2 = %3;", t.cpp, p.name, readExpr(QStringLiteral("message"), p.type, p.name));
                        args << p.name;
                    }
                } else {
                    if (isObject(p.type))
                        c.f("    std::unique_ptr<%1> %2;", t.cpp, p.name);
                    else
                        c.f("    %1 %2%3;", t.cpp, p.name, defaultInit(t));
                    args << p.name;
                }
            }
            // Out objects are owned by the disposer as soon as the implementation returns or raises.
            QStringList outObjects;
            for (const Param &p : op.params)
                if (p.flag == QLatin1String("Out") && isObject(p.type))
                    outObjects << p.name;
            if (!outObjects.isEmpty()) {
                c.line(QStringLiteral("    const auto keepOuts = qScopeGuard([&] {"));
                for (const QString &name : outObjects)
                    c.f("        disposer.Add(std::move(%1));", name);
                c.line(QStringLiteral("    });"));
            }
            const QString call = QStringLiteral("serviceInterface<I%1>(instance).%2(%3)")
                                     .arg(isDataService(*s) && isGeneric(*daService, op.name) ? QStringLiteral("DataAbstractService") : s->name,
                                          op.name, args.join(QStringLiteral(", ")));
            if (op.resultType.isEmpty())
                c.f("    %1;", call);
            else if (isObject(op.resultType))
                c.f("    %1 result = %2;", resultDecl(op.resultType), call);
            else
                c.f("    const %1 result = %2;", resultDecl(op.resultType), call);
            if (oneWay) {
                c.line(QStringLiteral("    options.NoResponse = true;"));
                c.line(QStringLiteral("    Q_UNUSED(message);"));
            } else {
                c.f("    message.InitializeResponse(QuorvaLibraryName, %1, %2);", lit(s->name), lit(op.name));
                if (!op.resultType.isEmpty()) {
                    const QString expr = isObject(op.resultType) ? QStringLiteral("result.get()") : QStringLiteral("result");
                    c.f("    %1", writeStmt(QStringLiteral("message"), op.resultType, QStringLiteral("Result"), expr));
                }
                for (const Param &p : op.params) {
                    if (p.flag != QLatin1String("Out"))
                        continue;
                    const QString expr = isObject(p.type) ? p.name + QStringLiteral(".get()") : p.name;
                    c.f("    %1", writeStmt(QStringLiteral("message"), p.type, p.name, expr));
                }
                c.line(QStringLiteral("    message.Finalize();"));
            }
            if (!op.resultType.isEmpty() && isObject(op.resultType))
                c.line(QStringLiteral("    disposer.Add(std::move(result));"));
            c.line(QStringLiteral("}"));
            c.line();
        }
    }
    c.save(outDir + QStringLiteral("/Quorva_Data_Service_Invk.cpp"));
}

// The client host's asynchronous events proxy: Invoke_ sends, Retrieve_ collects.
void writeAsync(const Library &lib, const QString &outDir)
{
    const Service *events = findService(lib, QStringLiteral("EventsService"));
    Writer h;
    h.line(QString::fromLatin1(kBanner));
    h.line(QStringLiteral("#pragma once"));
    h.line();
    h.line(QStringLiteral("#include \"Quorva_Data_Service_Intf.h\""));
    h.line();
    h.line(QStringLiteral("class CONTRACT_EXPORT IEventsService_Async"));
    h.line(QStringLiteral("{"));
    h.line(QStringLiteral("public:"));
    h.line(QStringLiteral("    static inline const QUuid IID = QUuid(QStringLiteral(\"{61F36220-DDAD-46AD-8DFB-091B3B70DC9A}\"));"));
    h.line(QStringLiteral("    virtual ~IEventsService_Async() = default;"));
    for (const Operation &op : events->ops) {
        QStringList ins;
        for (const Param &p : op.params)
            if (p.flag == QLatin1String("In"))
                ins << inParamDecl(p);
        h.f("    virtual void Invoke_%1(%2) = 0;", op.name, ins.join(QStringLiteral(", ")));
        if (!op.resultType.isEmpty()) {
            QStringList outs;
            for (const Param &p : op.params)
                if (p.flag == QLatin1String("Out"))
                    outs << outParamDecl(p);
            h.f("    virtual %1 Retrieve_%2(%3) = 0;", resultDecl(op.resultType), op.name, outs.join(QStringLiteral(", ")));
        }
    }
    h.line(QStringLiteral("    virtual bool GetBusy() const = 0;"));
    h.line(QStringLiteral("    virtual bool GetAnswerReceived() const = 0;"));
    h.line(QStringLiteral("};"));
    h.line();
    h.line(QStringLiteral("class CONTRACT_EXPORT TEventsService_AsyncProxy : public TROAsyncProxy, public IEventsService_Async"));
    h.line(QStringLiteral("{"));
    h.line(QStringLiteral("public:"));
    h.line(QStringLiteral("    using TROAsyncProxy::TROAsyncProxy;"));
    h.line(QStringLiteral("    QString GetInterfaceName() const override { return QStringLiteral(\"EventsService\"); }"));
    h.line(QStringLiteral("    bool GetBusy() const override { return TROAsyncProxy::GetBusy(); }"));
    h.line(QStringLiteral("    bool GetAnswerReceived() const override { return TROAsyncProxy::GetAnswerReceived(); }"));
    for (const Operation &op : events->ops) {
        QStringList ins;
        for (const Param &p : op.params)
            if (p.flag == QLatin1String("In"))
                ins << inParamDecl(p);
        h.f("    void Invoke_%1(%2) override;", op.name, ins.join(QStringLiteral(", ")));
        if (!op.resultType.isEmpty()) {
            QStringList outs;
            for (const Param &p : op.params)
                if (p.flag == QLatin1String("Out"))
                    outs << outParamDecl(p);
            h.f("    %1 Retrieve_%2(%3) override;", resultDecl(op.resultType), op.name, outs.join(QStringLiteral(", ")));
        }
    }
    h.line(QStringLiteral("};"));
    h.line();
    h.line(QStringLiteral("struct CONTRACT_EXPORT CoEventsService_Async"));
    h.line(QStringLiteral("{"));
    h.line(QStringLiteral("    static std::unique_ptr<IEventsService_Async> Create(std::shared_ptr<TROMessage> message, "
                          "std::shared_ptr<TROTransportChannel> channel);"));
    h.line(QStringLiteral("};"));
    h.save(outDir + QStringLiteral("/Quorva_Data_Service_Async.h"));

    Writer c;
    c.line(QString::fromLatin1(kBanner));
    c.line(QStringLiteral("#include \"Quorva_Data_Service_Async.h\""));
    c.line();
    c.line(QStringLiteral("#include \"remoting/ROMessage.h\""));
    c.line();
    c.line(QStringLiteral("#include <QScopeGuard>"));
    c.line();
    for (const Operation &op : events->ops) {
        QStringList ins;
        for (const Param &p : op.params)
            if (p.flag == QLatin1String("In"))
                ins << inParamDecl(p);
        c.f("void TEventsService_AsyncProxy::Invoke_%1(%2)", op.name, ins.join(QStringLiteral(", ")));
        c.line(QStringLiteral("{"));
        c.f("    AssertProxyNotBusy(%1);", lit(op.name));
        c.f("    [[maybe_unused]] TROMessage &message = BeginRequest(QuorvaLibraryName, %1);", lit(op.name));
        for (const Param &p : op.params)
            if (p.flag == QLatin1String("In"))
                c.f("    %1", writeStmt(QStringLiteral("message"), p.type, p.name, p.name));
        c.f("    DispatchAsyncRequest(%1, %2);", lit(op.name),
            op.resultType.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"));
        c.line(QStringLiteral("}"));
        c.line();
        if (op.resultType.isEmpty())
            continue;
        QStringList outs;
        for (const Param &p : op.params)
            if (p.flag == QLatin1String("Out"))
                outs << outParamDecl(p);
        c.f("%1 TEventsService_AsyncProxy::Retrieve_%2(%3)", resultDecl(op.resultType), op.name, outs.join(QStringLiteral(", ")));
        c.line(QStringLiteral("{"));
        for (const Param &p : op.params) {
            if (p.flag != QLatin1String("Out"))
                continue;
            if (isObject(p.type))
                c.f("    %1.reset();", p.name);
            else
                c.f("    %1 = {};", p.name);
        }
        c.line(QStringLiteral("    TROMessage &message = *GetMessage();"));
        c.line(QStringLiteral("    const auto done = qScopeGuard([&message] { message.ClearValues(); });"));
        c.f("    RetrieveAsyncResponse(%1);", lit(op.name));
        c.f("    %1 result = %2;", resultDecl(op.resultType), readExpr(QStringLiteral("message"), op.resultType, QStringLiteral("Result")));
        for (const Param &p : op.params)
            if (p.flag == QLatin1String("Out"))
                c.f("    %1 = %2;", p.name, readExpr(QStringLiteral("message"), p.type, p.name));
        c.line(QStringLiteral("    return result;"));
        c.line(QStringLiteral("}"));
        c.line();
    }
    c.line(QStringLiteral("std::unique_ptr<IEventsService_Async> CoEventsService_Async::Create(std::shared_ptr<TROMessage> message, "
                          "std::shared_ptr<TROTransportChannel> channel)"));
    c.line(QStringLiteral("{"));
    c.line(QStringLiteral("    return std::make_unique<TEventsService_AsyncProxy>(std::move(message), std::move(channel));"));
    c.line(QStringLiteral("}"));
    c.save(outDir + QStringLiteral("/Quorva_Data_Service_Async.cpp"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: rodlgen CATALOGUE OUTDIR\n");
        return 2;
    }
    try {
        const Library lib = readLibrary(QString::fromLocal8Bit(argv[1]));
        gLibrary = &lib;
        const QString out = QString::fromLocal8Bit(argv[2]);
        writeIntf(lib, out);
        writeInvk(lib, out);
        writeAsync(lib, out);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "rodlgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
