#include "platform/qt_regional_formats.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace tarnwick {
namespace {

LocalDateTime At(int year, int month, int day, int hour, int minute, int second) {
    CivilDateTime c;
    c.year = year;
    c.month = month;
    c.day = day;
    c.hour = hour;
    c.minute = minute;
    c.second = second;
    return ToLocalDateTime(c);
}

const LocalDateTime kSave = At(2026, 12, 8, 14, 45, 0);

TEST(QtRegionalFormats, BritishFormats) {
    QtRegionalFormats gb(QLocale("en_GB"));
    EXPECT_EQ(gb.ShortDate(kSave), "08/12/2026");
    EXPECT_EQ(gb.LongDate(kSave), "08 December 2026");
    EXPECT_EQ(gb.LongTime(kSave), "14:45:00");
    EXPECT_EQ(gb.DecimalSeparator(), U'.');
    // Milliseconds are not shown; the time is not rounded up.
    EXPECT_EQ(gb.LongTime(AddMs(kSave, 999)), "14:45:00");
}

TEST(QtRegionalFormats, GermanDecimalComma) {
    QtRegionalFormats de(QLocale("de_DE"));
    EXPECT_EQ(de.DecimalSeparator(), U',');
    EXPECT_EQ(de.LongTime(kSave), "14:45:00");
    EXPECT_EQ(de.LongDate(kSave), "08. Dezember 2026");
    EXPECT_EQ(QtRegionalFormats(QLocale("en_US")).LongDate(kSave), "December 08, 2026");
}

TEST(QtRegionalFormats, LongTimeNamesNoTimeZoneInAnyLocale) {
    const QString zone = QDateTime(QDate(2026, 12, 8), QTime(14, 45)).timeZoneAbbreviation();
    const auto locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale& locale : locales) {
        const std::string name = locale.name().toStdString();
        const std::string time = QtRegionalFormats(locale).LongTime(kSave);
        ASSERT_FALSE(time.empty()) << name;
        if (!zone.isEmpty()) {
            EXPECT_EQ(time.find(zone.toStdString()), std::string::npos) << name << ": " << time;
        }
        EXPECT_EQ(time.find("UTC"), std::string::npos) << name << ": " << time;
        // Nothing is left over from the removed zone: no trailing separator.
        const char last = time.back();
        EXPECT_TRUE(last != ',' && last != ' ' && last != '(' && last != '[')
            << name << ": '" << time << "'";
    }
}

}  // namespace
}  // namespace tarnwick
