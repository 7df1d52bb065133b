#include "platform/qt_regional_formats.h"

#include <QDate>
#include <QTime>

namespace tarnwick {
namespace {

// Dates and times are formatted as plain wall-clock fields: going through
// QDateTime would consult the time zone on every call.
QDate ToQDate(LocalDateTime t) {
    const CivilDateTime c = ToCivil(t);
    return QDate(c.year, c.month, c.day);
}

QTime ToQTime(LocalDateTime t) {
    const CivilDateTime c = ToCivil(t);
    return QTime(c.hour, c.minute, c.second, c.millisecond);
}

// Qt's long time format names the time zone ("HH:mm:ss t"); the readouts and
// records show the time of day with seconds only, so the zone is dropped.
QString TimeWithSecondsFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

}  // namespace

QtRegionalFormats::QtRegionalFormats() : QtRegionalFormats(QLocale::system()) {}

QtRegionalFormats::QtRegionalFormats(const QLocale& locale)
    : locale_(locale),
      longTimeFormat_(TimeWithSecondsFormat(locale)),
      decimal_(locale.decimalPoint().isEmpty() ? U'.'
                                               : locale.decimalPoint().toUcs4().value(0, U'.')) {}

std::string QtRegionalFormats::ShortDate(LocalDateTime t) {
    return locale_.toString(ToQDate(t), QLocale::ShortFormat).toStdString();
}

std::string QtRegionalFormats::LongDate(LocalDateTime t) {
    return locale_.toString(ToQDate(t), QLocale::LongFormat).toStdString();
}

std::string QtRegionalFormats::LongTime(LocalDateTime t) {
    return locale_.toString(ToQTime(t), longTimeFormat_).toStdString();
}

char32_t QtRegionalFormats::DecimalSeparator() {
    return decimal_;
}

}  // namespace tarnwick
