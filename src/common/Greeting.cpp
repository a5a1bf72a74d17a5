#include "common/Greeting.h"

#include "common/DataFile.h"
#include "common/Error.h"
#include "common/Text.h"

#include <toml++/toml.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// Eku's greeting, in Latin-1 ("\xE4" is a-umlaut); the strings are split after
// each escape so that no following letter is read as a hex digit.
const Greeting Eku = {
    "Eku",
    {
        "pirvel",
        "ekuppu",
        "t\xE4"
        "ytt\xE4"
        "nee",
        "l23 vuotta",
        "uvo onnittelee",
        "vanhaa tyyppii ",
        "saat jo tulla toimeen",
        "omilla viinoillas ",
    },
    "uvo onnitelee",
    "ravut tuo zumiselta paketin!",
    {
        "t\xE4"
        "ytti 18 vauotta armon tesolan vuonna, das ekufx",
        "keltainen muuttuu ruskeaksi ja eku pupuksi",
        "pidet\xE4\xE4"
        "n ne kekkerit kun on karkkeja + pullaa?",
        "meinasin hakee vodkaa mut s-martket oli auki",
        "et olis kyl saanu antibioottien kanssa",
        "mut ovinaka on kyll\xE4"
        " semmone veitikka ",
        "ett\xE4"
        " olis viel\xE4"
        " menny naapurienki biootit ja makrot",
        "k\xE4"
        "y hakee mulle ruokaa?",
    },
    "mik\xE5 kaislaten tulevi se kukkuen menevi",
};

const char* const FileHead =
    "# A birthday greeting: everything in it that is personal. Edit it in any\n"
    "# text editor (it is UTF-8), then make a data folder from it and play it:\n"
    "#   ekudemo-makedata --greeting greeting.toml FOLDER\n"
    "#   ekudemo --data FOLDER\n"
    "# A text may hold any Latin-1 character (a-z, ä, ö, å, é, ...), at most 80.\n"
    "#\n"
    "# name         1 to 8 letters: the twister at the start turns them one by\n"
    "#              one, and the window's title names the person\n"
    "# twister      the 8 captions over the twister, one after another, each a\n"
    "#              little further right and lower down\n"
    "# twister_end  the caption that stays while the beach slides in\n"
    "# crab         the line that jumps up and down while the crab walks in\n"
    "# head         the 8 lines that come out of the party head's mouth\n"
    "# farewell     printed on the terminal when the greeting ends\n"
    "\n";

// Where an entry lies, for messages.
struct Place {
    const char* path;
    int64_t line;
};

bool Fail(Place at, const std::string& what) {
    return SetError("greeting \"%s\" line %lld: %s", at.path, static_cast<long long>(at.line),
                    what.c_str());
}

// One UTF-8 character of valid text (the TOML reader has checked it) at `i`.
char32_t NextCharacter(std::string_view text, size_t& i) {
    const auto lead = static_cast<uint8_t>(text[i++]);
    if (lead < 0x80) return lead;
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t c = lead & (0x3F >> more);
    for (int k = 0; k < more && i < text.size(); ++k)
        c = (c << 6) | (static_cast<uint8_t>(text[i++]) & 0x3F);
    return c;
}

// A text of the file as the captions hold it, in Latin-1.
bool ToLatin1(std::string_view utf8, Place at, const char* key, std::string& out) {
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCharacter(utf8, i);
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        if (c > 0xFF)
            return Fail(at, std::string(key) + " holds " + code + ", which is not in Latin-1");
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            return Fail(at, std::string(key) + " holds the control character " + code);
        out += static_cast<char>(c);
    }
    if (out.size() > MaxTextLength)
        return Fail(at, std::string(key) + " is " + std::to_string(out.size()) +
                            " characters long; at most " + std::to_string(MaxTextLength));
    return true;
}

bool ReadText(const toml::node& node, Place at, const char* key, std::string& out) {
    if (!node.is_string()) return Fail(at, std::string(key) + " must be a text in quotes");
    return ToLatin1(node.ref<std::string>(), at, key, out);
}

bool ReadList(const toml::node& node, Place at, const char* key, std::array<std::string, 8>& out) {
    const toml::array* list = node.as_array();
    if (!list || list->size() != out.size())
        return Fail(at, std::string(key) + " must be a list of " + std::to_string(out.size()) +
                            " texts in quotes");
    for (size_t i = 0; i < out.size(); ++i) {
        const toml::node& item = *list->get(i);
        if (!ReadText(item, {at.path, item.source().begin.line}, key, out[i])) return false;
    }
    return true;
}

