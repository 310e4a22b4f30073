#pragma once
#include "platform/CharsetConverter.h"

// Mail text in Unicode's charsets through the windows' own converter
// (platform/qt/Charset). Holds nothing: one instance serves everyone.
class QtCharsetConverter final : public CharsetConverter {
public:
    std::optional<SjisText> toSjis(std::string_view charset, std::string_view bytes) const override;
};
