// The private names under which the platform layer makes a file before it
// is finished: "<stem>.<tag>.tmp" beside an output, "<prefix>-<tag><suffix>"
// for scratch files where the system has no unnamed ones. Both systems
// name them alike, so a file left by a killed run looks the same on each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tamarind::platform {

// How much of a final name a private name keeps: room for the tag and the
// suffixes within the usual 255-byte name limit.
inline constexpr size_t kMaxStemBytes = 200;

// How many random names an exclusive create tries before it gives up; only
// a folder filled with such names (or an attack) exhausts them.
inline constexpr int kNameAttempts = 64;

// Six random letters and digits, lower case only: a tag that differs only
// in case would name the same file on Windows.
std::string RandomTag();

// "<name>.XXXXXX.tmp", with |name| cut to kMaxStemBytes: never taken for a
// fax or an output by a later run.
std::string PrivateNameFor(std::string_view name);

// FNV-1a, to tell long names apart that share their first bytes.
uint64_t NameHash(std::string_view name);

}  // namespace tamarind::platform
