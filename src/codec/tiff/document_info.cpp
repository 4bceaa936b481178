#include "codec/tiff/document_info.h"

#include <ctime>

namespace tamarind {

CalendarTime LocalCalendarTime(const platform::FileTime& time) {
  std::tm local{};
  int offsetMinutes = 0;
  if (!platform::LocalCalendar(time.seconds, local, offsetMinutes) || local.tm_year + 1900 < 1 ||
      local.tm_year + 1900 > 9999)
    return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     offsetMinutes};
}

}  // namespace tamarind
