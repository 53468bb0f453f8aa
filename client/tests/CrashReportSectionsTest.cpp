// The three sections the host adds to every crash report: a crash forced in a child process
// writes all three with values that fit the machine, and the locale section reads a locale
// once and again only when it changes. The keyboard delay comes from an X server (Xvfb here)
// or the desktop's settings file, the money of a locale from the C library's locale of that
// name (one compiled for the test with localedef).
#include "client/CrashHandler.h"
#include "client/uLocaleInfo.h"
#include "client/uMemoryInfo.h"
#include "client/uSystemInfo.h"

#include "testsupport/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <dlfcn.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// The name=value lines under a section's heading.
QMap<QString, QString> SectionValues(const QString &report, const QString &name, const QString &description)
{
    QMap<QString, QString> values;
    const QString heading = QStringLiteral("---- %1 (%2) ----\n").arg(name, description);
    const qsizetype at = report.indexOf(heading);
    if (at < 0)
        return values;
    const QString body = report.mid(at + heading.size());
    for (const QString &line : body.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("---- ")))
            break;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

quint64 Number(const QMap<QString, QString> &values, const QString &name)
{
    return values.value(name).toULongLong();
}

// Sets an environment variable for the caller's scope, and puts the old value back.
auto ScopedEnv(const char *name, const QByteArray &value)
{
    const bool had = qEnvironmentVariableIsSet(name);
    const QByteArray old = qgetenv(name);
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
    return qScopeGuard([=] { had ? void(qputenv(name, old)) : void(qunsetenv(name)); });
}

// An X server of the test's own whose keyboard repeats after delay milliseconds; its display
// name, empty when it did not start.
QString StartX(QProcess &xvfb, unsigned int delay)
{
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                       QStringLiteral("-noreset")});
    if (!xvfb.waitForStarted(5000))
        return {};
    for (int i = 0; i < 100 && !xvfb.canReadLine(); ++i)
        xvfb.waitForReadyRead(100);
    const QByteArray display = ':' + xvfb.readLine().trimmed();
    void *x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!x11 || display.size() < 2)
        return {};
    const auto open = reinterpret_cast<void *(*)(const char *)>(dlsym(x11, "XOpenDisplay"));
    const auto close = reinterpret_cast<int (*)(void *)>(dlsym(x11, "XCloseDisplay"));
    const auto set = reinterpret_cast<int (*)(void *, unsigned int, unsigned int, unsigned int)>(dlsym(x11, "XkbSetAutoRepeatRate"));
    const auto sync = reinterpret_cast<int (*)(void *, int)>(dlsym(x11, "XSync"));
    void *connection = open ? open(display.constData()) : nullptr;
    if (!connection)
        return {};
    set(connection, 0x0100, delay, 40);
    // A desktop's own choices: the mouse three times as fast past 7 pixels, the screen saver
    // after ten minutes, sticky keys on.
    const auto pointer = reinterpret_cast<int (*)(void *, int, int, int, int, int)>(dlsym(x11, "XChangePointerControl"));
    const auto saver = reinterpret_cast<int (*)(void *, int, int, int, int)>(dlsym(x11, "XSetScreenSaver"));
    const auto controls = reinterpret_cast<int (*)(void *, unsigned int, unsigned int, unsigned int)>(dlsym(x11, "XkbChangeEnabledControls"));
    pointer(connection, 1, 1, 3, 1, 7);
    saver(connection, 600, 0, 1, 1);
    constexpr unsigned int stickyKeys = 1U << 3;
    controls(connection, 0x0100, stickyKeys, stickyKeys);
    sync(connection, 0);
    close(connection);
    dlclose(x11);
    return QString::fromLatin1(display);
}

