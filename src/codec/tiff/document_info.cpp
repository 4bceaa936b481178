#include "codec/tiff/document_info.h"

#include <ctime>

namespace tamarind {

CalendarTime LocalCalendarTime(const platform::FileTime& time) {
  const std::time_t seconds = static_cast<std::time_t>(time.seconds);
  std::tm local{};
  if (!localtime_r(&seconds, &local) || local.tm_year + 1900 < 1 || local.tm_year + 1900 > 9999) return {};
  return {local.tm_year + 1900,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          static_cast<int>(local.tm_gmtoff / 60)};
}

}  // namespace tamarind
