#include "mail/SmtpReplyReader.h"

std::optional<SmtpReplyReader::Reply> SmtpReplyReader::next()
{
    std::size_t lineStart = scanned_;
    while (true) {
        std::size_t lf = buffer_.find('\n', lineStart);
        if (lf == std::string::npos) break;
        std::size_t lineEnd = (lf > lineStart && buffer_[lf - 1] == '\r') ? lf - 1 : lf;
        std::string line = buffer_.substr(lineStart, lineEnd - lineStart);
        bool continuation = line.size() >= 4 && line[3] == '-';
        if (!continuation) {
            Reply r{line.substr(0, 3), buffer_.substr(0, lf + 1)};
            buffer_.erase(0, lf + 1);
            scanned_ = 0;
            return r;
        }
        lineStart = lf + 1;
    }
    scanned_ = lineStart;
    if (buffer_.size() >= kMaxReply) {
        Reply r{buffer_.substr(0, 3), buffer_};
        clear();
        return r;
    }
    return std::nullopt;
}
