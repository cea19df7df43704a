// fuzz-links: trov_framework
// Decodes arbitrary text as a binary "data" value in both forms; the first two bytes give the length a
// packed-word text is said to hold. Whatever decodes must encode and decode back to the same bytes, and
// whatever does not is refused with a reason.
#include "framework/Dictionary.h"
#include "framework/DictionaryCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t expected = std::size_t{data[0]} | std::size_t{data[1]} << 8;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    std::vector<std::uint8_t> bytes;
    trov::DataFault fault = trov::DataFault::kNone;
    if (!trov::Dictionary::decodeData(text, &bytes, expected, trov::kMaxDataBytes, &fault)) {
        // Every refusal says why.
        if (fault == trov::DataFault::kNone)
            std::abort();
        return 0;
    }
    std::string again;
    trov::Dictionary::encodeData(again, bytes.data(), bytes.size());
    std::vector<std::uint8_t> back;
    if (!trov::gzipBase64Decode(again, back) || back != bytes)
        std::abort();
    return 0;
}
