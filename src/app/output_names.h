// How output names are made from source and destination names. Extensions
// are only ever taken from the last component of a path, so a dot in a
// folder name can never move an output out of its folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tamarind {

// |path| without the extension of its last component ("a/b.c.jpg" gives
// "a/b.c"); a name whose only dot leads it (".jpg") keeps it.
std::string_view WithoutExtension(std::string_view path);

// A page number as it appears in page file names and report lines: three
// digits with leading zeros, more from 1000 on.
std::string PageNumber(unsigned n);

// The page files of a conversion into |destination|: the destination itself
// for |pages| <= 1, else base + "%03d" + ".jpg" for pages 1 to |pages|.
std::vector<std::string> PageFileNames(const std::string& destination, uint16_t pages);

// The output of listed file |entry| (relative to the source folder) in a
// folder run into |destination|.
std::string FolderRunOutput(std::string_view destination, std::string_view entry, bool keepExtension,
                            bool keepHierarchy);

}  // namespace tamarind
