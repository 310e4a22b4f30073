#include "mail/MessageIds.h"

#include <cstdio>

namespace {

// What the right side of a Message-ID may hold without quoting: a domain
// name or an address written as one.
bool isDomainText(std::string_view s) {
    if (s.empty() || s.front() == '.' || s.back() == '.') return false;
    for (char c : s) {
        const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alnum && c != '-' && c != '.') return false;
    }
    return true;
}

}  // namespace

MessageIdMaker::MessageIdMaker() : random_(std::random_device{}()) {}

std::string MessageIdMaker::next(const WallTime& now, std::string_view domain) {
    char local[64];
    std::snprintf(local, sizeof local, "%lld.%u.%016llx", static_cast<long long>(now.secondsSinceEpoch), ++count_,
                  static_cast<unsigned long long>(random_()));
    return "<" + std::string(local) + "@" + std::string(domain) + ">";
}

std::optional<std::string> DomainOf(const SjisText& address) {
    const std::size_t at = address.rfind('@');
    if (at == SjisText::npos || at == 0 || !isDomainText(std::string_view(address).substr(at + 1))) return std::nullopt;
    return address.substr(at + 1);
}

std::string MessageIdDomain(const SjisText& ownAddress, const SjisText& smtpServer) {
    if (std::optional<std::string> domain = DomainOf(ownAddress)) return *domain;
    return isDomainText(smtpServer) ? smtpServer : std::string("localhost");
}

std::vector<std::string> ReferencedIds(std::string_view field) {
    std::vector<std::string> ids;
    for (std::size_t open = field.find('<'); open != std::string_view::npos; open = field.find('<', open + 1)) {
        const std::size_t close = field.find('>', open);
        if (close == std::string_view::npos) break;
        ids.emplace_back(field.substr(open, close - open + 1));
        open = close;
    }
    return ids;
}
