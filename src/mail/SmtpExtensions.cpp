#include "mail/SmtpExtensions.h"

#include <algorithm>
#include <cctype>
#include <vector>


namespace {

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The words of a line, however many spaces or tabs stand between them.
std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

}  // namespace

EhloOffer ReadEhloOffer(const std::string& reply) {
    EhloOffer offer;
    std::size_t start = 0;
    while (start < reply.size()) {
        std::size_t end = reply.find('\n', start);
        if (end == std::string::npos) end = reply.size();
        std::string line = reply.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 4) continue;
        // "250-KEYWORD params" or "250 KEYWORD params"; the older form of
        // AUTH glues its first mechanism on with "=".
        std::vector<std::string> words = wordsOf(upper(line.substr(4)));
        if (words.empty()) continue;
        if (words[0] == "STARTTLS") offer.startTls = true;
        if (words[0] == "PIPELINING") offer.pipelining = true;
        if (words[0].rfind("AUTH=", 0) == 0) {
            words.push_back(words[0].substr(5));
        } else if (words[0] != "AUTH") {
            continue;
        }
        for (std::size_t i = 1; i < words.size(); ++i) {
            offer.authPlain |= words[i] == "PLAIN";
            offer.authLogin |= words[i] == "LOGIN";
        }
    }
    return offer;
}
