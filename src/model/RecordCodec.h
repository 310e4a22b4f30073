#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "model/Records.h"
#include "model/SizedArray.h"
#include "platform/SjisText.h"

// The binary encoding shared by every data file. A record is its members in
// the order its visit() lists them, with no padding:
//   Integer       2 bytes, signed, little-endian
//   String        2-byte little-endian byte count, then the Shift_JIS bytes
//   fixed array   its elements one after another, no count
//   sized array   2-byte dimension count d, then per dimension a 4-byte element
//                 count and a 4-byte lower bound (signed LE), then the elements
//                 with the first index running fastest; unsized: d = 0 only.
//
//   std::string bytes = encodeRecord(questionSet);
//   decodeRecord(bytes, questionSet);   // empties the record, then fills it
//
// Decoding never trusts its input: it reads what is there and leaves the rest
// of the record empty, whatever the bytes hold.

namespace record_codec {

// The most bytes a String can hold on disk.
constexpr std::size_t kMaxStringBytes = 0xFFFF;

// `text` cut to at most kMaxStringBytes without splitting a two-byte character.
std::size_t storedStringLength(const SjisText& text);

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

    void operator()(std::int16_t value) { putInt16(value); }
    void operator()(const SjisText& text);

    template <class T, std::size_t N>
    void operator()(const std::array<T, N>& items) {
        for (const T& item : items) (*this)(item);
    }

    template <class T>
    void operator()(const SizedArray1<T>& a) {
        if (!a.sized()) { putInt16(0); return; }
        putInt16(1);
        putInt32(a.count()); putInt32(a.lower);
        for (const T& item : a.items) (*this)(item);
    }

    template <class T>
    void operator()(const SizedArray2<T>& a) {
        const std::size_t expected = std::size_t(a.count1) * std::size_t(a.count2);
        if (!a.sized() || a.count1 <= 0 || a.count2 <= 0 || a.items.size() != expected) {
            // Counts that do not describe the elements cannot be written
            // truthfully; an unsized array is the honest record of them.
            putInt16(0);
            return;
        }
        putInt16(2);
        putInt32(a.count1); putInt32(a.lower1);
        putInt32(a.count2); putInt32(a.lower2);
        for (const T& item : a.items) (*this)(item);
    }

    // Question slots 1..100; slot 0 is never stored.
    template <class T, std::size_t N>
    void perQuestion(const std::array<T, N>& bySlot) {
        for (std::size_t q = 1; q < N; ++q) (*this)(bySlot[q]);
    }

    // The 100 x 10 blocks: question index fastest, one run of questions per choice.
    template <class T, std::size_t F, std::size_t N>
    void perChoice(const std::array<std::array<T, F>, N>& bySlot) {
        for (std::size_t f = 0; f < F; ++f)
            for (std::size_t q = 1; q < N; ++q) (*this)(bySlot[q][f]);
    }

private:
    void putInt16(std::int16_t value);
    void putInt32(std::int32_t value);
    std::string& out_;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    // False once the bytes have run out or turned out to be garbage; from then
    // on every member handed in is emptied instead of read.
    bool ok() const { return ok_; }

    // Every member handed in is either read or emptied, so a record needs no
    // clearing of its own before a read.
    void operator()(std::int16_t& value);
    void operator()(SjisText& text);

    template <class T, std::size_t N>
    void operator()(std::array<T, N>& items) {
        for (T& item : items) (*this)(item);
    }

    template <class T>
    void operator()(SizedArray1<T>& a) {
        a.clear();
        std::int32_t count[1], lower[1];
        if (!readDescriptor(1, count, lower, std::is_same_v<T, SjisText>)) return;
        a.lower = lower[0];
        a.items.resize(std::size_t(count[0]));
        for (T& item : a.items) (*this)(item);
    }

    template <class T>
    void operator()(SizedArray2<T>& a) {
        a.clear();
        std::int32_t count[2], lower[2];
        if (!readDescriptor(2, count, lower, std::is_same_v<T, SjisText>)) return;
        a.count1 = count[0]; a.lower1 = lower[0];
        a.count2 = count[1]; a.lower2 = lower[1];
        a.items.resize(std::size_t(count[0]) * std::size_t(count[1]));
        for (T& item : a.items) (*this)(item);
    }

    // Slot 0 is not on disk; it reads as empty like everything else.
    template <class T, std::size_t N>
    void perQuestion(std::array<T, N>& bySlot) {
        bySlot[0] = T{};
        for (std::size_t q = 1; q < N; ++q) (*this)(bySlot[q]);
    }

    template <class T, std::size_t F, std::size_t N>
    void perChoice(std::array<std::array<T, F>, N>& bySlot) {
        bySlot[0].fill(T{});
        for (std::size_t f = 0; f < F; ++f)
            for (std::size_t q = 1; q < N; ++q) (*this)(bySlot[q][f]);
    }

private:
    // Reads the descriptor of an array of `dims` dimensions. True when the
    // array is sized and every one of its elements lies whole within the bytes
    // left, so the caller sizes it and reads them. False when it is unsized
    // (d = 0: reading goes on) or cannot be trusted (wrong d, negative or
    // overflowing bounds, more elements than the bytes could hold, elements
    // cut off by the end): the array stays empty and so does the rest.
    bool readDescriptor(int dims, std::int32_t* count, std::int32_t* lower, bool strings);
    // Whether `elements` Integers or Strings follow whole from the current position.
    bool elementsFit(std::uint64_t elements, bool strings) const;
    void stop() { ok_ = false; }

    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace record_codec

template <class R>
std::string encodeRecord(const R& record) {
    std::string out;
    record_codec::Writer writer(out);
    // visit() is written once for reading and writing, so it takes the record
    // non-const; the writer only reads the members it is handed.
    const_cast<R&>(record).visit(writer);
    return out;
}

// Empties every member of `out` and fills it from `bytes`; members beyond
// the end of the bytes, or beyond anything not to be trusted, stay empty.
template <class R>
void decodeRecord(std::string_view bytes, R& out) {
    record_codec::Reader reader(bytes);
    out.visit(reader);   // reads or empties every member the record lists
}
