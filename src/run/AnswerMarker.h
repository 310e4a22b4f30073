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

// Shift_JIS text with the full-width twins of ASCII (the ideographic space,
// "：", "０"-"９", "Ａ"-"Ｚ", "ａ"-"ｚ") made one-byte, and ASCII letters made
// lower case. Two-byte characters without such a twin stay as they are.
SjisText foldWidthAndCase(const SjisText& text);
