// How output names are made from source and destination names, and which
// outputs may meet. Extensions are only ever taken from the last component
// of a path, so a dot in a folder name can never move an output out of its
// folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_options.h"

namespace tamarind {

// |path| without the extension of its last component ("a/b.c.jpg" gives
// "a/b.c"); a name whose only dot leads it (".jpg") keeps it.
std::string_view WithoutExtension(std::string_view path);

// The last component of |path|.
std::string_view LastComponent(std::string_view path);

// A format's name on the command line and in the settings file ("jpg",
// "pdf", "tif"), and the format a name stands for (any case).
std::string_view OutputFormatName(OutputFormat format);
std::optional<OutputFormat> OutputFormatNamed(std::string_view name);

// The file name extension of |format|'s outputs, with its dot.
std::string_view OutputExtension(OutputFormat format);

// A page number as it appears in page file names and report lines: three
// digits with leading zeros, more from 1000 on.
std::string PageNumber(unsigned n);

// The page files of a conversion into |destination|: the destination itself
// for |pages| <= 1, else base + "%03d" + ".jpg" for pages 1 to |pages|.
std::vector<std::string> PageFileNames(const std::string& destination, uint16_t pages);

// The text file beside a conversion's outputs: |destination| without its
// extension, plus ".txt" (out/a.jpg, out/a001.jpg ... give out/a.txt).
std::string TextFileFor(std::string_view destination);

// The output of listed file |entry| (relative to the source folder) in a
// folder run with |options| (destination, keepExtension, keepHierarchy);
// "" when the hierarchy is kept and |entry| is absolute or climbs out with
// "..", which would put the output outside the destination.
std::string FolderRunOutput(const ConversionOptions& options, std::string_view entry);

// The names a conversion with |options| may write besides its destination
// D: the page files of WithoutExtension(D) (JPEG), and its text file (text
// recognised into JPEGs or TIFFs). Given a |path|, the bases b =
// WithoutExtension(D) whose conversions may write it so, spelled as |path|
// spells them ("out/a001.jpg" gives "out/a", and "out/a00" whose page 1001
// it would be).
std::vector<std::string> BasesWriting(std::string_view path, const ConversionOptions& options);

// Which other conversions a conversion into an output may meet: one whose
// |base| is among this one's |reaches| may write a file of the same name
// (or this one a file of its name). Case is folded, since the destination
// may not tell "A.jpg" from "a.jpg".
struct CollisionKeys {
  std::string base;
  std::vector<std::string> reaches;
};
CollisionKeys CollisionKeysOf(std::string_view output);

}  // namespace tamarind
