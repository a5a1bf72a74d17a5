// Writes every file of the greeting's dat/ folder: the pictures, the music
// module, the caption font and its licence, the greeting file. The same bytes
// on every run. With a greeting file of one's own, the folder is for that
// greeting: its file, and the masks of its name's letters drawn from the
// font. Or reports on the song: the notes, chords and measured figures of the
// song as composed here, or of a module file.
//
//   ekudemo-makedata [--greeting FILE] OUTDIR
//   ekudemo-makedata --song-report [MODULE]
#include "Canvas.h"
#include "Icon.h"
#include "Pictures.h"
#include "Song.h"
#include "output/OutputFile.h"
#include "songcheck/SongCheck.h"

#include "common/Data.h"
#include "common/DataFile.h"
#include "common/Error.h"
#include "common/Greeting.h"
#include "common/Help.h"
#include "music/SoundLib.h"

#include <cstdio>
#include <filesystem>
#include <optional>
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
    case SlotLetterE: // Eku's: any other name's are drawn from the font
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

// Each file appears whole or not at all: a full disk leaves the old file.
bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    OutputFile file;
    return OpenOutput(file, path.c_str()) && WriteOutput(file, bytes.data(), bytes.size()) &&
           CommitOutput(file);
}

// A file of the font's package.
bool ReadFontFile(const char* path, std::vector<uint8_t>& bytes) {
    if (ReadDataFile(path, "file", 32 << 20, DataLimit::Refuse, bytes)) return true;
    return SetError("%s (package fonts-liberation2)", ErrorText());
}

// The font's copyright and OFL text: the "Files: *" paragraph of the package's
// copyright file, with the one-space indentation of its continuation lines
// taken off.
bool FontLicence(std::vector<uint8_t>& text) {
    std::vector<uint8_t> raw;
    if (!ReadFontFile(FontCopyright, raw)) return false;
    const std::string all(raw.begin(), raw.end());
    const std::string head = "\nFiles: *\n";
    const size_t at = all.find(head);
    if (at == std::string::npos || all.find("SIL-OFL-1.1", at) == std::string::npos)
        return SetError("no OFL text in %s", FontCopyright);
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
bool SongReportCommand(const std::string& file) {
    std::vector<uint8_t> module;
    std::string title = "the song as composed by the generator";
    if (file.empty()) {
        module = ComposeSong();
        if (module.empty()) return false;
    } else {
        // Read as the greeting reads its music: a plain file, within its size.
        if (!ReadDataFile(file.c_str(), "music", ModuleSizeLimit, DataLimit::Refuse, module))
            return false;
        title = file;
    }
    const std::optional<SongAnalysis> song = AnalyseSong(module, SongVoices(), SongBeats());
    if (!song) return SetError("%s: %s", title.c_str(), ErrorText());
    std::fputs(SongReport(*song, title).c_str(), stdout);
    return true;
}

// The greeting the folder is for and its file's bytes: Eku's, or the one in
// `file`, its letters checked against the font.
bool ReadGreeting(const std::string& file, Greeting& greeting, std::vector<uint8_t>& text) {
    if (file.empty()) {
        greeting = DefaultGreeting();
        const std::string made = GreetingFileText(greeting);
        text.assign(made.begin(), made.end());
        return true;
    }
    return ReadDataFile(file.c_str(), "greeting", GreetingSizeLimit, DataLimit::Refuse, text) &&
           ParseGreeting(text, file.c_str(), greeting, LetterFontHas);
}

// The pictures of the table; a name that is not Eku's gets a mask of the
// font's for each of its letters in place of the hand-drawn E, K and U.
template <typename Write> bool WritePictures(const Greeting& greeting, Write write) {
    const bool handDrawn = HandDrawnName(greeting.name);
    if (!handDrawn && !SizeLetters(greeting.name)) return false;
    for (const DataPicture& picture : DataPictures) {
        const bool letter = picture.slot == SlotLetterE || picture.slot == SlotLetterK ||
                            picture.slot == SlotLetterU;
        if (letter && !handDrawn) continue;
        const std::vector<uint8_t> pcx = EncodePcx(DrawPicture(picture));
        if (pcx.empty()) return SetError("%s: %s", picture.path, ErrorText());
        if (!write(picture.path, pcx)) return false;
    }
    for (size_t i = 0; !handDrawn && i < greeting.name.size(); ++i) {
        const auto letter = uint8_t(greeting.name[i]);
        const std::string path = LetterMaskFile(letter);
        const std::vector<uint8_t> pcx = EncodePcx(DrawFontLetter(letter));
        if (pcx.empty()) return SetError("%s: %s", path.c_str(), ErrorText());
        if (!write(path.c_str(), pcx)) return false;
    }
    return true;
}

// The folder and the data table's files in it, in the table's order. Nothing
// is written when the font or the greeting cannot be read.
bool WriteData(const std::filesystem::path& dir, const std::string& greetingFile) {
    std::vector<uint8_t> font, licence, greetingText;
    Greeting greeting;
    if (!ReadFontFile(FontSource, font) || !FontLicence(licence) || !OpenLetterFont(font) ||
        !ReadGreeting(greetingFile, greeting, greetingText))
        return false;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) return SetError("cannot create %s: %s", dir.c_str(), error.message().c_str());
    auto write = [&](const char* path, const std::vector<uint8_t>& bytes) {
        return WriteFile(dir / DataFileName(path), bytes);
    };
    if (!WritePictures(greeting, write)) return false;
    const std::vector<uint8_t> song = ComposeSong();
    if (song.empty() || !write(ModuleFile, song) || !write(IconFile, DrawIcon())) return false;
    return write(FontFile, font) && write(FontLicenceFile, licence) &&
           write(GreetingFile, greetingText);
}