// A locale of the C library that only the test has, in folder: its money as the sources say.
bool CompileLocale(const QString &folder, const QString &name)
{
    QString source = QStringLiteral("comment_char %\nescape_char /\n");
    for (const char *category : {"LC_CTYPE", "LC_COLLATE", "LC_NUMERIC", "LC_MESSAGES"})
        source += QStringLiteral("%1\ncopy \"POSIX\"\nEND %1\n").arg(QString::fromLatin1(category));
    // Names of one letter; weeks from Monday, the first of the year the one with four of its days.
    const QString days = QStringLiteral("\"<U0053>\";\"<U004D>\";\"<U0054>\";\"<U0057>\";\"<U0054>\";\"<U0046>\";\"<U0053>\"");
    const QString months = days + QStringLiteral(";\"<U004A>\";\"<U0046>\";\"<U004D>\";\"<U0041>\";\"<U004D>\"");
    source += QStringLiteral("LC_TIME\nabday %1\nday %1\nabmon %2\nmon %2\nd_t_fmt \"<U0025><U0063>\"\nd_fmt \"<U0025><U0064>\"\n"
                             "t_fmt \"<U0025><U0054>\"\nam_pm \"<U0041>\";\"<U0050>\"\nt_fmt_ampm \"\"\nweek 7;19971201;4\nEND LC_TIME\n")
                  .arg(days, months);
    source += QStringLiteral(
        "LC_MONETARY\nint_curr_symbol \"<U0058><U0058><U0058><U0020>\"\ncurrency_symbol \"<U0058>\"\n"
        "mon_decimal_point \"<U002C>\"\nmon_thousands_sep \"<U002E>\"\nmon_grouping 3;2\npositive_sign \"\"\n"
        "negative_sign \"<U002D>\"\nint_frac_digits 3\nfrac_digits 2\np_cs_precedes 0\np_sep_by_space 1\n"
        "n_cs_precedes 0\nn_sep_by_space 1\np_sign_posn 1\nn_sign_posn 4\nEND LC_MONETARY\n");
    const QString sourceFile = QDir(folder).filePath(QStringLiteral("money.src"));
    QFile file(sourceFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(source.toLatin1()) < 0)
        return false;
    file.close();
    // localedef warns of the categories left out, and says so in its exit code.
    QProcess::execute(QStringLiteral("localedef"), {QStringLiteral("-f"), QStringLiteral("ANSI_X3.4-1968"), QStringLiteral("-i"), sourceFile,
                                                   QDir(folder).filePath(name)});
    return QFile::exists(QDir(folder).filePath(name + QStringLiteral("/LC_MONETARY")));
}

void RegisterAll()
{
    TSystemParametersInfo::RegisterSection();
    TMemoryInfo::RegisterSection();
    TLocaleInfo::RegisterSection();
}

} // namespace

