// The ISO-2022-JP codecs against two other converters on 16 MB of mail text:
// glibc's iconv in this process, and the nkf command as a whole process.
// Prints Markdown table rows ("| " lines) and detail lines. Not a test; run
// by hand after changing src/codec/.
//
// The text is what every side converts alike: JIS X 0208 kanji, hiragana,
// katakana and common punctuation, ASCII without the backslash and the tilde
// (ESC ( J reads those two as yen and overline), lines ended by CR LF. No
// half-width katakana: plain ISO-2022-JP has no place for it, and iconv
// refuses it there.
#include <fcntl.h>
#include <iconv.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codec/Iso2022Jp.h"

extern char** environ;

namespace {

constexpr std::size_t kTextBytes = 16u * 1024 * 1024;
// In process, the best of at least kRuns conversions and at least a second
// of them: on a shared machine a short burst of other work must not decide
// a figure. nkf runs as a process kNkfRuns times; the best counts.
constexpr int kRuns = 7;
constexpr double kMinSeconds = 1.0;
constexpr int kNkfRuns = 5;
constexpr double kMB = 1024.0 * 1024.0;

using Clock = std::chrono::steady_clock;

struct Best {
    double seconds = 1e300;
    int runs = 0;
};

Best bestOf(const std::function<void()>& run) {
    Best best;
    const auto start = Clock::now();
    while (best.runs < kRuns || std::chrono::duration<double>(Clock::now() - start).count() < kMinSeconds) {
        const auto t = Clock::now();
        run();
        best.seconds = std::min(best.seconds, std::chrono::duration<double>(Clock::now() - t).count());
        ++best.runs;
    }
    return best;
}

// One iconv conversion of a whole text into a buffer sized up front, so the
// peer pays for no growing either; no value when iconv stops on a byte.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != iconv_t(-1); }

    std::optional<std::string> convert(const std::string& in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        const std::size_t capacity = in.size() * 2 + 16;
        std::unique_ptr<char[]> out(new char[capacity]);
        char* ip = const_cast<char*>(in.data());
        char* op = out.get();
        std::size_t inLeft = in.size(), outLeft = capacity;
        if (iconv(cd_, &ip, &inLeft, &op, &outLeft) == std::size_t(-1)) return std::nullopt;
        if (iconv(cd_, nullptr, nullptr, &op, &outLeft) == std::size_t(-1)) return std::nullopt;
        return std::string(out.get(), std::size_t(op - out.get()));
    }

private:
    iconv_t cd_;
};

// The JIS row of a two-byte Shift_JIS code as iconv reads it, or 0 when iconv
// has no JIS X 0208 place for it. Taken from iconv, not from the program's
// own arithmetic, so the text does not lean on the code under measurement.
int iconvRow(Iconv& toJis, char lead, char trail) {
    const auto jis = toJis.convert(std::string{lead, trail});
    if (!jis || jis->size() != 8 || jis->compare(0, 3, "\x1b$B") != 0) return 0;
    return std::uint8_t((*jis)[3]) - 0x20;
}

struct Repertoire {
    std::vector<std::string> kanji, hiragana, katakana;
};

Repertoire repertoire(Iconv& toJis) {
    Repertoire r;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            const int row = iconvRow(toJis, char(lead), char(trail));
            const std::string code{char(lead), char(trail)};
            if (row >= 16 && row <= 84) r.kanji.push_back(code);
            else if (row == 4) r.hiragana.push_back(code);
            else if (row == 5) r.katakana.push_back(code);
        }
    }
    return r;
}

// 、。，．・：？！ー「」（）『』 - row 1 marks whose place Shift_JIS and
// Windows-31J agree on (unlike the wave dash or the minus sign).
const char* const kPunctuation[] = {"\x81\x41", "\x81\x42", "\x81\x43", "\x81\x44", "\x81\x45",
                                    "\x81\x46", "\x81\x48", "\x81\x49", "\x81\x5b", "\x81\x75",
                                    "\x81\x76", "\x81\x69", "\x81\x6a", "\x81\x77", "\x81\x78"};

