#include "mail/DeliveryStatus.h"

#include <map>

#include "mail/MessageIds.h"
#include "platform/SjisText.h"

namespace {

std::string lower(std::string_view s) {
    std::string out;
    for (char c : s) out += asciiLower(c);
    return out;
}

std::string trimmed(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

// "rfc822; taro@example.jp" → "taro@example.jp": what follows the type.
std::string afterType(std::string_view value) {
    const std::size_t semicolon = value.find(';');
    return trimmed(semicolon == std::string_view::npos ? value : value.substr(semicolon + 1));
}

// The fields of one block, names in lower case, continuation lines joined.
using Fields = std::map<std::string, std::string>;

std::vector<Fields> blocksOf(std::string_view text) {
    std::vector<Fields> blocks(1);
    std::string* last = nullptr;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at = end + 1;
        if (trimmed(line).empty()) {
            if (!blocks.back().empty()) blocks.emplace_back();
            last = nullptr;
        } else if ((line.front() == ' ' || line.front() == '\t') && last) {
            *last += ' ' + trimmed(line);
        } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            last = &blocks.back()[lower(trimmed(line.substr(0, colon)))];
            *last = trimmed(line.substr(colon + 1));
        }
        if (end == text.size()) break;
    }
    return blocks;
}

}  // namespace

std::string ReturnedMessageId(std::string_view returned) {
    // Its header section ends at the first empty line, as the first block.
    const Fields header = blocksOf(returned).front();
    const auto id = header.find("message-id");
    if (id == header.end()) return {};
    const std::vector<std::string> ids = ReferencedIds(id->second);
    return ids.empty() ? std::string() : ids.front();
}

std::vector<FailedDelivery> FailedDeliveries(std::string_view deliveryStatus) {
    std::vector<FailedDelivery> failed;
    // The first block speaks of the message; each further one of a recipient.
    const std::vector<Fields> blocks = blocksOf(deliveryStatus);
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        const Fields& f = blocks[i];
        const auto action = f.find("action"), recipient = f.find("final-recipient");
        if (action == f.end() || recipient == f.end() || lower(action->second) != "failed") continue;
        const auto status = f.find("status"), diagnostic = f.find("diagnostic-code");
        failed.push_back({afterType(recipient->second), status == f.end() ? std::string() : status->second,
                          diagnostic == f.end() ? std::string() : afterType(diagnostic->second)});
    }
    return failed;
}
