// The thumbnailer's command: `tamarind --thumbnail INPUT OUTPUT SIZE`, run
// by a desktop for every file it types as a WinFax fax.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tamarind {

inline constexpr std::string_view kThumbnailSwitch = "--thumbnail";

// The switch's run, |arguments| being those after it: 0 when written,
// kExitFailures when the file gives no thumbnail, kExitUsage when the
// arguments are not INPUT OUTPUT SIZE (1 to kMaxThumbnailSize) or OUTPUT
// names INPUT. Says why on standard error.
int RunThumbnail(std::span<const std::string> arguments);

}  // namespace tamarind
