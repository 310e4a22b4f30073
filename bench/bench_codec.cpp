// Throughput of the mail text codecs on a 1 MB Shift_JIS text: prints MB/s
// per operation. Not a test; run by hand after changing the codecs.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"

namespace {

// Lines like a mail body: kanji runs, ASCII, an occasional half-width
// katakana run, each line ended by CR LF.
std::string makeText(std::size_t size) {
    std::mt19937 rng(12345);
    std::string text;
    text.reserve(size + 200);
    while (text.size() < size) {
        const int pieces = 1 + int(rng() % 8);
        for (int p = 0; p < pieces; ++p) {
            const int len = 1 + int(rng() % 12);
            switch (rng() % 3) {
            case 0:
                for (int k = 0; k < len; ++k) {
                    const int lead = 0x88 + int(rng() % 0x18);
                    int trail = 0x40 + int(rng() % 188);
                    if (trail >= 0x7F) ++trail;
                    text += char(lead);
                    text += char(trail);
                }
                break;
            case 1:
                for (int k = 0; k < len; ++k) text += char('a' + rng() % 26);
                break;
            default:
                for (int k = 0; k < len; ++k) text += char(0xA6 + rng() % 0x3A);
            }
        }
        text += "\r\n";
    }
    return text;
}

template <typename F>
void measure(const char* name, std::size_t inputBytes, F&& run) {
    using Clock = std::chrono::steady_clock;
    int rounds = 0;
    const auto start = Clock::now();
    std::size_t sink = 0;
    do {
        sink += run();
        ++rounds;
    } while (Clock::now() - start < std::chrono::milliseconds(500));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double mb = double(inputBytes) * rounds / (1024.0 * 1024.0);
    std::printf("%-18s %8.1f MB/s  (%d rounds, %zu bytes out)\n", name, mb / seconds, rounds, sink / rounds);
}

}  // namespace

int main() {
    const std::string sjis = makeText(1024 * 1024);
    const std::string jis = ToIso2022Jp(sjis);
    const std::string b64OneLine = EncodeBase64Text(sjis);

    measure("ToIso2022Jp", sjis.size(), [&] { return ToIso2022Jp(sjis).size(); });
    measure("JisToSjis", jis.size(), [&] { return JisToSjis(jis).size(); });
    int yields = 0;
    measure("Base64Encode", sjis.size(), [&] { return Base64Encode(sjis, [&] { ++yields; }).size(); });
    measure("Base64Decode", b64OneLine.size(), [&] { return Base64Decode(b64OneLine)->size(); });
    std::printf("yields while encoding: %d; base64 round trip %s\n", yields,
                Base64Decode(b64OneLine) == sjis ? "intact" : "BROKEN");
    return 0;
}
