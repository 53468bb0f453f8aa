// Small record and array classes shaped like the contract's, for the tests.
#pragma once

#include "remoting/ROSerializer.h"

#include <memory>
#include <vector>

class TestUser : public TROComplexType
{
public:
    QString UserID;
    QString UserName;
    qint32 UserLevel = 0;
    std::unique_ptr<TROBinaryMemoryStream> Photo;

    static QString StaticClassName() { return QStringLiteral("TestUser"); }
    QString ClassName() const override { return StaticClassName(); }
    void ReadComplex(TROSerializer &s) override
    {
        UserID = s.ReadAnsiString(QStringLiteral("UserID"));
        UserName = s.ReadAnsiString(QStringLiteral("UserName"));
        UserLevel = s.ReadInteger(QStringLiteral("UserLevel"));
        Photo = s.ReadBinary(QStringLiteral("Photo"));
    }
    void WriteComplex(TROSerializer &s) const override
    {
        s.WriteAnsiString(QStringLiteral("UserID"), UserID);
        s.WriteAnsiString(QStringLiteral("UserName"), UserName);
        s.WriteInteger(QStringLiteral("UserLevel"), UserLevel);
        s.WriteBinary(QStringLiteral("Photo"), Photo.get());
    }
};

class TestUsers : public TROArray
{
public:
    std::vector<std::unique_ptr<TestUser>> Items;

    QString ClassName() const override { return QStringLiteral("TestUsers"); }
    QString GetItemTypeName() const override { return TestUser::StaticClassName(); }
    int GetCount() const override { return int(Items.size()); }
    void Resize(int count) override
    {
        Items.resize(std::size_t(count));
        for (auto &item : Items)
            if (!item)
                item = std::make_unique<TestUser>();
    }
    void ReadComplex(TROSerializer &s) override
    {
        for (int i = 0; i < GetCount(); ++i)
            Items[std::size_t(i)] = s.ReadComplex<TestUser>(s.ArrayElementName(i));
    }
    void WriteComplex(TROSerializer &s) const override
    {
        for (int i = 0; i < GetCount(); ++i)
            s.WriteComplex(s.ArrayElementName(i), Items[std::size_t(i)].get());
    }
};

class TestStrings : public TROArray
{
public:
    QStringList Items;

    QString ClassName() const override { return QStringLiteral("StringArray"); }
    QString GetItemTypeName() const override { return QStringLiteral("Utf8String"); }
    int GetCount() const override { return int(Items.size()); }
    void Resize(int count) override { Items.resize(count); }
    void ReadComplex(TROSerializer &s) override
    {
        for (int i = 0; i < GetCount(); ++i)
            Items[i] = s.ReadUtf8String(s.ArrayElementName(i));
    }
    void WriteComplex(TROSerializer &s) const override
    {
        for (int i = 0; i < GetCount(); ++i)
            s.WriteUtf8String(s.ArrayElementName(i), Items[i]);
    }
};
