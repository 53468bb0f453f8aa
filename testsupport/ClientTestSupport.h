// What the host's tests share: a program folder of its own for each test (the language module,
// a plug-ins folder with copies of the in-tree test modules and their texts, a settings file),
// and reading a session log back.
#pragma once

#include "client/api/HostInterfaces.h"
#include "foundation/IniFile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

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

// Does what a user does in a modal window of that type once it shows: the call that opens it
// may first wait for the server, so the window is looked for until it appears.
template <class Window> void WhenShown(std::function<void(Window &)> user, QObject *owner = qApp)
{
    auto *poll = new QTimer(owner);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, user] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible()) {
                poll->stop();
                poll->deleteLater();
                user(*window);
                return;
            }
    });
    poll->start();
}

// The user's settings kept in memory, as the host's settings module answers them.
class FakeSettings : public Quorva::ISettings
{
public:
    virtual ~FakeSettings() = default;
    bool queryInterface(const QUuid &, void **object) override
    {
        *object = nullptr;
        return false;
    }
    int addRef() override { return 1; }
    int release() override { return 1; }
    QString GetUserSetting(const QString &key, const QString &defaultValue) override { return Values.value(key, defaultValue); }
    void SetUserSetting(const QString &key, const QString &value) override { Values.insert(key, value); }
    std::optional<QByteArray> LoadUserBlob(const QString &) override { return std::nullopt; }
    void SaveUserBlob(const QString &, const QByteArray *) override {}
    bool ClearUserSetting(const QString &name) override { return Values.remove(name) > 0; }

    QMap<QString, QString> Values;
};

} // namespace kestrova::test
