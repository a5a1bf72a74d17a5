// The greeting's data files, listed once: the pictures with their slots,
// sizes and colour keys, the font, the module and the greeting file. The
// programs load from this table, the data generator writes the files it
// names, and the tests and benchmarks find them through it. Header only and free of the media
// library, so that the generator can read it too.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The picture slots by role, as the scene timeline uses them.
enum Slot : int {
    SlotBackground = 0, // the beach
    SlotHead1 = 1,      // the party head, mouth shut
    SlotHead2 = 2,      // the party head, mouth open
    SlotCrab = 3,
    SlotLetterE = 4, // the twister's masks of the name's first three letters
    SlotLetterK = 5, // (E, K and U for Eku); LetterSlots has all eight
    SlotLetterU = 6,
    SlotTexture = 7, // the twister's texture
    SlotEnd = 8,     // the cake
};
// Pictures that live in no slot (the flare sprite).
inline constexpr int NoSlot = -1;

struct DataPicture {
    const char* path; // relative to the working directory
    int slot;         // a Slot, or NoSlot
    int width, height;
    int bitsPerPixel; // 32: through the palette; 8: raw palette indices
    bool keyed;       // black is transparent when blitted
};

// Every picture, in the order start-up loads them. The letter masks are
// those of Eku's name: a name's masks are loaded where these stand, one file
// for each letter (LetterMaskFile in common/Greeting.h).
inline constexpr std::array<DataPicture, 10> DataPictures = {{
    {"dat/ek_taus.pcx", SlotBackground, 320, 200, 32, false},
    {"dat/ek_rapu.pcx", SlotCrab, 320, 200, 32, true},
    {"dat/ek_pae1.pcx", SlotHead1, 320, 200, 32, true},
    {"dat/ek_pae2.pcx", SlotHead2, 320, 200, 32, true},
    {"dat/ek__e.pcx", SlotLetterE, 320, 200, 32, false},
    {"dat/ek__k.pcx", SlotLetterK, 320, 200, 32, false},
    {"dat/ek__u.pcx", SlotLetterU, 320, 200, 32, false},
    {"dat/bit7.pcx", SlotTexture, 256, 256, 32, false},
    {"dat/kewl.pcx", SlotEnd, 320, 200, 32, false},
    {"dat/flare.pcx", NoSlot, 64, 64, 8, false}, // the flare sprite
}};
inline constexpr const DataPicture& FlareSpriteFile = DataPictures.back();

// The picture that fills `slot`.
constexpr const DataPicture& SlotPicture(Slot slot) {
    for (const DataPicture& picture : DataPictures)
        if (picture.slot == slot) return picture;
    return FlareSpriteFile; // not reached: every Slot has its picture
}

// The slots of the masks of a name's letters, first to eighth.
inline constexpr std::array<int, 8> LetterSlots = {SlotLetterE, SlotLetterK, SlotLetterU, 9,
                                                   10,          11,          12,          13};

inline constexpr const char* FontFile = "dat/arialbd.ttf";
inline constexpr int FontPoints = 12;
inline constexpr const char* FontLicenceFile = "dat/LICENSE-font.txt";
inline constexpr const char* ModuleFile = "dat/rimpaaa.s3m";
// The desktop menus' icon, drawn from the cake; the programs never read it.
inline constexpr const char* IconFile = "dat/ekudemo.png";
// The name, captions and farewell (common/Greeting.h); a data folder made
// before there were greeting files has none, and shows Eku's greeting.
inline constexpr const char* GreetingFile = "dat/greeting.toml";

// Every file the greeting reads, pictures first, then the font and the module.
inline constexpr std::array<const char*, DataPictures.size() + 2> DataFiles = [] {
    std::array<const char*, DataPictures.size() + 2> files{};
    for (size_t i = 0; i < DataPictures.size(); ++i)
        files[i] = DataPictures[i].path;
    files[DataPictures.size()] = FontFile;
    files[DataPictures.size() + 1] = ModuleFile;
    return files;
}();

// The file's name within its folder: "ek_taus.pcx" for "dat/ek_taus.pcx".
constexpr std::string_view DataFileName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}
