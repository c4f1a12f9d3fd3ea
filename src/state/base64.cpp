#include "state/base64.h"

#include <array>

namespace zun {
namespace {

constexpr uint8_t kNotInAlphabet = 0x80;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table) entry = kNotInAlphabet;
    for (uint8_t value = 0; value < 64; ++value) table[static_cast<unsigned char>(kAlphabet[value])] = value;
    return table;
}

constexpr std::array<uint8_t, 256> kDecodeTable = MakeDecodeTable();

inline uint8_t SextetOf(char c) { return kDecodeTable[static_cast<unsigned char>(c)]; }

}  // namespace

size_t DecodeBase64(const char* text, uint8_t* out, size_t limit, size_t* count) {
    if (text == nullptr || (out == nullptr && limit != 0)) return 0;
    const char* next = text;
    size_t written = 0;
    uint32_t bits = 0;      // the accumulator; only its low `held` bits matter
    unsigned held = 0;

    for (;;) {
        // Whole quadruples while no bits are pending: four characters, three
        // bytes. Each character is checked before the next one is read, so
        // the text's terminator is never passed.
        while (held == 0 && limit - written >= 3) {
            const uint8_t a = SextetOf(next[0]);
            if (a & kNotInAlphabet) break;
            const uint8_t b = SextetOf(next[1]);
            if (b & kNotInAlphabet) break;
            const uint8_t c = SextetOf(next[2]);
            if (c & kNotInAlphabet) break;
            const uint8_t d = SextetOf(next[3]);
            if (d & kNotInAlphabet) break;
            const uint32_t group = (uint32_t{a} << 18) | (uint32_t{b} << 12) | (uint32_t{c} << 6) | d;
            out[written] = static_cast<uint8_t>(group >> 16);
            out[written + 1] = static_cast<uint8_t>(group >> 8);
            out[written + 2] = static_cast<uint8_t>(group);
            written += 3;
            if (count != nullptr) *count += 3;
            next += 4;
        }

        while (held < 8) {
            const char c = *next;
            if (c == '\0' || c == '=') return written;
            const uint8_t sextet = SextetOf(c);
            if (sextet & kNotInAlphabet) return 0;
            ++next;
            bits = (bits << 6) | sextet;
            held += 6;
        }
        held -= 8;
        if (count != nullptr) ++*count;
        if (written == limit) return 0;
        out[written++] = static_cast<uint8_t>(bits >> held);
        bits &= (1u << held) - 1;
    }
}

std::string EncodeBase64(const uint8_t* data, size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const uint32_t chunk = (uint32_t{data[i]} << 16) | (i + 1 < size ? uint32_t{data[i + 1]} << 8 : 0) |
                               (i + 2 < size ? uint32_t{data[i + 2]} : 0);
        out += kAlphabet[(chunk >> 18) & 63];
        out += kAlphabet[(chunk >> 12) & 63];
        out += i + 1 < size ? kAlphabet[(chunk >> 6) & 63] : '=';
        out += i + 2 < size ? kAlphabet[chunk & 63] : '=';
    }
    return out;
}

}  // namespace zun
