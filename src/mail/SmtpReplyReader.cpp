#include "mail/SmtpReplyReader.h"

namespace {
// "250-" goes on with another line; "250 " (or a shorter line) is the last.
bool isContinuation(const std::string& line) { return line.size() >= 4 && line[3] == '-'; }
}  // namespace

bool SmtpReplyReader::skipOverlongRest()
{
    std::size_t i = 0;
    for (; skipping_ && i < buffer_.size(); ++i) {
        const char c = buffer_[i];
        if (c == '\n') {
            skipping_ = isContinuation(skippedHead_);
            skippedHead_.clear();
        } else if (skippedHead_.size() < 4) {
            skippedHead_ += c;
        }
    }
    buffer_.erase(0, i);
    return !skipping_;
}

std::optional<SmtpReplyReader::Reply> SmtpReplyReader::next()
{
    if (!skipOverlongRest()) return std::nullopt;
    std::size_t lineStart = scanned_;
    while (true) {
        std::size_t lf = buffer_.find('\n', lineStart);
        if (lf == std::string::npos) break;
        std::size_t lineEnd = (lf > lineStart && buffer_[lf - 1] == '\r') ? lf - 1 : lf;
        std::string line = buffer_.substr(lineStart, lineEnd - lineStart);
        if (!isContinuation(line)) {
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
        std::string unfinishedLine = buffer_.substr(lineStart, 4);
        clear();
        skipping_ = true;
        skippedHead_ = std::move(unfinishedLine);
        return r;
    }
    return std::nullopt;
}
