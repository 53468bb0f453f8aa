// What the host's tests share: a program folder of its own for each test (the language module,
// a plug-ins folder with copies of the in-tree test modules and their texts, a settings file),
// and reading a session log back.
#pragma once

#include "foundation/IniFile.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova::test {

class ProgramFolder
{
public:
    ProgramFolder()
    {
        EXPECT_TRUE(m_dir.isValid());
        QFile::copy(QStringLiteral(KESTROVA_SOURCE_DIR "/client/Quorva.lng"), Path(QStringLiteral("Quorva.lng")));
        QDir(m_dir.path()).mkdir(QStringLiteral("PlugIns"));
        // The per-user and machine stores stay inside the test's folder.
        qputenv("KESTROVA_REGISTRY_DIR", QFile::encodeName(Path(QStringLiteral("registry"))));
    }
    ~ProgramFolder() { qunsetenv("KESTROVA_REGISTRY_DIR"); }
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    QString Path(const QString &name = {}) const { return name.isEmpty() ? m_dir.path() : m_dir.filePath(name); }
    // The program file the host believes it runs from; it need not exist.
    QString ProgramPath() const { return Path(QStringLiteral("Quorva")); }
    QString PluginsFolder() const { return Path(QStringLiteral("PlugIns")); }

    // Copies an in-tree test module ("TestService", "TestViews") into the plug-ins folder under
    // a name of its own, with the language texts given (number, text).
    void AddModule(const QString &module, const QMap<int, QString> &texts = {}, QString asName = {}) const
    {
        if (asName.isEmpty())
            asName = module;
        const QString target = QDir(PluginsFolder()).filePath(asName + QStringLiteral(".qor"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_TEST_MODULES_DIR "/") + module + QStringLiteral(".qor"), target));
        QFile lng(QDir(PluginsFolder()).filePath(asName + QStringLiteral(".lng")));
        ASSERT_TRUE(lng.open(QIODevice::WriteOnly));
        for (auto it = texts.begin(); it != texts.end(); ++it)
            lng.write(QStringLiteral("%1=%2\n").arg(it.key()).arg(it.value()).toUtf8());
    }
    void AddFile(const QString &name, const QByteArray &content) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void SetSetting(const QString &key, const QString &value, const QString &section = QStringLiteral("System settings")) const
    {
        IniFile ini(Path(QStringLiteral("Settings.ini")));
        ini.load();
        ini.setValue(section, key, value);
        ASSERT_TRUE(ini.save());
    }

private:
    QTemporaryDir m_dir;
};

inline QStringList FileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

// The lines holding text, in order.
inline QStringList Matching(const QStringList &lines, const QString &text)
{
    QStringList result;
    for (const QString &line : lines)
        if (line.contains(text))
            result << line;
    return result;
}

// Where in lines the first line holding text is; -1 when none does.
inline int IndexOf(const QStringList &lines, const QString &text)
{
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(text))
            return i;
    return -1;
}

} // namespace kestrova::test
