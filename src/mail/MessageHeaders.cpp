#include "mail/MessageHeaders.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"

namespace {

// RFC 5322 asks for lines of at most 78 characters; RFC 2047 for encoded
// words of at most 75.
constexpr std::size_t kLineLimit = 78;
constexpr std::size_t kWordLimit = 75;
constexpr std::string_view kWordStart = "=?ISO-2022-JP?B?";
constexpr std::string_view kWordEnd = "?=";
constexpr std::string_view kFold = "\r\n ";

// The days since 1970-01-01 as a proleptic Gregorian date.
struct CivilDate {
    std::int64_t year;
    int month, day;
};

CivilDate civilFromDays(std::int64_t days) {
    // Counted in eras of 400 years from 0000-03-01, so that the leap day
    // falls at the end of each year.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool isPrintableAscii(std::string_view s) {
    for (char c : s)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

// Text a receiver could take for an encoded word of its own.
bool looksEncoded(std::string_view s) { return s.find("=?") != std::string_view::npos; }

// The characters RFC 5322 allows in an atom, and the space between atoms:
// a display name of these needs no quotes.
bool isPhrase(std::string_view s) {
    constexpr std::string_view specials = "!#$%&'*+-/=?^_`{|}~ ";
    for (char c : s) {
        const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum && specials.find(c) == std::string_view::npos) return false;
    }
    return !s.empty() && s.front() != ' ' && s.back() != ' ';
}

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string encodedWord(const SjisText& characters) {
    return std::string(kWordStart) + PaddedBase64(ToIso2022Jp(characters, OneByteSet::Ascii)) + std::string(kWordEnd);
}

// The most bytes of ISO-2022-JP an encoded word of `room` characters holds.
std::size_t payloadFor(std::size_t room) {
    const std::size_t frame = kWordStart.size() + kWordEnd.size();
    return room > frame ? (room - frame) / 4 * 3 : 0;
}

// `text` cut into encoded words of whole characters, greedily: the first at
// most `firstRoom` characters long, the others at most kWordLimit.
std::vector<std::string> encodedWords(const SjisText& text, std::size_t firstRoom) {
    std::vector<std::string> words;
    SjisText run;
    std::size_t room = payloadFor(firstRoom);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = sjisStrictCharLength(text, i);
        const SjisText longer = run + text.substr(i, n);
        if (!run.empty() && ToIso2022Jp(longer, OneByteSet::Ascii).size() > room) {
            words.push_back(encodedWord(run));
            run.clear();
            room = payloadFor(kWordLimit);
            continue;   // the character starts the next word
        }
        run = longer;
        i += n;
    }
    if (!run.empty() || words.empty()) words.push_back(encodedWord(run));
    return words;
}

// "Name: " and the words, one a line; the first shares its line with the
// field's name.
std::string foldedWords(std::string_view name, const SjisText& text, std::size_t& lastLineLength) {
    const std::string head = std::string(name) + ": ";
    const std::size_t firstRoom = std::min(kWordLimit, kLineLimit - head.size());
    std::string out = head;
    bool first = true;
    for (const std::string& word : encodedWords(text, firstRoom)) {
        if (!first) out += kFold;
        out += word;
        lastLineLength = (first ? head.size() : 1) + word.size();
        first = false;
    }
    return out;
}

}  // namespace

std::string MailDate(const WallTime& t) {
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::int64_t local = t.secondsSinceEpoch + t.utcOffsetSeconds;
    const std::int64_t days = floorDiv(local, 86400);
    const std::int64_t second = local - days * 86400;
    const CivilDate date = civilFromDays(days);
    const int weekday = int((days % 7 + 11) % 7);   // 1970-01-01 was a Thursday
    const int offsetMinutes = std::abs(t.utcOffsetSeconds) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %04lld %02d:%02d:%02d %c%02d%02d", kDays[std::size_t(weekday)],
                  date.day, kMonths[std::size_t(date.month - 1)], static_cast<long long>(date.year),
                  int(second / 3600), int(second / 60 % 60), int(second % 60), t.utcOffsetSeconds < 0 ? '-' : '+',
                  offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

std::string TextField(std::string_view name, const SjisText& text) {
    if (isPrintableAscii(text) && !looksEncoded(text) && name.size() + 2 + text.size() <= kLineLimit)
        return std::string(name) + ": " + text + "\r\n";
    std::size_t last = 0;
    return foldedWords(name, text, last) + "\r\n";
}

std::string MailboxField(std::string_view name, const Mailbox& box) {
    const std::string head = std::string(name) + ": ";
    const std::string address = "<" + box.address + ">";
    if (box.name.empty()) return head + box.address + "\r\n";
    if (isPrintableAscii(box.name) && !looksEncoded(box.name)) {
        const std::string phrase = isPhrase(box.name) ? box.name : quoted(box.name);
        if (head.size() + phrase.size() + 1 + address.size() <= kLineLimit)
            return head + phrase + " " + address + "\r\n";
    }
    std::size_t last = 0;
    std::string out = foldedWords(name, box.name, last);
    out += last + 1 + address.size() <= kLineLimit ? " " : std::string(kFold);
    return out + address + "\r\n";
}

std::string HeaderSection(const MessageHeaders& h) {
    std::string out = h.fixedBlock;
    out += "Date: " + h.date + "\r\n";
    out += MailboxField("From", h.from);
    // Undisclosed recipients: an empty group, as RFC 5322 writes a list whose
    // members are not to be shown.
    out += h.to ? MailboxField("To", *h.to) : std::string("To: undisclosed-recipients:;\r\n");
    out += "Message-ID: " + h.messageId + "\r\n";
    out += TextField("Subject", h.subject);
    out += "\r\n";
    return out;
}
