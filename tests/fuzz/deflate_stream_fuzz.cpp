// The deflate encoder fed any bytes, cut into pieces of any size and joined through
// dictionaries as the archive writer does, with any search settings: zlib's inflate must
// give back exactly the input, and no piece may need more than the promised output space.
#include <algorithm>
#include <string>
#include <vector>

#include "azip32/deflate_encoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ch;
    fuzz::Input in(data, size);
    azip::DeflateSettings settings;
    settings.maxChain = 1 + static_cast<int>(in.number(63));
    settings.niceLength = 3 + static_cast<int>(in.number(255));
    settings.maxLazy = 3 + static_cast<int>(in.number(255));
    settings.goodLength = 3 + static_cast<int>(in.number(255));
    const size_t pieceSize = 1024 + in.number(0xFFFF);
    // Short inputs are stretched by repeating them, so long matches and many blocks occur.
    std::string text = in.rest();
    const size_t repeats = text.empty() ? 0 : std::min<size_t>(65536 / text.size(), 16);
    for (size_t i = 0, n = text.size(); i < repeats; ++i)
        text.append(text, 0, n);

    azip::DeflateEncoder encoder(settings);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    std::string stream;
    size_t pos = 0;
    do {
        const size_t piece = std::min(pieceSize, text.size() - pos);
        const size_t dictionary = std::min<size_t>(pos, 32768);
        std::vector<uint8_t> out(azip::DeflateEncoder::maxOutputSize(piece));
        const size_t got =
            encoder.compress(bytes + pos - dictionary, dictionary, bytes + pos, piece,
                             pos + piece == text.size(), out.data(), out.size());
        FUZZ_CHECK(got > 0);
        stream.append(reinterpret_cast<const char*>(out.data()), got);
        pos += piece;
    } while (pos < text.size());
    FUZZ_CHECK(fuzz::inflateExactly(stream, text.size()) == text);
    return 0;
}
