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

// Qt's long time format names the time zone ("HH:mm:ss t", "HH:mm:ss, t"); the
// readouts and records show the time of day with seconds only, so the zone and
// the separators that set it apart are dropped. Quoted literal text is kept.
QString TimeWithSecondsFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        }
        if (quoted || c != QLatin1Char('t')) {
            out.append(c);
        }
    }
    auto isSeparator = [](QChar c) { return c.isSpace() || c == QLatin1Char(','); };
    while (!out.isEmpty() && isSeparator(out.back())) {
        out.chop(1);
    }
    while (!out.isEmpty() && isSeparator(out.front())) {
        out.remove(0, 1);
    }
    return out;
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
