// The text codecs on any input: ISO-2022-JP to Shift_JIS (what phones send),
// Shift_JIS to ISO-2022-JP (what the program sends) and Base64 both ways.
// The first byte picks the codec. The ISO-2022-JP reader must also give the
// same bytes as its plain reference, which states the same rules one
// character at a time.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"
#include "support/JisToSjisReference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0:
        if (JisToSjis(bytes) != jis_reference::JisToSjis(bytes)) {
            std::fprintf(stderr, "JisToSjis differs from its reference\n");
            std::abort();
        }
        break;
    case 1: ToIso2022Jp(bytes); break;
    case 2: Base64Decode(bytes); break;
    case 3: DecodeBase64Text(EncodeBase64Text(bytes)); break;
    }
    return 0;
}
