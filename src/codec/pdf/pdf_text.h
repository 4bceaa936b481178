// Text as PDF and its XMP metadata need it: Unicode from UTF-8 that may be
// invalid, UTF-16 text strings, XML character data.
#pragma once

#include <string>
#include <string_view>

namespace tamarind::pdf_internal {

// The Unicode scalar values of |text|; each byte that starts no valid
// UTF-8 sequence becomes U+FFFD, so any file name has a text form.
std::u32string DecodeUtf8(std::string_view text);

// DecodeUtf8, with the characters XML cannot hold (controls other than
// tab, line feed and carriage return; U+FFFE, U+FFFF) also as U+FFFD: the
// document information dictionary and the XMP packet must say the same.
std::u32string MetadataText(std::string_view text);

std::string EncodeUtf8(std::u32string_view text);

// A PDF text string in UTF-16BE with its byte order mark, as a hex string
// ("<FEFF0041>").
std::string Utf16HexString(std::u32string_view text);

// |utf8| with &, < and > escaped for XML character data.
std::string XmlEscaped(std::string_view utf8);

}  // namespace tamarind::pdf_internal
