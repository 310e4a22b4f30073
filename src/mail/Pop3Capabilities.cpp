#include "mail/Pop3Capabilities.h"

#include <algorithm>

#include "platform/SjisText.h"

namespace {

// The first word of a line, folded to lower case.
std::string keywordOf(const std::string& line) {
    const std::size_t from = line.find_first_not_of(" \t");
    if (from == std::string::npos) return {};
    const std::size_t to = std::min(line.find_first_of(" \t\r", from), line.size());
    std::string word;
    for (std::size_t i = from; i < to; ++i) word += asciiLower(line[i]);
    return word;
}

}  // namespace

Pop3Capabilities ReadPop3Capabilities(const std::string& reply) {
    Pop3Capabilities caps;
    // The status line names no capability, whatever its text says.
    std::size_t start = reply.find('\n');
    while (start != std::string::npos && start + 1 < reply.size()) {
        ++start;
        const std::size_t end = reply.find('\n', start);
        const std::string keyword = keywordOf(reply.substr(start, end == std::string::npos ? end : end - start));
        if (keyword == "pipelining") caps.pipelining = true;
        start = end;
    }
    return caps;
}
