// Reply cut, value texts, entry values and clock digits on arbitrary bytes.
#include "codec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace calcore;

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

bool isDecimal(std::uint8_t nibble) {
    return nibble <= 9;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t word = data[0];
    const std::uint8_t flags = data[1];
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    // The reply cut: an empty value unless the reply starts with the tag, and then at most five
    // characters taken from the reply right after the echoed word number.
    const char tag = (flags & 1) ? 'E' : 'M';
    const EchoDigits echo = (flags & 2) ? EchoDigits::UpToThree : EchoDigits::UpToTwo;
    const std::string value = cutValue(text, tag, word, echo);
    require(value.size() <= 5);
    if (!value.empty()) {
        require(text.front() == tag);
        const std::size_t at = text.find(value, 2);
        require(at != std::string_view::npos && at <= 4);
    }

    // What a label shows holds no control character and nothing the value text did not hold.
    const std::string shown = displayText(text);
    require(shown.size() <= text.size());
    for (char c : shown)
        require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);

    // A text that checks a box converts to 1 as an entry too.
    if (readsAsOne(text)) {
        const auto one = entryValue(text);
        require(one && *one == 1);
    }

    // An entry value prints and converts back to itself; its two bytes are its low 16 bits.
    if (const auto v = entryValue(text)) {
        const auto again = entryValue(std::to_string(*v));
        require(again && *again == *v);
        const ValueBytes bytes = splitValue(*v);
        const auto low16 = static_cast<std::uint32_t>(*v) & 0xFFFFu;
        require(static_cast<std::uint32_t>((bytes.hi << 8) | bytes.lo) == low16);
    }

    // Clock digits always make a BCD byte.
    const std::uint8_t bcd = clockBcd(text);
    require(isDecimal(bcd >> 4) && isDecimal(bcd & 0x0F));
    return 0;
}
