#pragma once
#include <optional>
#include <string_view>

#include "platform/SjisText.h"

// Text that arrives in a charset of Unicode's (UTF-8, EUC-JP, ...) comes into
// the system's Shift_JIS through the converter the windows use, so a wave dash
// or a circled digit reads the same from a reply as from the keyboard.
// ISO-2022-JP and Shift_JIS never come here: they are converted byte by byte.
class CharsetConverter {
public:
    virtual ~CharsetConverter() = default;
    // `bytes` written in the MIME charset `charset`, as Shift_JIS. A character
    // Windows-31J has no code for becomes 〓 (81 AC), as it does on the way
    // out to ISO-2022-JP. No value for a charset the platform does not know.
    virtual std::optional<SjisText> toSjis(std::string_view charset, std::string_view bytes) const = 0;
};
