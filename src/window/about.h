// What the About box links to, the same in every window of the program.
#pragma once

namespace tamarind {

inline constexpr const char* kHomePage = "https://github.com/tamarind-fax/tamarind";
inline constexpr const char* kSupportAddress = "support@tamarind-fax.org";

}  // namespace tamarind