bool CheckName(const std::string& name, Place at, HasGlyph hasGlyph) {
    if (name.empty()) return Fail(at, "the name is empty");
    if (name.size() > MaxNameLetters)
        return Fail(at, "the name has " + std::to_string(name.size()) + " letters; at most " +
                            std::to_string(MaxNameLetters));
    for (const char letter : name) {
        if (letter == ' ') return Fail(at, "the name holds a space; it is one word");
        const uint8_t capital = MaskLetter(static_cast<uint8_t>(letter));
        if (hasGlyph && !hasGlyph(capital)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", capital);
            return Fail(at, "the caption font has no glyph for \"" +
                                Latin1ToUtf8(std::string(1, static_cast<char>(capital))) + "\" (" +
                                code + ")");
        }
    }
    return true;
}

// Every entry, in the file's order.
bool ReadEntries(const toml::table& file, const char* path, Greeting& g, HasGlyph hasGlyph) {
    const struct {
        const char* key;
        std::string* text;
        std::array<std::string, 8>* list;
    } entries[] = {
        {"name", &g.name, nullptr},
        {"twister", nullptr, &g.steps},
        {"twister_end", &g.stepsEnd, nullptr},
        {"crab", &g.crab, nullptr},
        {"head", nullptr, &g.head},
        {"farewell", &g.farewell, nullptr},
    };
    for (auto&& [key, node] : file) {
        bool known = false;
        for (const auto& e : entries)
            known = known || key.str() == e.key;
        if (!known)
            return Fail({path, key.source().begin.line},
                        "unknown entry \"" + std::string(key.str()) + "\"");
    }
    for (const auto& e : entries) {
        const toml::node* node = file.get(e.key);
        if (!node) return SetError("greeting \"%s\" has no entry \"%s\"", path, e.key);
        const Place at = {path, node->source().begin.line};
        if (e.text ? !ReadText(*node, at, e.key, *e.text) : !ReadList(*node, at, e.key, *e.list))
            return false;
        if (e.text == &g.name && !CheckName(g.name, at, hasGlyph)) return false;
    }
    return true;
}

std::string Quoted(const std::string& latin1) {
    std::string out = "\"";
    for (const char c : Latin1ToUtf8(latin1)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string List(const std::array<std::string, 8>& texts) {
    std::string out = "[\n";
    for (const std::string& text : texts)
        out += "    " + Quoted(text) + ",\n";
    return out + "]\n";
}

} // namespace

Greeting CurrentGreeting = Eku;

const Greeting& DefaultGreeting() {
    return Eku;
}

bool ParseGreeting(const std::vector<uint8_t>& bytes, const char* path, Greeting& greeting,
                   HasGlyph hasGlyph) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    try {
        const toml::table file = toml::parse(text, std::string_view(path));
        Greeting read;
        if (!ReadEntries(file, path, read, hasGlyph)) return false;
        greeting = read;
        return true;
    } catch (const toml::parse_error& e) {
        return Fail({path, e.source().begin.line}, std::string(e.description()));
    }
}

bool LoadGreeting(const char* path) {
    std::vector<uint8_t> bytes;
    if (!ReadDataFile(path, "greeting", GreetingSizeLimit, DataLimit::Refuse, bytes)) {
        if (errno != ENOENT) return false;
        CurrentGreeting = Eku; // a data folder made before there were greeting files
        return true;
    }
    return ParseGreeting(bytes, path, CurrentGreeting);
}

std::string GreetingFileText(const Greeting& g) {
    return std::string(FileHead) + "name = " + Quoted(g.name) + "\ntwister = " + List(g.steps) +
           "twister_end = " + Quoted(g.stepsEnd) + "\ncrab = " + Quoted(g.crab) +
           "\nhead = " + List(g.head) + "farewell = " + Quoted(g.farewell) + "\n";
}

std::string GreetingTitle(const Greeting& g) {
    return Latin1ToUtf8(g.name) + "'s birthday greeting";
}

uint8_t MaskLetter(uint8_t letter) {
    if (letter >= 'a' && letter <= 'z') return letter - ('a' - 'A');
    // à to þ, but not the division sign; ß and ÿ have no Latin-1 capital.
    if (letter >= 0xE0 && letter != 0xF7 && letter != 0xFF) return letter - 0x20;
    return letter;
}

std::string LetterMaskFile(uint8_t letter) {
    const uint8_t capital = MaskLetter(letter);
    char name[32];
    if (capital >= 'A' && capital <= 'Z')
        std::snprintf(name, sizeof name, "dat/ek__%c.pcx", capital + ('a' - 'A'));
    else if (capital >= '0' && capital <= '9')
        std::snprintf(name, sizeof name, "dat/ek__%c.pcx", capital);
    else
        std::snprintf(name, sizeof name, "dat/ek__%02x.pcx", capital);
    return name;
}

bool HandDrawnName(std::string_view name) {
    return name.size() == 3 && MaskLetter(uint8_t(name[0])) == 'E' &&
           MaskLetter(uint8_t(name[1])) == 'K' && MaskLetter(uint8_t(name[2])) == 'U';
}
