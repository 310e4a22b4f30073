#include "mail/Pop3ReplyReader.h"

#include <algorithm>

namespace {

constexpr char kTerminator[] = "\r\n.\r\n";
constexpr std::size_t kTerminatorLength = 5;

}  // namespace

std::optional<std::string> Pop3ReplyReader::nextStatusLine() {
    const std::size_t lf = buffer_.find('\n');
    if (lf == std::string::npos) {
        if (buffer_.size() < kMaxStatusLine) return std::nullopt;
        std::string line = std::move(buffer_);   // no line end in sight
        buffer_.clear();
        return line;
    }
    const std::size_t end = (lf > 0 && buffer_[lf - 1] == '\r') ? lf - 1 : lf;
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, lf + 1);
    return line;
}

std::optional<Pop3ReplyReader::MultiLine> Pop3ReplyReader::nextMultiLine() {
    if (!inMessage_) {
        const std::size_t lf = buffer_.find('\n');
        if (lf == std::string::npos && buffer_.size() < kMaxStatusLine) return std::nullopt;
        const std::size_t lineEnd = lf == std::string::npos ? buffer_.size() : lf + 1;
        const std::string line = buffer_.substr(0, lineEnd);
        // Only the reply's status line can refuse the message; a body line
        // that happens to begin with "-ERR" is just text.
        if (lf == std::string::npos || !positive(line)) {
            MultiLine refused;
            refused.text = nextStatusLine().value_or(std::string());
            return refused;
        }
        buffer_.erase(0, lineEnd);
        inMessage_ = true;
        kept_.clear();
        cut_ = false;
        keep(line);
        // The status line's own line end may open the terminator of an
        // empty message ("+OK\r\n.\r\n").
        recent_ = line.substr(line.size() - std::min<std::size_t>(line.size(), 2));
    }

    // The terminator may straddle what came before and what comes now.
    const std::string window = recent_ + buffer_;
    const std::size_t at = window.find(kTerminator);
    if (at == std::string::npos) {
        keep(buffer_);
        recent_ = window.substr(window.size() - std::min<std::size_t>(window.size(), kTerminatorLength - 1));
        buffer_.clear();
        return std::nullopt;
    }
    const std::size_t taken = at + kTerminatorLength - recent_.size();
    keep(buffer_.substr(0, taken));
    buffer_.erase(0, taken);

    MultiLine reply;
    reply.positive = true;
    reply.cut = cut_;
    // A cut message still ends with its "." line, as a whole one does.
    if (cut_) kept_ += kTerminator;
    reply.text = unstuff(kept_);
    inMessage_ = false;
    kept_.clear();
    recent_.clear();
    cut_ = false;
    return reply;
}

void Pop3ReplyReader::keep(const std::string& bytes) {
    const std::size_t room = kMaxMessage - std::min(kMaxMessage, kept_.size());
    if (bytes.size() > room) cut_ = true;
    kept_.append(bytes, 0, std::min(room, bytes.size()));
}

void Pop3ReplyReader::clear() {
    buffer_.clear();
    inMessage_ = false;
    kept_.clear();
    recent_.clear();
    cut_ = false;
}

std::string Pop3ReplyReader::unstuff(const std::string& message) {
    std::string out;
    out.reserve(message.size());
    bool lineStart = true;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (lineStart && c == '.' && i + 1 < message.size() && message[i + 1] == '.') {
            lineStart = false;
            continue;   // drop the stuffed dot, keep the one after it
        }
        out += c;
        lineStart = (c == '\n');
    }
    return out;
}
