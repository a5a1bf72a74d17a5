// ekudemo-capture's command line: one of four modes, each with only the
// options that apply to it.
#include "capture/Capture.h"
#include "capture/Streams.h"
#include "common/Error.h"
#include "common/Help.h"
#include "driver/Desktop.h"
#include "driver/Gallery.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <strings.h>
#include <vector>

namespace {

// The command line as read.
struct CommandLine {
    std::vector<int32_t> still;
    std::string effect, wav, out, data, quality = "normal";
    int32_t timeMs = 0;
    uint32_t seed = 1;
    int fps = 60, scale = 4;
    bool raw = false, verbose = false;
};

// Whether `out` ends in `ending` (a still, a raw frame or a WAV): a name that
// says one kind of file must not hold another. False after SetError.
bool EndsIn(const std::string& out, const char* ending, const char* what) {
    const size_t dot = out.rfind('.'), slash = out.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
        strcasecmp(out.c_str() + dot, ending) == 0)
        return true;
    return SetError("\"%s\": %s name ends in %s", out.c_str(), what, ending);
}

// What the parser leaves to us: --raw only for a frame, no negative position
// or time, a known effect, and OUT named as what is written in it. False
// after SetError.
bool ValuesFit(const CommandLine& l, bool still, bool effect, bool wav) {
    if (l.raw && !still && !effect) return SetError("--raw: applies to --still and --effect only");
    if (still && (l.still[0] < 0 || l.still[1] < 0 || l.still[2] < 0))
        return SetError("--still %d %d %d: the order, the row and the time cannot be negative",
                        int(l.still[0]), int(l.still[1]), int(l.still[2]));
    if (effect && l.timeMs < 0)
        return SetError("--time %d: the time cannot be negative", int(l.timeMs));
    if (effect && !FindGalleryEffect(l.effect.c_str()))
        return SetError("unknown effect \"%s\": use %s", l.effect.c_str(),
                        GalleryEffectNames().c_str());
    if (wav) return EndsIn(l.wav, ".wav", "a WAV's");
    if (still || effect)
        return l.raw ? EndsIn(l.out, ".raw", "a raw frame's") : EndsIn(l.out, ".png", "a still's");
    return ContainerFor(l.out.c_str()) != nullptr;
}

VideoQuality QualityNamed(const std::string& name) {
    return name == "small"  ? VideoQuality::Small
           : name == "best" ? VideoQuality::Best
                            : VideoQuality::Normal;
}

int Run(int argc, char** argv) {
    CLI::App app("Draws the birthday greeting offline, from the folder that holds dat/: a still, "
                 "a frame of an effect the greeting never shows, the whole greeting as a video "
                 "with sound, or its music alone.",
                 CaptureProgram);
    app.set_version_flag("--version", "ekudemo-capture " EKUDEMO_VERSION,
                         "Print the version and exit");
    UsePlainHelp(app, {CaptureUsages.begin(), CaptureUsages.end()});
    app.footer("The video's container follows OUT's ending: .mp4, .mkv or .mov hold H.264 and "
               "AAC, .webm VP9 and Vorbis. The same options give the same bytes. OUT appears "
               "only when it is complete: a failure or Ctrl-C leaves it as it was.");

    CommandLine l;
    CLI::Option* outOpt =
        app.add_option("OUT", l.out, "The file to write: its name ends as what it holds")
            ->type_name("OUT");
    CLI::Option* stillOpt =
        app.add_option("--still", l.still,
                       "One frame of the greeting: the music at ORDER and ROW, the effects' "
                       "clock at TIME_MS milliseconds")
            ->expected(3)
            ->allow_extra_args(false)
            ->type_name("ORDER ROW TIME_MS");
    CLI::Option* effectOpt =
        app.add_option("--effect", l.effect,
                       "One frame of an effect the greeting never shows: tunnel, flares or wobble")
            ->type_name("NAME");
    CLI::Option* timeOpt =
        app.add_option("--time", l.timeMs, "The effect's clock in milliseconds")->type_name("T_MS");
    app.add_flag("--raw", l.raw,
                 "A frame's pixels as little-endian 32-bit words (OUT.raw) instead of PNG");
    CLI::Option* qualityOpt =
        app.add_option("--quality", l.quality,
                       "The video's size against its picture, Q one of: normal (the default), "
                       "the whole greeting in under 10 MB, looking as drawn; small, about two "
                       "thirds of that, with fine detail a little soft and the sound at 128 "
                       "kb/s; best, for keeping, about half as large again")
            ->check(CLI::IsMember({"small", "normal", "best"}).description(""))
            ->type_name("Q");
    CLI::Option* fpsOpt = app.add_option("--fps", l.fps, "Video frames per second, 1 to 240 (60)")
                              ->check(CLI::Range(1, 240).description(""))
                              ->type_name("N");
    CLI::Option* scaleOpt =
        app.add_option("--scale", l.scale, "Each pixel as a KxK block, K from 1 to 8 (4: 1280x800)")
            ->check(CLI::Range(1, 8).description(""))
            ->type_name("K");
    CLI::Option* verboseOpt =
        app.add_flag("--verbose", l.verbose, "FFmpeg's own log lines while a video is written");
    CLI::Option* wavOpt =
        app.add_option("--wav", l.wav, "The music alone, 16-bit stereo at 44.1 kHz")
            ->type_name("OUT.wav");
    CLI::Option* seedOpt = app.add_option("--seed", l.seed,
                                          "Stands in for the clock that seeds the crab's jitter "
                                          "and the flares (1)")
                               ->type_name("S");
    CLI::Option* dataOpt =
        app.add_option("--data", l.data, "The data folder, one that ekudemo-makedata wrote (dat)")
            ->type_name("DIR");

    // The modes exclude each other; each takes only its own options.
    stillOpt->excludes(effectOpt)->excludes(wavOpt);
    effectOpt->excludes(wavOpt)->needs(timeOpt);
    timeOpt->needs(effectOpt);
    wavOpt->excludes(outOpt)->excludes(seedOpt);
    for (CLI::Option* videoOnly : {qualityOpt, fpsOpt, scaleOpt, verboseOpt})
        videoOnly->excludes(stillOpt)->excludes(effectOpt)->excludes(wavOpt);
    const int status = ParseCommandLine(app, argc, argv, [&] {
        if (!*wavOpt && !*outOpt) throw CLI::RequiredError("OUT");
    });
    if (status == 2) return CaptureUsageError();
    if (status >= 0) return status;
    if (!ValuesFit(l, stillOpt->count() > 0, effectOpt->count() > 0, wavOpt->count() > 0))
        return CaptureUsageError();

    if (*dataOpt) UseDataFolder(l.data);
    // An installed copy reads the data from its own folder; OUT stays where it was named.
    if (InstalledDataFolder()) {
        for (std::string* name : {&l.out, &l.wav})
            if (!name->empty()) *name = std::filesystem::absolute(*name).string();
    }
    if (!UseInstalledData()) return CaptureFailed();

    const char* out = l.out.c_str();
    if (*stillOpt) return CaptureStill(l.still[0], l.still[1], l.still[2], l.seed, l.raw, out);
    if (*effectOpt) return CaptureEffect(l.effect.c_str(), l.timeMs, l.seed, l.raw, out);
    if (*wavOpt) return CaptureWav(l.wav.c_str());
    ShowEncoderLog(l.verbose);
    SetVideoQuality(QualityNamed(l.quality));
    return CaptureVideo(l.fps, l.scale, l.seed, out);
}

} // namespace

int main(int argc, char** argv) {
    return RunTool(CaptureProgram, Run, argc, argv);
}
