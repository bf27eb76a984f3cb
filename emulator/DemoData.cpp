// The layouts below are our own invention: fixed-size little-endian records,
// text in code page 1250 padded with blanks.
#include "DemoData.h"

#include "DataKind.h"

#include <array>
#include <cstdint>

namespace zalohy::emulator {
namespace {

// Small deterministic generator (xorshift64*), seeded per scale and kind.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15u) {}
    std::uint32_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<std::uint32_t>((state_ * 0x2545F4914F6CDD1Du) >> 32);
    }
    std::uint32_t below(std::uint32_t n) { return next() % n; }
    template <typename T, std::size_t N>
    const T& pick(const std::array<T, N>& items) { return items[below(N)]; }

private:
    std::uint64_t state_;
};

std::uint64_t seedOf(std::string_view address, int kindId) {
    std::uint64_t h = 1469598103934665603u;  // FNV-1a
    for (char c : address) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return h ^ (static_cast<std::uint64_t>(kindId) << 32);
}

// The Czech letters of the demo texts, UTF-8 to code page 1250.
std::string cp1250(std::string_view utf8) {
    static constexpr struct { char16_t code; unsigned char byte; } kLetters[] = {
        {u'á', 0xE1}, {u'č', 0xE8}, {u'ď', 0xEF}, {u'é', 0xE9}, {u'ě', 0xEC}, {u'í', 0xED}, {u'ň', 0xF2},
        {u'ó', 0xF3}, {u'ř', 0xF8}, {u'š', 0x9A}, {u'ť', 0x9D}, {u'ú', 0xFA}, {u'ů', 0xF9}, {u'ý', 0xFD},
        {u'ž', 0x9E}, {u'Č', 0xC8}, {u'Ř', 0xD8}, {u'Š', 0x8A}, {u'Ž', 0x8E}, {u'Ú', 0xDA}, {u'°', 0xB0},
    };
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80 || i + 1 >= utf8.size()) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const char16_t code = static_cast<char16_t>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        char byte = '?';
        for (const auto& letter : kLetters)
            if (letter.code == code) byte = static_cast<char>(letter.byte);
        out.push_back(byte);
    }
    return out;
}

