#pragma once
// Regional formats from QLocale: the user's locale, or one named on request.

#include <QLocale>

#include "core/ports/regional_formats.h"

namespace tarnwick {

class QtRegionalFormats : public IRegionalFormats {
public:
    // The user's regional settings.
    QtRegionalFormats();
    // A named locale, such as "en_GB" or "de_DE".
    explicit QtRegionalFormats(const QLocale& locale);

    std::string ShortDate(LocalDateTime t) override;
    // The locale's long date without the weekday, the day with two digits:
    // "08 December 2026" in en_GB.
    std::string LongDate(LocalDateTime t) override;
    std::string LongTime(LocalDateTime t) override;
    char32_t DecimalSeparator() override;

private:
    QLocale locale_;
    QString longDateFormat_;
    QString longTimeFormat_;
    char32_t decimal_;
};

}  // namespace tarnwick
