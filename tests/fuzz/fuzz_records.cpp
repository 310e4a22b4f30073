// Any bytes as any data file: the record reader must neither crash nor read
// outside the input, whatever a damaged or hostile file holds. The first
// byte picks the record type.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "model/RecordCodec.h"
#include "model/Records.h"

namespace {
template <typename R>
void read(std::string_view bytes) {
    auto record = std::make_unique<R>();   // some records are too big for the stack
    decodeRecord(bytes, *record);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0: read<MailSettings>(bytes); break;
    case 1: read<AddressBook>(bytes); break;
    case 2: read<InvitationMail>(bytes); break;
    case 3: read<QuestionSet>(bytes); break;
    case 4: read<RoundCounter>(bytes); break;
    case 5: read<ParticipantTable>(bytes); break;
    }
    return 0;
}
