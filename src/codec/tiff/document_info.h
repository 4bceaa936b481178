// What the archive formats record about the fax a document came from.
#pragma once

#include <string>
#include <string_view>

#include "platform/files.h"

namespace tamarind {

// The program that wrote a document (TIFF Software, PDF Producer).
inline constexpr std::string_view kDocumentProducer = "Tamarind 3.00";

struct DocumentInfo {
  std::string title;            // the source file's name, as bytes (UTF-8 as a rule)
  platform::FileTime modified;  // the source's modification time
  std::string subject = {};     // what the document is about (UTF-8); none when empty
};

// A moment as local calendar time and the local offset from UTC then.
struct CalendarTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int utc_offset_minutes = 0;  // east of UTC is positive
};

// |time| in the local time zone (TZ), as a file manager shows it: the same
// file gives the same text in every run on the machine. Seconds out of the
// calendar's range give the Unix epoch.
CalendarTime LocalCalendarTime(const platform::FileTime& time);

}  // namespace tamarind
