#pragma once
#include <optional>
#include <string>
#include <string_view>

// Finding the text a player wrote in a fetched message of an old phone,
// before decoding: phones put the preamble of a multi-part message in front of
// its parts without always saying so in the message's type, and such a
// message is read here rather than by the MIME reader.
//
// `body` is everything after the blank line that ends the message headers, up
// to the line break in front of the terminating "." line. When the message is
// a multi-part one (its preamble says "This is a multi-part message in MIME
// format."), the text is that of the first part sent in 7bit (or else of the
// first part), up to the line break in front of the next "--" + boundary
// line. The last line of the text is always kept whole: it is often the
// answer line. No value when a multi-part message has no usable boundary, no
// delimiter line, or a part whose headers or text never end.
bool HasMultiPartPreamble(std::string_view body);
std::optional<std::string> ExtractBodyText(std::string_view headers, std::string_view body);

// The boundary parameter of a Content-Type header found in `text`: quoted
// ("…", ending at the closing quote) or bare (ending at ";", white space or
// the line end). Empty when there is none.
std::string FindBoundary(std::string_view text);
