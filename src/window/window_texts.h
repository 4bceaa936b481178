// Texts of the window that depend on what it is doing: captions and
// messages that name the output format, the line that says when the
// automatic conversion runs next, and messages that name a path and the
// cause of a failure. Where the format is JPEG the texts are the
// program's long-standing ones.
#pragma once

#include <string>
#include <string_view>

#include "convert/conversion_options.h"

namespace tamarind {

// "Convert Fax to Jpeg", "Convert Fax to PDF", "Convert Fax to TIFF".
std::string ConvertGroupCaption(OutputFormat format);
// "Destination JPEG Files", "Destination PDF Files", ...
std::string DestinationColumnHead(OutputFormat format);
// "Tamarind\nConvert WinFax fxd/fxm/fxr/fxs to jpg" (pdf, tif).
std::string TrayTip(OutputFormat format);
// "Select Save Dir,\nwhere your converted jpg files should be" (pdf, tif).
std::string NoDestinationMessage(OutputFormat format);

// The file dialogs' filters: WinFax files, then every file.
inline constexpr std::string_view kFaxFileFilters = "WinFax files (*.fxd *.fxm *.fxr *.fxs);;All files (*)";

// "Error Save Dir" and, on the next line, what could not be made and why.
std::string SaveDirErrorText(std::string_view reason);
// A file or folder that no program on the desktop would open.
std::string NothingOpensText(std::string_view path);
// The question Esc asks while a run converts.
inline constexpr std::string_view kCancelRunQuestion =
    "A conversion is running.\nCancel it after the file in progress?";

// "Automatic conversion every 5 minutes, next at 14:05" ("every 1
// minute"); |hour| and |minute| are the local time of the next run.
std::string AutoConvertText(int minutes, int hour, int minute);

}  // namespace tamarind
