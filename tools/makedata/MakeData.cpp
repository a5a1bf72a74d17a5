// Writes every file of the greeting's dat/ folder: the pictures, the music
// module, the caption font and its licence. The same bytes on every run.
//
//   ekudemo-makedata OUTDIR
#include "Canvas.h"
#include "Pictures.h"
#include "Song.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr const char* FontSource = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";
constexpr const char* FontCopyright = "/usr/share/doc/fonts-liberation2/copyright";

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "ekudemo-makedata: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool ReadFile(const char* path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "ekudemo-makedata: cannot read %s (package fonts-liberation2)\n",
                     path);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The font's copyright and OFL text: the "Files: *" paragraph of the package's
// copyright file, with the one-space indentation of its continuation lines
// taken off.
bool FontLicence(std::vector<uint8_t>& text) {
    std::vector<uint8_t> raw;
    if (!ReadFile(FontCopyright, raw)) return false;
    const std::string all(raw.begin(), raw.end());
    const std::string head = "\nFiles: *\n";
    const size_t at = all.find(head);
    if (at == std::string::npos || all.find("SIL-OFL-1.1", at) == std::string::npos) {
        std::fprintf(stderr, "ekudemo-makedata: no OFL text in %s\n", FontCopyright);
        return false;
    }
    std::string out = "Liberation Sans Bold (dat/arialbd.ttf), from Debian's fonts-liberation2 "
                      "package.\n\n";
    size_t pos = at + head.size();
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(pos, end - pos);
        if (line.empty()) break; // the paragraph ends
        if (line[0] == ' ') line.erase(0, 1);
        if (line == ".") line.clear();
        out += line + "\n";
        pos = end + 1;
    }
    text.assign(out.begin(), out.end());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ekudemo-makedata OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "ekudemo-makedata: cannot create %s: %s\n", dir.c_str(),
                     error.message().c_str());
        return 1;
    }
    struct Picture {
        const char* name;
        Canvas canvas;
    };
    const Picture pictures[] = {
        {"ek_taus.pcx", DrawBeach()},     {"ek_rapu.pcx", DrawCrab()},
        {"ek_pae1.pcx", DrawHead(false)}, {"ek_pae2.pcx", DrawHead(true)},
        {"ek__e.pcx", DrawLetter('E')},   {"ek__k.pcx", DrawLetter('K')},
        {"ek__u.pcx", DrawLetter('U')},   {"bit7.pcx", DrawTwisterTexture()},
        {"kewl.pcx", DrawCake()},         {"flare.pcx", DrawFlare()},
    };
    for (const Picture& p : pictures)
        if (!WriteFile(dir / p.name, EncodePcx(p.canvas))) return 1;

    if (!WriteFile(dir / "rimpaaa.s3m", ComposeSong())) return 1;

    std::vector<uint8_t> font, licence;
    if (!ReadFile(FontSource, font) || !FontLicence(licence)) return 1;
    if (!WriteFile(dir / "arialbd.ttf", font) || !WriteFile(dir / "LICENSE-font.txt", licence))
        return 1;
    return 0;
}
