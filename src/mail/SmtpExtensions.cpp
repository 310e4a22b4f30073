#include "mail/SmtpExtensions.h"

#include <cctype>

#include "codec/Base64.h"

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
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
        // "250-KEYWORD params" or "250 KEYWORD params"
        const std::string words = upper(line.substr(4));
        if (words == "STARTTLS") offer.startTls = true;
        if (words.rfind("AUTH", 0) == 0 && words.size() > 4 && (words[4] == ' ' || words[4] == '=')) {
            const std::string mechanisms = " " + words.substr(5) + " ";
            if (mechanisms.find(" PLAIN ") != std::string::npos) offer.authPlain = true;
            if (mechanisms.find(" LOGIN ") != std::string::npos) offer.authLogin = true;
        }
    }
    return offer;
}

std::string ReplyFirstLine(const std::string& reply) {
    std::string line = reply.substr(0, reply.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string SaslBase64(const SjisText& text) {
    std::string out = EncodeBase64Text(text);
    while (out.size() % 4 != 0) out += '=';
    return out;
}
