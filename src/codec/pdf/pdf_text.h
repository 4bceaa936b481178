// Text as PDF and its XMP metadata need it: Unicode from UTF-8 that may be
// invalid, UTF-16 text strings, XML character data.
#pragma once

#include <string>
#include <string_view>

namespace tamarind::pdf_internal {

// The Unicode scalar values of |text|; each byte that starts no valid
// UTF-8 sequence becomes U+FFFD, so any file name has a text form.
std::u32string DecodeUtf8(std::string_view text);

// A document's text as both the document information dictionary and the
// XMP packet can hold it alike, so that they say the same: control bytes
// shown escaped as the program's every output shows them ("\x1b", "\r";
// XML can hold no C0 control but tab, line feed and carriage return, and
// turns a carriage return into a line feed), then DecodeUtf8, with U+FFFE
// and U+FFFF (no XML characters either) as U+FFFD.
std::u32string MetadataText(std::string_view text);

std::string EncodeUtf8(std::u32string_view text);

// A PDF text string in UTF-16BE with its byte order mark, as a hex string
// ("<FEFF0041>").
std::string Utf16HexString(std::u32string_view text);

// |utf8| with &, < and > escaped for XML character data.
std::string XmlEscaped(std::string_view utf8);

}  // namespace tamarind::pdf_internal
