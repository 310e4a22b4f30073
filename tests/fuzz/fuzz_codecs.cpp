// The text codecs on any input: ISO-2022-JP to Shift_JIS (what phones send),
// Shift_JIS to ISO-2022-JP (what the program sends) and Base64 both ways.
// The first byte picks the codec.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: JisToSjis(bytes); break;
    case 1: ToIso2022Jp(bytes); break;
    case 2: Base64Decode(bytes); break;
    case 3: DecodeBase64Text(EncodeBase64Text(bytes)); break;
    }
    return 0;
}