void putInt(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

void putText(std::string& out, std::string_view utf8, std::size_t width) {
    std::string text = cp1250(utf8);
    text.resize(width, ' ');
    out += text;
}

constexpr std::array<const char*, 12> kFormatNames = {
    "Standard 58x40", "Cenovka 58x30", "Maso vážené", "Uzeniny", "Sýry", "Pečivo",
    "Akce", "Pult obsluha", "Samoobsluha", "Etiketa 80x60", "Ovoce zelenina", "Hotová jídla"};
constexpr std::array<const char*, 16> kGoods = {
    "Vepřová krkovice", "Kuřecí prsa", "Hovězí zadní", "Šunka dušená", "Salám Poličan", "Klobása",
    "Eidam 30%", "Niva", "Tvarůžky", "Chléb kmínový", "Rohlík", "Jablka", "Brambory", "Rajčata",
    "Bramborový salát", "Párky"};
constexpr std::array<const char*, 8> kTextLines = {
    "Skladujte při teplotě do 5 °C.", "Složení: maso, sůl, koření.", "Může obsahovat stopy lepku.",
    "Spotřebujte do data na obalu.", "Vyrobeno v ČR.", "Balí se v ochranné atmosféře.",
    "Po otevření spotřebujte do 3 dnů.", "Chlaďte, nezmrazujte."};

// Label formats: 12 records of 1 KiB, each a header and up to 40 fields.
std::string formats(Random& random) {
    std::string out;
    for (std::uint32_t n = 1; n <= kFormatNames.size(); ++n) {
        std::string record;
        putInt(record, n, 2);
        putText(record, kFormatNames[n - 1], 24);
        putInt(record, 58 + random.below(3) * 11, 2);  // width, mm
        putInt(record, 30 + random.below(4) * 10, 2);  // height, mm
        const std::uint32_t fields = 12 + random.below(28);
        putInt(record, fields, 2);
        for (std::uint32_t f = 0; f < fields; ++f) {
            putInt(record, 1 + random.below(24), 2);  // field type
            for (int i = 0; i < 4; ++i) putInt(record, random.below(480), 2);  // x, y, width, height
            putInt(record, random.below(8), 2);  // font
            putInt(record, random.below(4) * 90, 2);  // rotation
            putInt(record, random.next(), 2);  // flags
        }
        record.resize(1024, '\0');
        out += record;
    }
    return out;
}

// Texts: 150 numbered text records of varying length.
std::string texts(Random& random) {
    std::string out;
    for (std::uint32_t n = 1; n <= 150; ++n) {
        std::string text = cp1250(random.pick(kTextLines));
        for (std::uint32_t more = random.below(3); more > 0; --more) text += ' ' + cp1250(random.pick(kTextLines));
        putInt(out, n, 2);
        putInt(out, static_cast<std::uint32_t>(text.size()), 2);
        out += text;
    }
    return out;
}

// Shop name: four lines of 32 characters printed at the head of a label.
std::string shopName(std::string_view address) {
    static constexpr std::array<const char*, 4> kShops = {"Řeznictví U Zlaté váhy", "Potraviny Na Rohu",
                                                          "Lahůdky Šťastný", "Sýrárna Žirovnice"};
    std::string out;
    putText(out, kShops[address.size() % kShops.size()], 32);
    putText(out, "Hlavní 12, Brno", 32);
    putText(out, "IČO 12345678", 32);
    putText(out, "Děkujeme za nákup", 32);
    return out;
}

// Preset keys: two pages of 72 keys, each the PLU number the key calls up.
std::string presetKeys(Random& random) {
    std::string out = "KEYS";
    putInt(out, 2, 2);
    putInt(out, 72, 2);
    for (int key = 0; key < 2 * 72; ++key) putInt(out, key < 100 ? 1 + random.below(400) : 0, 4);
    return out;
}

// PLU file: 400 records of 96 bytes.
std::string pluFile(Random& random) {
    std::string out;
    for (std::uint32_t plu = 1; plu <= 400; ++plu) {
        std::string record;
        putInt(record, plu, 4);
        putInt(record, 2000000 + plu * 7, 4);  // item code
        std::string name = kGoods[plu % kGoods.size()];
        if (plu > kGoods.size()) name += " " + std::to_string(plu);
        putText(record, name, 40);
        putInt(record, 990 + random.below(60000), 4);  // unit price in hellers
        putInt(record, random.below(3) == 0 ? 1 : 0, 1);  // 0 by weight, 1 by piece
        putInt(record, 1 + random.below(9), 2);  // department
        putInt(record, random.below(50), 2);  // tare, g
        putInt(record, 1 + random.below(30), 2);  // shelf life, days
        putInt(record, 1 + random.below(150), 2);  // text record
        putInt(record, 1 + random.below(12), 1);  // label format
        record.resize(96, '\0');
        out += record;
    }
    return out;
}

// Image: a 384 x 128 one-bit BMP logo, a ring with horizontal stripes.
std::string image() {
    constexpr int kWidth = 384, kHeight = 128, kRowBytes = kWidth / 8;
    constexpr std::uint32_t kPixelOffset = 14 + 40 + 8;
    std::string out = "BM";
    putInt(out, kPixelOffset + kRowBytes * kHeight, 4);
    putInt(out, 0, 4);
    putInt(out, kPixelOffset, 4);
    for (std::uint32_t v : {40u, std::uint32_t(kWidth), std::uint32_t(kHeight)}) putInt(out, v, 4);
    putInt(out, 1, 2);  // planes
    putInt(out, 1, 2);  // bits per pixel
    for (std::uint32_t v : {0u, std::uint32_t(kRowBytes * kHeight), 2835u, 2835u, 2u, 0u}) putInt(out, v, 4);
    putInt(out, 0xFFFFFF, 4);  // palette: white, black
    putInt(out, 0x000000, 4);
    for (int y = 0; y < kHeight; ++y)
        for (int byte = 0; byte < kRowBytes; ++byte) {
            unsigned char bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int x = byte * 8 + bit, dx = x - 64, dy = y - 64;
                const int r2 = dx * dx + dy * dy;
                const bool ring = r2 >= 40 * 40 && r2 <= 56 * 56;
                const bool stripe = x >= 140 && x < 370 && (y / 12) % 2 == 1 && y > 24 && y < 104;
                if (ring || stripe) bits |= static_cast<unsigned char>(0x80 >> bit);
            }
            out.push_back(static_cast<char>(bits));
        }
    return out;
}

}  // namespace

std::string demoFile(int kindId, std::string_view scaleAddress) {
    Random random(seedOf(scaleAddress, kindId));
    switch (kindId) {
    case kDataKinds[kFormats].id: return formats(random);
    case kDataKinds[kTexts].id: return texts(random);
    case kDataKinds[kShopName].id: return shopName(scaleAddress);
    case kDataKinds[kPresetKeys].id: return presetKeys(random);
    case kDataKinds[kPlu].id: return pluFile(random);
    case kDataKinds[kImage].id: return image();
    default: return {};
    }
}

}  // namespace zalohy::emulator
