// ekudemo-capture's command line: one of four modes, each with only the
// options that apply to it.
#include "capture/Capture.h"
#include "capture/Streams.h"
#include "common/Error.h"
#include "driver/Desktop.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const Usage =
    "usage: ekudemo-capture --still ORDER ROW TIME_MS [--seed S] [--raw] OUT.png\n"
    "       ekudemo-capture --effect tunnel|flares|wobble --time T_MS [--seed S] [--raw] OUT.png\n"
    "       ekudemo-capture [--fps N] [--scale K] [--seed S] [--verbose] OUT.mp4|.mkv|.mov|.webm\n"
    "       ekudemo-capture --wav OUT.wav\n";

// A usage error: what is wrong, the usage lines, status 2.
int UsageError(const std::string& what) {
    SetError("%s", what.c_str());
    PrintError();
    std::fprintf(stderr, "%sRun with --help for more information.\n", Usage);
    return 2;
}

int Run(int argc, char** argv) {
    CLI::App app("Draws the birthday greeting offline, from the folder that holds dat/: a still, "
                 "a frame of an effect the greeting never shows, the whole greeting as a video "
                 "with sound, or its music alone.\n\n" +
                     std::string(Usage),
                 "ekudemo-capture");
    app.set_version_flag("--version", "ekudemo-capture " EKUDEMO_VERSION);

    std::vector<int32_t> still;
    std::string effect, wav, out;
    int32_t timeMs = 0;
    uint32_t seed = 1;
    int fps = 60, scale = 4;
    bool raw = false, verbose = false;
    CLI::Option* stillOpt =
        app.add_option("--still", still,
                       "one frame of the greeting at this music position and time")
            ->expected(3)
            ->allow_extra_args(false)
            ->type_name("ORDER ROW TIME_MS");
    CLI::Option* effectOpt =
        app.add_option("--effect", effect, "one frame of an effect: tunnel, flares or wobble")
            ->type_name("NAME");
    CLI::Option* timeOpt =
        app.add_option("--time", timeMs, "the effect's time in milliseconds")->type_name("T_MS");
    CLI::Option* wavOpt = app.add_option("--wav", wav, "the music alone, 16-bit stereo 44.1 kHz")
                              ->type_name("OUT.wav");
    CLI::Option* seedOpt = app.add_option("--seed", seed,
                                          "stands in for the clock that seeds "
                                          "the crab's jitter and the flares (1)");
    CLI::Option* rawOpt =
        app.add_flag("--raw", raw, "a still's pixels as little-endian 32-bit words instead of PNG");
    CLI::Option* fpsOpt =
        app.add_option("--fps", fps, "video frames per second (60)")->check(CLI::Range(1, 240));
    CLI::Option* scaleOpt = app.add_option("--scale", scale, "each pixel as a KxK block (4)")
                                ->check(CLI::Range(1, 8))
                                ->type_name("K");
    CLI::Option* verboseOpt = app.add_flag("--verbose", verbose, "FFmpeg's own log lines");
    CLI::Option* outOpt = app.add_option("OUT", out, "the file to write")->type_name("OUT");

    // The modes exclude each other; each takes only its own options.
    stillOpt->excludes(effectOpt)->excludes(wavOpt);
    effectOpt->excludes(wavOpt)->needs(timeOpt);
    timeOpt->needs(effectOpt);
    wavOpt->excludes(outOpt)->excludes(seedOpt);
    for (CLI::Option* videoOnly : {fpsOpt, scaleOpt, verboseOpt})
        videoOnly->excludes(stillOpt)->excludes(effectOpt)->excludes(wavOpt);
    try {
        app.parse(argc, argv);
        if (*rawOpt && !*stillOpt && !*effectOpt)
            throw CLI::ValidationError("--raw", "applies to --still and --effect only");
        if (!*wavOpt && !*outOpt) throw CLI::RequiredError("OUT");
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return UsageError(e.what());
    }

    // An installed copy reads the data from its own folder; OUT stays where it was named.
    if (InstalledDataFolder()) {
        for (std::string* name : {&out, &wav})
            if (!name->empty()) *name = std::filesystem::absolute(*name).string();
    }
    if (!UseInstalledData()) return CaptureFailed();

    if (*stillOpt) return CaptureStill(still[0], still[1], still[2], seed, raw, out.c_str());
    if (*effectOpt) return CaptureEffect(effect.c_str(), timeMs, seed, raw, out.c_str());
    if (*wavOpt) return CaptureWav(wav.c_str());
    ShowEncoderLog(verbose);
    return CaptureVideo(fps, scale, seed, out.c_str());
}

} // namespace

int main(int argc, char** argv) {
    OpenStandardFiles();
    ProgramName = CaptureProgram;
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        SetError("%s", e.what());
    } catch (...) {
        SetError("failed");
    }
    return CaptureFailed();
}