// The command line, then the song report or the data files: 0, 1 when they
// fail, 2 for a command line it does not understand.
int Run(int argc, char** argv) {
    constexpr const char* Usage =
        "usage: ekudemo-makedata OUTDIR | ekudemo-makedata --greeting FILE OUTDIR\n"
        "       ekudemo-makedata --song-report [MODULE]\n";
    CLI::App app("Writes the greeting's data files into OUTDIR, or reports on its song.",
                 "ekudemo-makedata");
    std::string outdir, report, greeting;
    app.add_option("OUTDIR", outdir, "The folder to write dat/'s files into (made if missing)")
        ->type_name("OUTDIR");
    CLI::Option* greetingOption =
        app.add_option("--greeting", greeting,
                       "Make the folder for the greeting in FILE (its name, captions and "
                       "farewell; see dat/greeting.toml) instead of Eku's")
            ->type_name("FILE");
    CLI::Option* reportOption =
        app.add_option("--song-report", report,
                       "Print the song's notes, chords and measured figures: the song composed "
                       "here, or the module file MODULE")
            ->expected(0, 1)
            ->type_name("MODULE");
    greetingOption->excludes(reportOption);
    app.set_version_flag("--version", "ekudemo-makedata " EKUDEMO_VERSION,
                         "Print the version and exit");
    UsePlainHelp(app, {"[--greeting FILE] OUTDIR", "--song-report [MODULE]"});
    app.footer("The same bytes on every run: a test checks them against the committed dat/.");
    const int status = ParseCommandLine(app, argc, argv, [&] {
        if (reportOption->count() == 0 && outdir.empty()) throw CLI::RequiredError("OUTDIR");
        if (reportOption->count() > 0 && !outdir.empty()) throw CLI::ExtrasError({outdir});
    });
    if (status == 2) {
        PrintError();
        std::fputs(Usage, stderr);
    }
    if (status >= 0) return status;
    const bool done =
        reportOption->count() > 0 ? SongReportCommand(report) : WriteData(outdir, greeting);
    CloseLetterFont();
    if (!done) PrintError();
    return done ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    return RunTool("ekudemo-makedata", Run, argc, argv);
}
