#include "run/InvitationText.h"

#include <array>

// Literals are Shift_JIS bytes; the comment beside each shows the text.

const SjisText kGreetingMorning =
    "\x82\xa8\x91\x81\x82\xa4\x82\xb2\x82\xb4\x82\xa2\x82\xdc\x82\xb7\x81\x42";   // お早うございます。
const SjisText kGreetingAfternoon = "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x41";   // こんにちは、
const SjisText kGreetingEvening = "\x8d\xa1\x94\xd3\x82\xcd\x81\x41";                     // 今晩は、

SjisText GreetingByClock(const std::string& hhmm) {
    // Text comparison on purpose: "00:00" is not after "00:00", so midnight
    // falls through to the evening greeting.
    if (hhmm > "00:00" && hhmm <= "12:00") return kGreetingMorning;
    if (hhmm > "12:00" && hhmm < "17:00") return kGreetingAfternoon;
    return kGreetingEvening;
}

namespace {

const char* const kCrLf = "\r\n";

// The banner that opens every mail the quiz sends; each line is 20 characters.
const std::array<const char*, 3> kBanner = {
    "********************",
    "* TRIVORN          *",
    "********************",
};

// Lines 7 to 13 and 15 to 16 of the body never change.
const std::array<const char*, 7> kMiddleLines = {
    "\x83\x4e\x83\x43\x83\x59\x82\xf0\x8a\x4a\x8e\x6e\x82\xb5\x82\xbd\x82\xa2\x82\xc6\x81\x41",   // クイズを開始したいと、
    "\x8e\x76\x82\xa2\x82\xdc\x82\xb7\x82\xcc\x82\xc5\x81\x41",                                   // 思いますので、
    "\x8e\x51\x89\xc1\x82\xcc\x95\xfb\x82\xcd\x81\x41\x82\xbb\x82\xcc\x82\xdc\x82\xdc",           // 参加の方は、そのまま
    "\x82\xc8\x82\xc9\x82\xe0\x8b\x4c\x93\xfc\x82\xb9\x82\xb8\x82\xc9\x81\x41",                   // なにも記入せずに、
    "\x95\xd4\x90\x4d\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42",                   // 返信してください。
    "\x95\x73\x8e\x51\x89\xc1\x82\xcc\x95\xfb\x82\xcd\x81\x41",                                   // 不参加の方は、
    "\x95\xd4\x90\x4d\x82\xb5\x82\xc8\x82\xad\x82\xc4\x8c\x8b\x8d\x5c\x82\xc5\x82\xb7\x81\x42",   // 返信しなくて結構です。
};
const std::array<const char*, 2> kClosingLines = {
    "\x82\xc8\x82\xa2\x95\xfb\x82\xcd\x95\x73\x8e\x51\x89\xc1",   // ない方は不参加
    "\x82\xc6\x82\xa2\x82\xbd\x82\xb5\x82\xdc\x82\xb7\x81\x42",   // といたします。
};

const char* const kDesu = "\x82\xc5\x82\xb7\x81\x42";                                  // です。
const char* const kKorekaraDai = "\x82\xb1\x82\xea\x82\xa9\x82\xe7\x91\xe6";           // これから第
const char* const kKaimeNo = "\x89\xf1\x96\xda\x82\xcc";                               // 回目の
const char* const kFunInai = "\x95\xaa\x88\xc8\x93\xe0\x82\xc9\x95\xd4\x90\x4d\x82\xcc";   // 分以内に返信の
const char* const kDai = "\x91\xe6";                                                   // 第
const char* const kSubjectTail =
    "\x89\xf1\x82\xcc\x83\x4e\x83\x43\x83\x59\x8e\x51\x89\xc1\x82\xb2\x8a\x6d\x94\x46";   // 回のクイズ参加ご確認

}   // namespace

SjisText InvitationBody(const SjisText& greeting, const SjisText& name,
                        const SjisText& round, const SjisText& minutes) {
    SjisText body;
    auto line = [&body](const SjisText& text) { body += text; body += kCrLf; };

    for (const char* l : kBanner) line(l);
    line(greeting);
    line(name + kDesu);
    line(kKorekaraDai + round + kKaimeNo);
    for (const char* l : kMiddleLines) line(l);
    line(minutes + kFunInai);
    for (const char* l : kClosingLines) line(l);
    return body;
}

SjisText InvitationSubject(const SjisText& round) {
    return kDai + round + kSubjectTail;
}
