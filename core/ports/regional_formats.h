#pragma once
// Port: the user's regional formats for dates, times and numbers.

#include <string>

#include "core/local_time.h"

namespace tarnwick {

class IRegionalFormats {
public:
    virtual ~IRegionalFormats() = default;
    virtual std::string ShortDate(LocalDateTime t) = 0;  // e.g. 08/12/2026
    virtual std::string LongDate(LocalDateTime t) = 0;   // e.g. 08 December 2026
    virtual std::string LongTime(LocalDateTime t) = 0;   // with seconds, e.g. 14:32:05
    virtual char32_t DecimalSeparator() = 0;             // '.' or ',' ...
};

}  // namespace tarnwick
