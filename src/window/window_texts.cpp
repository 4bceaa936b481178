#include "window/window_texts.h"

#include "convert/output_names.h"

namespace tamarind {

namespace {

// The format as the window's captions name it.
std::string_view CaptionName(OutputFormat format, bool capitals) {
  switch (format) {
    case OutputFormat::Pdf: return "PDF";
    case OutputFormat::Tiff: return "TIFF";
    case OutputFormat::Jpeg: break;
  }
  return capitals ? "JPEG" : "Jpeg";
}

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

}  // namespace

std::string ConvertGroupCaption(OutputFormat format) {
  return "Convert Fax to " + std::string(CaptionName(format, false));
}

std::string DestinationColumnHead(OutputFormat format) {
  return "Destination " + std::string(CaptionName(format, true)) + " Files";
}

std::string TrayTip(OutputFormat format) {
  return "Tamarind\nConvert WinFax fxd/fxm/fxr/fxs to " + std::string(OutputFormatName(format));
}

std::string NoDestinationMessage(OutputFormat format) {
  return "Select Save Dir,\nwhere your converted " + std::string(OutputFormatName(format)) + " files should be";
}

std::string SaveDirErrorText(std::string_view reason) { return "Error Save Dir\n" + std::string(reason); }

std::string NothingOpensText(std::string_view path) { return "No program on this desktop opens\n" + std::string(path); }

std::string AutoConvertText(int minutes, int hour, int minute) {
  return "Automatic conversion every " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes") +
         ", next at " + TwoDigits(hour) + ":" + TwoDigits(minute);
}

}  // namespace tamarind
