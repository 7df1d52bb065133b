#include "platform/qt_regional_formats.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <vector>

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

// One piece of a date or time format: a field such as "dddd" or "MMMM", or the
// literal text between fields (quoted text kept with its quotes).
struct FormatPiece {
    QString text;
    bool field = false;
};

std::vector<FormatPiece> SplitFormat(const QString& format) {
    std::vector<FormatPiece> pieces;
    bool quoted = false;
    for (const QChar c : format) {
        const bool field = !quoted && c.isLetter();
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        }
        const bool sameField =
            field && !pieces.empty() && pieces.back().field && pieces.back().text.front() == c;
        const bool sameLiteral = !field && !pieces.empty() && !pieces.back().field;
        if (sameField || sameLiteral) {
            pieces.back().text.append(c);
        } else {
            pieces.push_back({QString(c), field});
        }
    }
    return pieces;
}

// The regional long date as the results write it: the day of the month with
// two digits and no weekday, "08 December 2026" where the locale has
// "dddd, d MMMM yyyy". The weekday goes with the separator that follows it, or
// with the one before it when it comes last.
QString LongDateFormat(const QLocale& locale) {
    std::vector<FormatPiece> pieces = SplitFormat(locale.dateFormat(QLocale::LongFormat));
    const auto isWeekday = [](const FormatPiece& p) {
        return p.field && p.text.front() == QLatin1Char('d') && p.text.size() >= 3;
    };
    for (auto day = std::find_if(pieces.begin(), pieces.end(), isWeekday); day != pieces.end();
         day = std::find_if(pieces.begin(), pieces.end(), isWeekday)) {
        auto from = day;
        auto to = day + 1;
        if (to != pieces.end() && !to->field) {
            ++to;
        } else if (from != pieces.begin() && !(from - 1)->field) {
            --from;
        }
        pieces.erase(from, to);
    }
    QString format;
    for (const FormatPiece& p : pieces) {
        format += p.field && p.text == QLatin1String("d") ? QStringLiteral("dd") : p.text;
    }
    return format;
}

}  // namespace

QtRegionalFormats::QtRegionalFormats() : QtRegionalFormats(QLocale::system()) {}

QtRegionalFormats::QtRegionalFormats(const QLocale& locale)
    : locale_(locale),
      longDateFormat_(LongDateFormat(locale)),
      longTimeFormat_(TimeWithSecondsFormat(locale)),
      decimal_(locale.decimalPoint().isEmpty() ? U'.'
                                               : locale.decimalPoint().toUcs4().value(0, U'.')) {}

std::string QtRegionalFormats::ShortDate(LocalDateTime t) {
    return locale_.toString(ToQDate(t), QLocale::ShortFormat).toStdString();
}

std::string QtRegionalFormats::LongDate(LocalDateTime t) {
    return locale_.toString(ToQDate(t), longDateFormat_).toStdString();
}

std::string QtRegionalFormats::LongTime(LocalDateTime t) {
    return locale_.toString(ToQTime(t), longTimeFormat_).toStdString();
}

char32_t QtRegionalFormats::DecimalSeparator() {
    return decimal_;
}

}  // namespace tarnwick
