// Writes every file of the greeting's dat/ folder: the pictures, the music
// module, the caption font and its licence. The same bytes on every run. Or
// reports on the song: the notes, chords and measured figures of the song as
// composed here, or of a module file.
//
//   ekudemo-makedata OUTDIR
//   ekudemo-makedata --song-report [MODULE]
#include "Canvas.h"
#include "Icon.h"
#include "Pictures.h"
#include "Song.h"
#include "output/OutputFile.h"
#include "songcheck/SongCheck.h"

#include <CLI/CLI.hpp>

#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"
#include "music/SoundLib.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr const char* FontSource = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";
constexpr const char* FontCopyright = "/usr/share/doc/fonts-liberation2/copyright";

// The picture that a file of the data table holds.
Canvas DrawPicture(const DataPicture& picture) {
    switch (picture.slot) {
    case SlotBackground:
        return DrawBeach();
    case SlotCrab:
        return DrawCrab();
    case SlotHead1:
        return DrawHead(false);
    case SlotHead2:
        return DrawHead(true);
    case SlotLetterE:
        return DrawLetter('E');
    case SlotLetterK:
        return DrawLetter('K');
    case SlotLetterU:
        return DrawLetter('U');
    case SlotTexture:
        return DrawTwisterTexture();
    case SlotEnd:
        return DrawCake();
    default:
        return DrawFlare();
    }
}

// Where a file of the data table goes in the output folder.
std::filesystem::path OutPath(const std::filesystem::path& dir, const char* path) {
    return dir / DataFileName(path);
}

// Each file appears whole or not at all: a full disk leaves the old file.
bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    OutputFile file;
    if (OpenOutput(file, path.c_str()) && WriteOutput(file, bytes.data(), bytes.size()) &&
        CommitOutput(file))
        return true;
    PrintError();
    return false;
}

bool ReadFile(const char* path, std::vector<uint8_t>& bytes,
              const char* hint = " (package fonts-liberation2)") {
    if (ReadDataFile(path, "file", 32 << 20, DataLimit::Refuse, bytes)) return true;
    std::fprintf(stderr, "ekudemo-makedata: %s%s\n", ErrorText(), hint);
    return false;
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
    std::string out = std::string("Liberation Sans Bold (") + FontFile +
                      "), from Debian's fonts-liberation2 package.\n\n";
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

// The report on the song composed here, or on a module file. A file is
// measured with this song's parts and chord chart when its channels match.
int SongReportCommand(const std::string& file) {
    std::vector<uint8_t> module;
    std::string title = "the song as composed by the generator";
    if (file.empty()) {
        module = ComposeSong();
        if (module.empty()) {
            PrintError();
            return 1;
        }
    } else {
        // Read as the greeting reads its music: a plain file, within its size.
        if (!ReadDataFile(file.c_str(), "music", ModuleSizeLimit, DataLimit::Refuse, module)) {
            PrintError();
            return 1;
        }
        title = file;
    }
    const std::optional<SongAnalysis> song = AnalyseSong(module, SongVoices(), SongBeats());
    if (!song) {
        SetError("%s: %s", title.c_str(), ErrorText());
        PrintError();
        return 1;
    }
    std::fputs(SongReport(*song, title).c_str(), stdout);
    return 0;
}

int WriteData(const std::filesystem::path& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "ekudemo-makedata: cannot create %s: %s\n", dir.c_str(),
                     error.message().c_str());
        return 1;
    }
    for (const DataPicture& picture : DataPictures) {
        const std::vector<uint8_t> pcx = EncodePcx(DrawPicture(picture));
        if (pcx.empty()) {
            std::fprintf(stderr, "ekudemo-makedata: %s: %s\n", picture.path, ErrorText());
            return 1;
        }
        if (!WriteFile(OutPath(dir, picture.path), pcx)) return 1;
    }

    const std::vector<uint8_t> song = ComposeSong();
    if (song.empty()) {
        PrintError();
        return 1;
    }
    if (!WriteFile(OutPath(dir, ModuleFile), song)) return 1;
    if (!WriteFile(OutPath(dir, IconFile), DrawIcon())) return 1;

    std::vector<uint8_t> font, licence;
    if (!ReadFile(FontSource, font) || !FontLicence(licence)) return 1;
    if (!WriteFile(OutPath(dir, FontFile), font) ||
        !WriteFile(OutPath(dir, FontLicenceFile), licence))
        return 1;
    return 0;
}

// The command line, then the song report or the data files.
int Run(int argc, char** argv) {
    constexpr const char* Usage =
        "usage: ekudemo-makedata OUTDIR | ekudemo-makedata --song-report [MODULE]\n";
    CLI::App app("Writes the greeting's data files into OUTDIR, or reports on its song.",
                 "ekudemo-makedata");
    std::string outdir, report;
    app.add_option("OUTDIR", outdir, "folder to write dat/'s files into (made if missing)");
    CLI::Option* reportOption =
        app.add_option("--song-report", report,
                       "print the song's notes, chords and measured figures: the song composed "
                       "here, or the module file MODULE")
            ->expected(0, 1)
            ->type_name("[MODULE]");
    app.set_version_flag("--version", "ekudemo-makedata " EKUDEMO_VERSION);
    try {
        app.parse(argc, argv);
        if (reportOption->count() == 0 && outdir.empty()) throw CLI::RequiredError("OUTDIR");
        if (reportOption->count() > 0 && !outdir.empty()) throw CLI::ExtrasError({outdir});
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "ekudemo-makedata: %s\n%s", e.what(), Usage);
        return 2;
    }
    if (reportOption->count() > 0) return SongReportCommand(report);
    return WriteData(outdir);
}

} // namespace

// CLI11's set-up and the library's allocations can still throw: say so and fail.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ekudemo-makedata: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "ekudemo-makedata: failed\n");
    }
    return 1;
}
