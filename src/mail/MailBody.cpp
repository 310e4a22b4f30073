#include "mail/MailBody.h"

#include "mail/SjisSearch.h"

namespace {

constexpr std::string_view kMultiPartPreamble = "This is a multi-part message in MIME format.";
constexpr std::string_view kSevenBit = "Content-Transfer-Encoding: 7bit";

// The next line that is a delimiter "--" + boundary, searched from `from`
// (which must be a line start). Returns the position of the "--".
std::size_t findDelimiterLine(std::string_view body, std::string_view delimiter, std::size_t from) {
    for (std::size_t pos = body.find(delimiter, from); pos != std::string_view::npos;
         pos = body.find(delimiter, pos + 1)) {
        if (pos == from || (pos >= 1 && body[pos - 1] == '\n')) return pos;
    }
    return std::string_view::npos;
}

struct Part {
    std::string_view headers;
    std::string_view text;
};

}  // namespace

std::string FindBoundary(std::string_view text) {
    const std::size_t at = sjisFindNoCase(text, "boundary=");
    if (at == std::string_view::npos) return {};
    std::size_t pos = at + 9;
    if (pos < text.size() && text[pos] == '"') {
        const std::size_t close = text.find_first_of("\"\r\n", pos + 1);
        if (close == std::string_view::npos || text[close] != '"') return {};
        return std::string(text.substr(pos + 1, close - pos - 1));
    }
    const std::size_t end = text.find_first_of("; \t\r\n", pos);
    return std::string(text.substr(pos, (end == std::string_view::npos ? text.size() : end) - pos));
}

bool HasMultiPartPreamble(std::string_view body) { return sjisContainsNoCase(body, kMultiPartPreamble); }

std::optional<std::string> ExtractBodyText(std::string_view headers, std::string_view body) {
    if (!HasMultiPartPreamble(body)) return std::string(body);

    std::string boundary = FindBoundary(headers);
    if (boundary.empty()) boundary = FindBoundary(body);
    if (boundary.empty()) return std::nullopt;
    const std::string delimiter = "--" + boundary;

    std::size_t at = findDelimiterLine(body, delimiter, 0);
    if (at == std::string_view::npos) return std::nullopt;

    std::optional<Part> first;
    while (true) {
        // The rest of the delimiter line: "--" after it closes the last part.
        const std::size_t lineEnd = body.find("\r\n", at);
        if (lineEnd == std::string_view::npos) break;
        if (body.compare(at + delimiter.size(), 2, "--") == 0) break;
        const std::size_t partStart = lineEnd + 2;

        // A part's headers end at a blank line; one with no headers starts
        // with the blank line itself.
        std::size_t textStart;
        if (body.compare(partStart, 2, "\r\n") == 0) {
            textStart = partStart + 2;
        } else {
            const std::size_t blank = body.find("\r\n\r\n", partStart);
            if (blank == std::string_view::npos) return std::nullopt;
            textStart = blank + 4;
        }
        Part part;
        part.headers = body.substr(partStart, textStart - partStart);

        // The text ends at the line break in front of the next delimiter;
        // that line break may be the one of the blank line (an empty text).
        const std::size_t end = body.find("\r\n" + delimiter, textStart - 2);
        if (end == std::string_view::npos) return std::nullopt;
        part.text = end >= textStart ? body.substr(textStart, end - textStart) : std::string_view{};

        if (sjisContainsNoCase(part.headers, kSevenBit)) return std::string(part.text);
        if (!first) first = part;
        at = end + 2;
    }
    if (first) return std::string(first->text);
    return std::nullopt;
}