// Lines of 20-72 bytes, mostly hiragana and kanji as in a Japanese sentence,
// with katakana words, punctuation and ASCII words (addresses, numbers,
// "Q3"), and now and then an empty line.
std::string makeMailText(const Repertoire& r, std::size_t size) {
    std::mt19937 rng(20240611);
    auto pick = [&](const std::vector<std::string>& v) -> const std::string& { return v[rng() % v.size()]; };
    const std::string ascii = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;-_@!?()[]<>=+*/#$%&'\"";
    std::string text;
    text.reserve(size + 128);
    while (text.size() < size) {
        if (rng() % 20 == 0) {
            text += "\r\n";
            continue;
        }
        const std::size_t lineEnd = text.size() + 20 + rng() % 53;
        while (text.size() < lineEnd) {
            const unsigned kind = rng() % 100;
            const unsigned len = 1 + rng() % 6;
            for (unsigned k = 0; k < len; ++k) {
                if (kind < 30) text += pick(r.kanji);
                else if (kind < 65) text += pick(r.hiragana);
                else if (kind < 75) text += pick(r.katakana);
                else if (kind < 85) text += kPunctuation[rng() % std::size(kPunctuation)];
                else text += ascii[rng() % ascii.size()];
            }
        }
        text += "\r\n";
    }
    return text;
}

// The program writes ESC ( J to return to one-byte text, iconv and nkf
// ESC ( B; with no backslash or tilde in the text both mean the same bytes.
std::string switchBackAsB(std::string s) {
    for (std::size_t p = 0; (p = s.find("\x1b(J", p)) != std::string::npos; p += 3) s[p + 2] = 'B';
    return s;
}

// A peer's output against the program's: "identical", or where the two first
// differ, counted as a failed check (the text holds only characters every
// side maps alike, so any difference is a fault somewhere).
int failedChecks = 0;
std::string agreement(const std::string& program, const std::optional<std::string>& peer) {
    if (peer && program == *peer) return "identical";
    ++failedChecks;
    if (!peer) return "CHECK FAILED: the peer gave no output";
    const auto diff = std::mismatch(program.begin(), program.end(), peer->begin(), peer->end());
    char where[160];
    std::snprintf(where, sizeof where, "CHECK FAILED: they differ first at byte %zu (sizes %zu and %zu)",
                  std::size_t(diff.first - program.begin()), program.size(), peer->size());
    return where;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(f), {});
}

bool writeFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(data.data(), std::streamsize(data.size()));
    return bool(f);
}

// Wall time of one `nkf args < in > out`, or no value when it did not run.
std::optional<double> runNkf(const std::string& nkf, const std::vector<std::string>& args, const std::string& in,
                             const std::string& out) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(nkf.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, nkf.c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return std::nullopt;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::optional<std::string> findNkf() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t b = 0, e; b <= dirs.size(); b = e + 1) {
        e = dirs.find(':', b);
        if (e == std::string::npos) e = dirs.size();
        const std::string candidate = dirs.substr(b, e - b) + "/nkf";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

std::string speed(double bytes, double seconds) {
    char s[32];
    std::snprintf(s, sizeof s, "%.0f MB/s", bytes / kMB / seconds);
    return s;
}

void row(const char* measure, double bytes, double programSeconds, const std::string& peerSpeed,
         std::optional<double> peerSeconds, const char* target) {
    std::string ratio = "—";
    if (peerSeconds) {
        char r[32];
        std::snprintf(r, sizeof r, "%.1f×", *peerSeconds / programSeconds);
        ratio = r;
    }
    std::printf("| %s | %s | %s | %s | %s |\n", measure, speed(bytes, programSeconds).c_str(), peerSpeed.c_str(),
                ratio.c_str(), target);
}

}  // namespace

