// Process-wide paths and fax-decoding settings, set up once at start.
#pragma once

#include <cstdint>
#include <string>

namespace tamarind {

struct ProcessPaths {
  std::string modulePath;                // full path of the executable
  std::string exeFolder;                 // its folder
  std::string settingsPath;              // tamarind.ini
  std::string logPath;                   // log/tmdlog.txt, or the "/log=" value
  bool logPathIsDefault = true;          // false once "/log=" replaced it
  std::string tempFolder;                // where the private temporary BMPs go
  std::string tempBmpPrefix = "tmpbmp";  // their names start with this
};

// Kept for the switches that set them; no value changes how WinFax files
// are converted.
struct ConversionSettings {
  uint16_t threshold = 50;
  uint8_t flagNum = 3;
  uint8_t bitOrder = 0;             // 0 auto, 1 highest bit first, 2 least bit first
  uint16_t verticalResolution = 0;  // 0 auto, 100, 200, 300, 400
  uint8_t nonStandardWidth = 1;
  uint16_t minWidth = 300;
  uint8_t lineMode = 1;
  uint8_t raw = 0;
  uint8_t recalcLines = 0;
};

extern ProcessPaths processPaths;
extern ConversionSettings conversionSettings;

// Settings and log beside the executable when a tamarind.ini is already
// there (portable use); otherwise in the per-user configuration and state
// folders.
ProcessPaths BuildProcessPaths(const std::string& modulePath);

}  // namespace tamarind
