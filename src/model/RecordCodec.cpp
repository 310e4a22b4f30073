#include "model/RecordCodec.h"


namespace record_codec {

std::size_t storedStringLength(const SjisText& text) {
    if (text.size() <= kMaxStringBytes) return text.size();
    // Walk whole characters so the cut never separates a lead byte from its trail.
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + sjisStrictCharLength(text, end);
        if (next > kMaxStringBytes) break;
        end = next;
    }
    return end;
}

void Writer::operator()(const SjisText& text) {
    const std::size_t n = storedStringLength(text);
    putInt16(std::int16_t(std::uint16_t(n)));
    out_.append(text.data(), n);
}

void Writer::putInt16(std::int16_t value) {
    const auto u = std::uint16_t(value);
    const char le[2] = {char(u & 0xFF), char(u >> 8)};
    out_.append(le, 2);
}

void Writer::putInt32(std::int32_t value) {
    const auto u = std::uint32_t(value);
    const char le[4] = {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char(u >> 24)};
    out_.append(le, 4);
}

namespace {

std::uint16_t uint16At(std::string_view bytes, std::size_t pos) {
    return std::uint16_t(std::uint8_t(bytes[pos]) | (std::uint8_t(bytes[pos + 1]) << 8));
}

std::int32_t int32At(std::string_view bytes, std::size_t pos) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | std::uint8_t(bytes[pos + std::size_t(i)]);
    return std::int32_t(u);
}

}  // namespace

void Reader::operator()(std::int16_t& value) {
    if (ok_ && bytes_.size() - pos_ < 2) stop();
    if (!ok_) { value = 0; return; }
    value = std::int16_t(uint16At(bytes_, pos_));
    pos_ += 2;
}

void Reader::operator()(SjisText& text) {
    if (ok_ && bytes_.size() - pos_ < 2) stop();
    // A count running past the end: the String is cut off and reads as empty.
    if (ok_ && bytes_.size() - pos_ - 2 < uint16At(bytes_, pos_)) stop();
    if (!ok_) { text.clear(); return; }
    const std::size_t n = uint16At(bytes_, pos_);
    text.assign(bytes_.data() + pos_ + 2, n);
    pos_ += 2 + n;
}

bool Reader::elementsFit(std::uint64_t elements, bool strings) const {
    const std::size_t left = bytes_.size() - pos_;
    // Every element takes at least two bytes: this bounds the count by the
    // bytes really there before anything is allocated or walked.
    if (elements > left / 2) return false;
    if (!strings) return true;
    // Strings: follow the counts without copying to see that the last one ends in time.
    std::size_t pos = pos_;
    for (std::uint64_t i = 0; i < elements; ++i) {
        if (bytes_.size() - pos < 2) return false;
        const std::size_t n = uint16At(bytes_, pos);
        if (bytes_.size() - pos - 2 < n) return false;
        pos += 2 + n;
    }
    return true;
}

bool Reader::readDescriptor(int dims, std::int32_t* count, std::int32_t* lower, bool strings) {
    if (!ok_) return false;
    if (bytes_.size() - pos_ < 2) { stop(); return false; }
    const std::uint16_t d = uint16At(bytes_, pos_);
    if (d == 0) {   // never sized: the descriptor is all there is
        pos_ += 2;
        return false;
    }
    if (d != dims) { stop(); return false; }
    const std::size_t descriptorBytes = 2 + 8 * std::size_t(dims);
    if (bytes_.size() - pos_ < descriptorBytes) { stop(); return false; }

    std::uint64_t elements = 1;
    for (int i = 0; i < dims; ++i) {
        count[i] = int32At(bytes_, pos_ + 2 + 8 * std::size_t(i));
        lower[i] = int32At(bytes_, pos_ + 6 + 8 * std::size_t(i));
        // The upper bound lower + count - 1 must itself be a 32-bit index.
        if (count[i] < 0 || std::int64_t(lower[i]) + count[i] - 1 > INT32_MAX) { stop(); return false; }
        elements *= std::uint64_t(count[i]);   // both at most 2^31: no overflow
    }
    pos_ += descriptorBytes;
    if (elements == 0) return false;   // sized to nothing: reads as unsized
    if (!elementsFit(elements, strings)) { stop(); return false; }
    return true;
}

}  // namespace record_codec
