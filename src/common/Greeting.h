// What is personal in the greeting: the name the twister turns, the captions
// over it, the crab's line, the head's lines and the farewell. They come from
// the data folder's greeting file (UTF-8 TOML, written by the data generator)
// and are held here in Latin-1, as the captions render them; a data folder
// without the file plays Eku's greeting.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t MaxNameLetters = 8;
inline constexpr size_t MaxTextLength = 80;        // characters of one text
inline constexpr size_t GreetingSizeLimit = 65536; // bytes of the file

struct Greeting {
    std::string name;                 // 1 to 8 letters, one per twister turn
    std::array<std::string, 8> steps; // the twister's captions, one per 16 rows
    std::string stepsEnd;             // the caption while the beach slides in
    std::string crab;                 // jumps about while the crab walks in
    std::array<std::string, 8> head;  // out of the party head's mouth, one per 32 rows
    std::string farewell;             // printed when the greeting ends
    bool operator==(const Greeting&) const = default;
};

// The greeting being shown: Eku's until LoadGreeting reads another.
extern Greeting CurrentGreeting;
const Greeting& DefaultGreeting();

// Whether the caption font has a glyph for a Latin-1 character; the data
// generator checks a name's letters with it before it draws them.
using HasGlyph = bool (*)(uint8_t letter);

// Reads a greeting file's text; `path` names it in messages. False, after
// SetError naming the file and the line, when an entry is missing, unknown,
// of the wrong kind or holds what cannot be shown.
bool ParseGreeting(const std::vector<uint8_t>& bytes, const char* path, Greeting& greeting,
                   HasGlyph hasGlyph = nullptr);
// Reads the greeting file at `path` (through the data files' reader) into
// CurrentGreeting. No file there gives the default greeting; a damaged one
// or a special file is refused: false, after SetError.
bool LoadGreeting(const char* path);

// The greeting file for `greeting`, with a comment saying what each entry is.
std::string GreetingFileText(const Greeting& greeting);
// The window's title: "Eku's birthday greeting", in UTF-8.
std::string GreetingTitle(const Greeting& greeting);

// The capital the twister turns for a letter of the name (a -> A, ä -> Ä).
uint8_t MaskLetter(uint8_t letter);
// The data table's path of a letter's mask: "dat/ek__e.pcx" for E, and for
// a capital that is no ASCII letter or digit its code, "dat/ek__c4.pcx" for Ä.
std::string LetterMaskFile(uint8_t letter);
// Whether the name's masks are Eku's hand-drawn ones (E, K, U).
bool HandDrawnName(std::string_view name);
