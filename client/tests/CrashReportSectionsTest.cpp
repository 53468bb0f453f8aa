// The three sections the host adds to every crash report: a crash forced in a child process
// writes all three with values that fit the machine, and the locale section reads a locale
// once and again only when it changes.
#include "client/CrashHandler.h"
#include "client/uLocaleInfo.h"
#include "client/uMemoryInfo.h"
#include "client/uSystemInfo.h"

#include "testsupport/QtPrinters.h"

#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QStyleHints>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

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