TEST(CrashReportSections, ACrashInAChildProcessWritesTheThreeSectionsWithPlausibleValues)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("crashreport.txt"));
    EXPECT_DEATH(
        {
            TQorCrashHandler::Install(file, QStringLiteral("Quorva Kestrova : 1.0.0.0"));
            RegisterAll();
            std::raise(SIGSEGV);
        },
        "");
    QFile reportFile(file);
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    const QString report = QString::fromUtf8(reportFile.readAll());
    EXPECT_TRUE(report.contains(QStringLiteral("Signal: SIGSEGV")));

    const auto system = SectionValues(report, TSystemParametersInfo::SectionName, TSystemParametersInfo::SectionDescription);
    ASSERT_FALSE(system.isEmpty()) << report.toStdString();
    EXPECT_GT(Number(system, QStringLiteral("Desktop.WorkArea.Rect.Right")), Number(system, QStringLiteral("Desktop.WorkArea.Rect.Left")));
    EXPECT_GT(Number(system, QStringLiteral("Desktop.WorkArea.Rect.Bottom")), Number(system, QStringLiteral("Desktop.WorkArea.Rect.Top")));
    EXPECT_GE(system.value(QStringLiteral("Input.WheelScrollLines")).toInt(), 1);
    // What Qt knows of this desktop, not a fallback of 0.
    EXPECT_EQ(Number(system, QStringLiteral("Input.DoubleClickTime")), quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval()));
    EXPECT_GT(Number(system, QStringLiteral("Input.DoubleClickTime")), 0U);
    EXPECT_EQ(Number(system, QStringLiteral("Input.KeyboardSpeed")), quint64(QGuiApplication::styleHints()->keyboardAutoRepeatRate()));
    EXPECT_GT(Number(system, QStringLiteral("Windows.CaretBlinkTime")), 0U);
    EXPECT_EQ(system.value(QStringLiteral("Desktop.FontSmoothing")), QStringLiteral("true"));
    EXPECT_FALSE(system.value(QStringLiteral("Icon.IconTitleLogFont.LogFont.FaceName")).isEmpty());
    EXPECT_LT(system.value(QStringLiteral("Icon.IconTitleLogFont.LogFont.Height")).toInt(), 0);
    EXPECT_TRUE(system.value(QStringLiteral("UIEffects.GuiEffects")) == QLatin1String("true") ||
                system.value(QStringLiteral("UIEffects.GuiEffects")) == QLatin1String("false"));

    const auto memory = SectionValues(report, TMemoryInfo::SectionName, TMemoryInfo::SectionDescription);
    ASSERT_EQ(memory.size(), 7);
    const quint64 total = Number(memory, QStringLiteral("TotalPhysicalMemory"));
    EXPECT_GT(total, quint64(64) * 1024 * 1024);
    EXPECT_GT(Number(memory, QStringLiteral("AvailPhysicalMemory")), 0u);
    EXPECT_LE(Number(memory, QStringLiteral("AvailPhysicalMemory")), total);
    EXPECT_LE(Number(memory, QStringLiteral("AvailPageFile")), Number(memory, QStringLiteral("TotalPageFile")));
    EXPECT_GT(Number(memory, QStringLiteral("AvailVirtualMemory")), 0u);
    EXPECT_LT(Number(memory, QStringLiteral("AvailVirtualMemory")), Number(memory, QStringLiteral("TotalVirtualMemory")));
    EXPECT_LE(Number(memory, QStringLiteral("MemoryLoad")), 100u);

    const auto locale = SectionValues(report, TLocaleInfo::SectionName, TLocaleInfo::SectionDescription);
    EXPECT_FALSE(locale.value(QStringLiteral("DayNames.SName1")).isEmpty());
    EXPECT_FALSE(locale.value(QStringLiteral("MonthNames.SName12")).isEmpty());
    EXPECT_TRUE(locale.contains(QStringLiteral("MonthNames.SName13")));
    EXPECT_TRUE(locale.value(QStringLiteral("MonthNames.SName13")).isEmpty());
    EXPECT_FALSE(locale.value(QStringLiteral("SDecimal")).isEmpty());
    EXPECT_EQ(locale.value(QStringLiteral("Locale")), QLocale::system().name());
    EXPECT_EQ(locale.value(QStringLiteral("SystemLocaleConstant")), QStringLiteral("2048"));
    EXPECT_EQ(locale.value(QStringLiteral("UserLocaleConstant")), QStringLiteral("1024"));
    EXPECT_TRUE(locale.contains(QStringLiteral("NUO_SShortDate")));
}

TEST(CrashReportSections, ALocaleIsReadOnceAndAgainOnlyWhenItChanges)
{
    TLocaleInfo info;
    EXPECT_EQ(info.Reads(), 1);
    info.SetLocale(info.Locale());
    EXPECT_EQ(info.Reads(), 1);
    info.SetLocale(QStringLiteral("de_DE"));
    EXPECT_EQ(info.Reads(), 2);
    EXPECT_EQ(info.Value(QStringLiteral("DayNames.SName1")), QStringLiteral("Montag"));
    info.SetLocale(QStringLiteral("de_DE"));
    EXPECT_EQ(info.Reads(), 2);
    info.SetLocale(QStringLiteral("en_US"));
    EXPECT_EQ(info.Reads(), 3);
    EXPECT_EQ(info.Value(QStringLiteral("DayNames.SName1")), QStringLiteral("Monday"));
}

