#pragma once
#include <cstdint>
#include <string>

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

// Bytes of the data files spelled out by hand, independent of the codec under test.
namespace test_bytes {

inline std::string le16(int v) {
    const auto u = std::uint16_t(v);
    return {char(u & 0xFF), char(u >> 8)};
}

inline std::string le32(std::int32_t v) {
    const auto u = std::uint32_t(v);
    return {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char(u >> 24)};
}

// A String member: 2-byte count, then the bytes.
inline std::string str(const std::string& bytes) { return le16(int(bytes.size())) + bytes; }

// Shift_JIS bytes of UTF-8 text written in the test source.
inline std::string sjis(const char* utf8) {
    QStringEncoder encode("Windows-31J");
    const QByteArray bytes = encode(QString::fromUtf8(utf8));
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

inline std::uint16_t u16At(const std::string& bytes, std::size_t pos) {
    return std::uint16_t(std::uint8_t(bytes.at(pos)) | (std::uint8_t(bytes.at(pos + 1)) << 8));
}

}  // namespace test_bytes
