#include "mail/OutgoingMessage.h"

#include <vector>

#include "codec/Iso2022Jp.h"

SjisText BuildHeaderBlock(const SjisText& ownAddress)
{
    SjisText HeaderBlock;
    HeaderBlock += "Reply-To: " + ownAddress + "\r\n";
    HeaderBlock += "X-Mailer: TRIVORN\r\n";
    HeaderBlock += "MIME-Version: 1.0\r\n";
    HeaderBlock += "Content-Type: text/plain; charset=iso-2022-jp\r\n";
    HeaderBlock += "Content-Transfer-Encoding: 7bit\r\n";
    HeaderBlock += "X-Mozilla-Status: 0001\r\n";
    return HeaderBlock;
}

std::string DotStuff(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 64 + 1);
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = (c == '\n');
    }
    return out;
}

namespace {

constexpr std::size_t kLongestLine = 998;   // octets before the CR LF

// The line in pieces of at most kLongestLine octets once encoded, each cut
// after the last whole character that fits. The encoded length only grows
// as characters are added, so the cut is found by halving.
void appendBrokenLine(std::string& out, const SjisText& line) {
    std::size_t start = 0;
    while (start < line.size()) {
        std::vector<std::size_t> ends;   // where each character from `start` on ends
        for (std::size_t i = start; i < line.size();) {
            i += sjisStrictCharLength(line, i);
            ends.push_back(i);
        }
        auto fits = [&](std::size_t k) {
            return ToIso2022Jp(line.substr(start, ends[k] - start)).size() <= kLongestLine;
        };
        // One character always fits; lo fits, and nothing from hi on does.
        std::size_t lo = 0, hi = ends.size();
        while (hi - lo > 1) {
            const std::size_t mid = lo + (hi - lo) / 2;
            (fits(mid) ? lo : hi) = mid;
        }
        out += ToIso2022Jp(line.substr(start, ends[lo] - start));
        start = ends[lo];
        if (start < line.size()) out += "\r\n";
    }
}

}  // namespace

std::string BodyText(const SjisText& body) {
    const std::string whole = ToIso2022Jp(body);
    bool tooLong = false;
    for (std::size_t from = 0; from <= whole.size() && !tooLong;) {
        std::size_t lf = whole.find('\n', from);
        if (lf == std::string::npos) lf = whole.size();
        const std::size_t length = lf - from - (lf > from && whole[lf - 1] == '\r' ? 1 : 0);
        tooLong = length > kLongestLine;
        from = lf + 1;
    }
    if (!tooLong) return whole;

    // Line by line: the codec returns to one-byte text before every line
    // break, so the lines encoded one by one join to the same bytes.
    std::string out;
    for (std::size_t from = 0; from <= body.size();) {
        std::size_t lf = body.find('\n', from);
        const bool last = lf == SjisText::npos;
        if (last) lf = body.size();
        const bool cr = lf > from && body[lf - 1] == '\r';
        appendBrokenLine(out, body.substr(from, lf - from - (cr ? 1 : 0)));
        if (cr) out += '\r';
        if (!last) out += '\n';
        from = lf + 1;
    }
    return out;
}

std::string BuildMessageText(const std::string& headerSection, const SjisText& body)
{
    // Stuffing the whole text, not just the body, also keeps a subject or an
    // address that somehow holds a line break from ending the mail early.
    std::string text = DotStuff(headerSection + BodyText(body));
    // The last line ends before the "." line; without a body that line is
    // the empty one that ends the header section.
    if (!body.empty()) text += "\r\n";
    text += ".\r\n";
    return text;
}