TEST(CrashReportSections, TheKeyboardMouseAndScreenValuesComeFromTheXServerElseFromTheDesktopsSettingsOrAreNone)
{
    QTemporaryDir config;
    QFile settings(config.filePath(QStringLiteral("kcminputrc")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Keyboard]\nRepeatDelay=420\n");
    settings.close();
    const auto configHome = ScopedEnv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    // The values of the X server, and what is written without one.
    const std::tuple<const char *, const char *, const char *> values[] = {
        {"Input.Mouse.ThresholdX", "7", "0"},
        {"Input.Mouse.Acceleration", "3", "0"},
        {"ScreenSaver.ScreenSaveTimeout", "600", "0"},
        {"ScreenSaver.ScreenSaveActive", "true", "false"},
        // Xvfb's own AccessX options, with sticky keys now on.
        {"Accessibility.StickyKeys.flags", "[skfAudibleFeedback, skfAvailable, skfStickyKeysOn, skfTriState, skfTwoKeysOff]", "[]"},
        {"Accessibility.FilterKeys.DelayMSec", "333", "0"},
    };
    const auto written = [] {
        QMap<QString, QString> out;
        for (const auto &[name, value] : TSystemParametersInfo().Properties())
            out.insert(name, value);
        return out;
    };
    {
        const auto noDisplay = ScopedEnv("DISPLAY", QByteArray());
        EXPECT_EQ(TSystemParametersInfo().KeyboardDelay(), 420);
        const QMap<QString, QString> none = written();
        for (const auto &[name, withX, without] : values)
            EXPECT_EQ(none.value(QString::fromLatin1(name)), QString::fromLatin1(without)) << name;
    }
    QProcess xvfb;
    const auto stop = qScopeGuard([&xvfb] {
        xvfb.kill();
        xvfb.waitForFinished(2000);
    });
    const QString display = StartX(xvfb, 333);
    ASSERT_FALSE(display.isEmpty()) << "Xvfb did not start";
    const auto onX = ScopedEnv("DISPLAY", display.toLatin1());
    EXPECT_EQ(TSystemParametersInfo().KeyboardDelay(), 333);
    EXPECT_TRUE(TQorCrashHandler::NameValueText(TSystemParametersInfo().Properties()).contains(QStringLiteral("Input.KeyboardDelay=333")));
    const QMap<QString, QString> fromX = written();
    for (const auto &[name, withX, without] : values)
        EXPECT_EQ(fromX.value(QString::fromLatin1(name)), QString::fromLatin1(withX)) << name;
}

TEST(CrashReportSections, TheMoneyAndTheFirstWeekOfALocaleComeFromTheCLibrarysLocaleOfThatName)
{
    QTemporaryDir folder;
    ASSERT_TRUE(CompileLocale(folder.path(), QStringLiteral("xx_XX")));
    const auto path = ScopedEnv("LOCPATH", QFile::encodeName(folder.path()));
#if defined(__SANITIZE_ADDRESS__)
    // The C library keeps what it parsed of LOCPATH for good.
    __lsan_disable();
    const auto enable = qScopeGuard([] { __lsan_enable(); });
#endif
    TLocaleInfo info;
    info.SetLocale(QStringLiteral("xx_XX"));
    // "1 X", "1.1 X-": the symbol after the amount and parted by a space, the sign after the symbol.
    const std::pair<const char *, const char *> expected[] = {
        {"ICurrency", "3"},        {"INegCurr", "10"},         {"IPosSignPosN", "1"},     {"INegSignPosN", "4"},
        {"NUO_INegSignPosN", "4"}, {"IPosSymPrecedes", "0"},   {"INegSepBySpace", "1"},   {"ICurrDigits", "2"},
        {"IIntlCurrDigits", "3"},  {"SCurreny", "X"},          {"SIntlSymbol", "XXX"},    {"SMonDecimalSep", ","},
        {"SMonThousandSep", "."},  {"SMonGrouping", "3;2;0"},  {"IFirstWeekOfYear", "2"},
    };
    for (const auto &[name, value] : expected)
        EXPECT_EQ(info.Value(QString::fromLatin1(name)), QString::fromLatin1(value)) << name;
    // The C locale does not say where the signs go.
    info.SetLocale(QStringLiteral("C"));
    EXPECT_EQ(info.Value(QStringLiteral("INegSignPosN")), QString());
    EXPECT_EQ(info.Value(QStringLiteral("INegCurr")), QString());
}

struct LocaleCase
{
    const char *locale;
    const char *name;
    const char *value;
};

void PrintTo(const LocaleCase &c, std::ostream *out)
{
    *out << c.locale << ' ' << c.name;
}

class LocaleValues : public ::testing::TestWithParam<LocaleCase>
{
};

TEST_P(LocaleValues, ReadFromTheLocale)
{
    TLocaleInfo info;
    info.SetLocale(QString::fromLatin1(GetParam().locale));
    EXPECT_EQ(info.Value(QString::fromLatin1(GetParam().name)), QString::fromUtf8(GetParam().value))
        << GetParam().locale << " " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    CrashReportSections, LocaleValues,
    ::testing::Values(LocaleCase{"de_DE", "MonthNames.SName03", "März"}, LocaleCase{"de_DE", "AbbrDayNames.SName7", "So."},
                      LocaleCase{"de_DE", "SDecimal", ","}, LocaleCase{"de_DE", "SThousand", "."},
                      LocaleCase{"de_DE", "SIntlSymbol", "EUR"}, LocaleCase{"de_DE", "ICurrency", "3"},
                      LocaleCase{"de_DE", "IDate", "1"}, LocaleCase{"de_DE", "ITime", "1"},
                      LocaleCase{"de_DE", "IMeasure", "0"}, LocaleCase{"de_DE", "IFirstDayOfWeek", "0"},
                      LocaleCase{"de_DE", "SEngCountry", "Germany"}, LocaleCase{"de_DE", "SNativeLangName", "Deutsch"},
                      LocaleCase{"en_US", "SCurreny", "$"}, LocaleCase{"en_US", "ICurrency", "0"},
                      LocaleCase{"en_US", "IPossSepBySpace", "0"}, LocaleCase{"en_US", "IDate", "0"},
                      LocaleCase{"en_US", "ITime", "0"}, LocaleCase{"en_US", "S1159", "AM"},
                      LocaleCase{"en_US", "IMeasure", "1"}, LocaleCase{"en_US", "IFirstDayOfWeek", "6"},
                      LocaleCase{"ja_JP", "ILDate", "2"}, LocaleCase{"en_US", "NUO_SShortDate", "M/d/yy"},
                      LocaleCase{"en_US", "SNativeDigits", "0123456789"}, LocaleCase{"en_US", "SGrouping", "3;0"},
                      LocaleCase{"de_DE", "SMonGrouping", "3;0"}, LocaleCase{"en_US", "INegNumber", "1"},
                      LocaleCase{"en_US", "ICurrDigits", "2"}, LocaleCase{"ja_JP", "ICurrDigits", "0"},
                      LocaleCase{"de_DE", "IIntlCurrDigits", "2"}),
    [](const ::testing::TestParamInfo<LocaleCase> &value) {
        QString name = QStringLiteral("%1_%2").arg(QString::fromLatin1(value.param.locale), QString::fromLatin1(value.param.name));
        name.replace(QLatin1Char('.'), QLatin1Char('_'));
        return name.toStdString();
    });
