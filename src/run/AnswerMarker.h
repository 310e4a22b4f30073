#pragma once
#include <optional>

#include "platform/SjisText.h"

// The answer line of a reply: the player writes their choice right after
// "答:" (answer). The question mail itself holds "答:" twice, in its
// instruction and on its answer line, so a reply that quotes the mail has the
// player's digit after the second one.

// Whether the body holds the marker at all, its colon written in either
// width ("答:" or "答：") and letters in either case.
bool hasAnswerMarker(const SjisText& body);

// The character that stands after the second exact "答:", or after the only
// one when there is just one. No value when there is no exact "答:" or
// nothing follows it.
std::optional<SjisText> answerCharacter(const SjisText& body);

// The answer a reply gives. Today's mail apps put the player's own text above
// the quoted question, so that text is read first: the first "答:" (either
// colon) followed by a digit there is the answer. Otherwise the rule of old
// phones, which quote the question mail whole and have the digit typed into
// its answer line: the character after the second "答:" of the whole text.
// With `fullWidthDigits` an answer in ０-９ counts as 0-9.
struct Answer {
    bool marked = false;        // the reply holds an answer line at all (hasAnswerMarker)
    std::optional<int> digit;   // the number chosen; nothing when it cannot be read
};
Answer ReadAnswer(const SjisText& body, bool fullWidthDigits);

// What the player wrote of a reply: the text without what it quotes. Left out
// are lines that begin with ">" or "＞" (after any white space), the
// attribution line just before such lines ("On … wrote:", "2026年12月8日 …:",
// any line ending in a colon of either width), and everything from a line
// "-----Original Message-----" or "-----元のメッセージ-----" on.
SjisText OwnText(const SjisText& body);

// Shift_JIS text with the full-width twins of ASCII (the ideographic space,
// "：", "０"-"９", "Ａ"-"Ｚ", "ａ"-"ｚ") made one-byte, and ASCII letters made
// lower case. Two-byte characters without such a twin stay as they are.
SjisText foldWidthAndCase(const SjisText& text);
