#include "mail/Players.h"

#include <algorithm>

#include "model/FileNames.h"
#include "model/RecordFiles.h"

namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

}  // namespace

std::string addressOf(std::string_view value) {
    const std::size_t open = value.rfind('<');
    if (open != std::string_view::npos) {
        const std::size_t close = value.find('>', open);
        if (close != std::string_view::npos) value = value.substr(open + 1, close - open - 1);
    }
    std::string address;
    for (char c : value)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') address += c;
    return address;
}

namespace {

std::string cleanDomain(std::string_view typed) {
    std::string domain;
    for (char c : typed)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') domain += asciiLower(c);
    while (!domain.empty() && (domain.front() == '@' || domain.front() == '.')) domain.erase(0, 1);
    return domain;
}

}  // namespace

bool inDomain(std::string_view address, std::string_view domain) {
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos || domain.empty()) return false;
    const std::string_view own = address.substr(at + 1);
    if (equalNoCase(own, domain)) return true;
    // A sub-domain: "." + domain at the end of the address's domain.
    return own.size() > domain.size() && own[own.size() - domain.size() - 1] == '.' &&
           equalNoCase(own.substr(own.size() - domain.size()), domain);
}

bool sameAddress(std::string_view a, std::string_view b) {
    const std::size_t atA = a.rfind('@');
    const std::size_t atB = b.rfind('@');
    if (atA == std::string_view::npos || atB == std::string_view::npos) return a == b;
    return a.substr(0, atA) == b.substr(0, atB) && equalNoCase(a.substr(atA), b.substr(atB));
}

bool fromPlayer(const PlayerFilter& filter, std::optional<std::string_view> returnPath, const SjisText& sender) {
    if (filter.rule == PlayerFilter::Rule::AddressBook) {
        if (sender.empty()) return false;
        return std::any_of(filter.addressBook.begin(), filter.addressBook.end(),
                           [&](const SjisText& a) { return sameAddress(a, sender); });
    }
    if (!returnPath) return true;
    const std::string address = addressOf(*returnPath);
    return std::any_of(filter.domains.begin(), filter.domains.end(),
                       [&](const std::string& d) { return inDomain(address, d); });
}

PlayerFilter playerFilterOf(const ReplySettings& settings, const AddressBook& book) {
    PlayerFilter filter;
    filter.rule = playersOf(settings.PlayersRule);
    if (filter.rule == Players::AddressBook) {
        for (const SjisText& a : book.Addresses)
            if (!a.empty()) filter.addressBook.push_back(a);
    }
    filter.domains = playerDomainsOf(settings);
    return filter;
}

std::vector<std::string> playerDomainsOf(const ReplySettings& settings) {
    std::vector<std::string> domains;
    for (const SjisText& d : settings.PlayerDomains)
        if (!d.empty()) domains.push_back(d);
    if (domains.empty()) domains.assign(kCarrierDomains.begin(), kCarrierDomains.end());
    return domains;
}

bool storePlayerDomains(ReplySettings& settings, const std::vector<std::string>& typed) {
    std::vector<std::string> domains;
    for (const std::string& t : typed)
        if (std::string d = cleanDomain(t); !d.empty()) domains.push_back(std::move(d));
    if (domains.size() > settings.PlayerDomains.size()) return false;
    settings.PlayerDomains.fill(SjisText());
    if (std::equal(domains.begin(), domains.end(), kCarrierDomains.begin(), kCarrierDomains.end())) return true;
    std::copy(domains.begin(), domains.end(), settings.PlayerDomains.begin());
    return true;
}

ReplySettings ReadReplySettings(DataFiles& files) {
    ReplySettings settings;
    readRecordFile(files, FileNames::kReplySettings, settings, DataFiles::Mode::ReadOnly);
    return settings;
}