int main() {
    Iconv probe("ISO-2022-JP", "SHIFT_JIS");
    if (!probe.ok()) {
        std::fprintf(stderr, "iconv cannot convert SHIFT_JIS to ISO-2022-JP here\n");
        return 1;
    }
    const Repertoire rep = repertoire(probe);
    const std::string sjis = makeMailText(rep, kTextBytes);
    const std::string jis = ToIso2022Jp(sjis);
    std::printf("text: %zu bytes Shift_JIS, %zu bytes ISO-2022-JP; %zu kanji, %zu hiragana, %zu katakana, "
                "%zu punctuation codes, ASCII without \\ and ~, CR LF lines, no half-width katakana\n",
                sjis.size(), jis.size(), rep.kanji.size(), rep.hiragana.size(), rep.katakana.size(),
                std::size(kPunctuation));
    std::printf("speeds: input bytes per second, MB = 2^20 bytes; in process the best of at least %d runs and "
                "%.0f s, nkf the best of %d processes\n",
                kRuns, kMinSeconds, kNkfRuns);
    std::printf("round trip JisToSjis(ToIso2022Jp(text)): %s\n", agreement(sjis, JisToSjis(jis)).c_str());

    std::string programJis, programSjis;
    const Best toJisBest = bestOf([&] { programJis = ToIso2022Jp(sjis); });
    const Best toSjisBest = bestOf([&] { programSjis = JisToSjis(jis); });
    const double toJis = toJisBest.seconds, toSjis = toSjisBest.seconds;
    std::printf("program: ToIso2022Jp %s (best of %d), JisToSjis %s (best of %d)\n",
                speed(double(sjis.size()), toJis).c_str(), toJisBest.runs, speed(double(jis.size()), toSjis).c_str(),
                toSjisBest.runs);

    // iconv, both names of the Shift_JIS side; the faster one is the peer.
    struct Peer {
        const char* sjisName;
        std::optional<double> toJis, toSjis;
    };
    std::vector<Peer> peers;
    for (const char* name : {"SHIFT_JIS", "CP932"}) {
        Iconv encode("ISO-2022-JP", name), decode(name, "ISO-2022-JP");
        if (!encode.ok() || !decode.ok()) {
            std::printf("iconv %s: cannot open\n", name);
            continue;
        }
        Peer p{name, {}, {}};
        std::optional<std::string> iconvJis, iconvSjis;
        const double e = bestOf([&] { iconvJis = encode.convert(sjis); }).seconds;
        const double d = bestOf([&] { iconvSjis = decode.convert(jis); }).seconds;
        if (iconvJis) p.toJis = e;
        if (iconvSjis) p.toSjis = d;
        std::printf("iconv %s -> ISO-2022-JP: %s; output vs ToIso2022Jp (ESC ( J read as ESC ( B): %s\n", name,
                    iconvJis ? speed(double(sjis.size()), e).c_str() : "failed",
                    agreement(switchBackAsB(programJis), iconvJis).c_str());
        std::printf("iconv ISO-2022-JP -> %s: %s; output vs JisToSjis: %s\n", name,
                    iconvSjis ? speed(double(jis.size()), d).c_str() : "failed",
                    agreement(programSjis, iconvSjis).c_str());
        peers.push_back(p);
    }
    auto fastest = [&](std::optional<double> Peer::*which) -> const Peer* {
        const Peer* best = nullptr;
        for (const Peer& p : peers)
            if (p.*which && (!best || *(p.*which) < *(best->*which))) best = &p;
        return best;
    };
    const Peer* encodePeer = fastest(&Peer::toJis);
    const Peer* decodePeer = fastest(&Peer::toSjis);
    if (encodePeer) std::printf("iconv peer for ToIso2022Jp: %s (the faster)\n", encodePeer->sjisName);
    if (decodePeer) std::printf("iconv peer for JisToSjis: %s (the faster)\n", decodePeer->sjisName);

    // nkf: the whole process on files, against the in-process figures above.
    std::optional<double> nkfToJis, nkfToSjis;
    const std::optional<std::string> nkf = findNkf();
    if (nkf) {
        char dirTemplate[] = "/tmp/bench-compare-codec.XXXXXX";
        const char* dir = mkdtemp(dirTemplate);
        if (!dir) {
            std::perror("mkdtemp");
            return 1;
        }
        const std::string d = dir;
        const std::string sjisFile = d + "/text.sjis", jisFile = d + "/text.jis", outFile = d + "/out";
        if (!writeFile(sjisFile, sjis) || !writeFile(jisFile, jis)) {
            std::fprintf(stderr, "cannot write the input files in %s\n", dir);
            return 1;
        }
        auto time = [&](const std::vector<std::string>& args, const std::string& in, std::optional<double>& best) {
            for (int r = 0; r < kNkfRuns; ++r)
                if (const auto s = runNkf(*nkf, args, in, outFile)) best = std::min(best.value_or(1e300), *s);
            return best ? readFile(outFile) : std::nullopt;
        };
        // -m0: no MIME decoding; -S / -J: the input's code, no guessing.
        const auto nkfJis = time({"-S", "-j", "-m0"}, sjisFile, nkfToJis);
        std::printf("nkf -S -j -m0: %s; output vs ToIso2022Jp (ESC ( J read as ESC ( B): %s\n",
                    nkfToJis ? speed(double(sjis.size()), *nkfToJis).c_str() : "failed",
                    agreement(switchBackAsB(programJis), nkfJis).c_str());
        const auto nkfSjis = time({"-J", "-s", "-m0"}, jisFile, nkfToSjis);
        std::printf("nkf -J -s -m0: %s; output vs JisToSjis: %s\n",
                    nkfToSjis ? speed(double(jis.size()), *nkfToSjis).c_str() : "failed",
                    agreement(programSjis, nkfSjis).c_str());
        std::printf("nkf's figures include process start, reading the input file and writing the output file "
                    "(%s); the program's are the conversion alone, in process\n",
                    d.c_str());
        for (const std::string& f : {sjisFile, jisFile, outFile}) std::remove(f.c_str());
        rmdir(dir);
    }

    // The rows only: bench/compare.sh gathers every benchmark's rows under one header.
    std::printf("columns: measure | program | peer | ratio (program speed / peer speed) | target\n");
    const double sjisBytes = double(sjis.size()), jisBytes = double(jis.size());
    auto peerSpeed = [](double bytes, std::optional<double> s, const char* missing) {
        return s ? speed(bytes, *s) : std::string(missing);
    };
    std::optional<double> iconvToJis, iconvToSjis;
    if (encodePeer) iconvToJis = encodePeer->toJis;
    if (decodePeer) iconvToSjis = decodePeer->toSjis;
    row("ToIso2022Jp, 16 MB vs iconv", sjisBytes, toJis, peerSpeed(sjisBytes, iconvToJis, "iconv failed"), iconvToJis,
        "—");
    row("JisToSjis, 16 MB vs iconv", jisBytes, toSjis, peerSpeed(jisBytes, iconvToSjis, "iconv failed"), iconvToSjis,
        "≥ 2×");
    const char* nkfMissing = nkf ? "nkf failed" : "nkf missing";
    row("ToIso2022Jp, 16 MB vs nkf", sjisBytes, toJis, peerSpeed(sjisBytes, nkfToJis, nkfMissing), nkfToJis, "—");
    row("JisToSjis, 16 MB vs nkf", jisBytes, toSjis, peerSpeed(jisBytes, nkfToSjis, nkfMissing), nkfToSjis, "—");
    if (failedChecks > 0) std::printf("%d check(s) failed, see above\n", failedChecks);
    return failedChecks > 0 ? 1 : 0;
}
