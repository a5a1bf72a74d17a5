#include "capture/Capture.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

const char* const Usage =
    "usage: ekudemo-capture --still ORDER ROW TIME_MS [--seed S] [--raw] OUT.png\n"
    "       ekudemo-capture --effect tunnel|flares|wobble --time T_MS [--seed S] [--raw] OUT.png\n"
    "       ekudemo-capture [--fps N] [--scale K] [--seed S] OUT.mp4\n"
    "       ekudemo-capture --wav OUT.wav\n";

bool ParseInt(const char* text, long long low, long long high, long long& value) {
    std::string_view s(text);
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size() && value >= low && value <= high;
}

int Fail(const char* what) {
    std::fprintf(stderr, "ekudemo-capture: %s\n%s", what, Usage);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    enum { Video, Still, Effect, Wav } mode = Video;
    long long still[3] = {0, 0, 0};
    const char* effect = nullptr;
    long long timeMs = 0, seed = 1, fps = 60, scale = 4;
    bool raw = false, haveTime = false;
    const char* out = nullptr;

    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto next = [&](int count) { return i + count < argc; };
        if (arg == "--still") {
            if (!next(3)) return Fail("--still needs ORDER ROW TIME_MS");
            for (int k = 0; k < 3; ++k)
                if (!ParseInt(argv[++i], INT32_MIN, INT32_MAX, still[k]))
                    return Fail("--still needs whole numbers ORDER ROW TIME_MS");
            mode = Still;
        } else if (arg == "--effect") {
            if (!next(1)) return Fail("--effect needs tunnel, flares or wobble");
            effect = argv[++i];
            mode = Effect;
        } else if (arg == "--time") {
            if (!next(1) || !ParseInt(argv[++i], INT32_MIN, INT32_MAX, timeMs))
                return Fail("--time needs a whole number of milliseconds");
            haveTime = true;
        } else if (arg == "--seed") {
            if (!next(1) || !ParseInt(argv[++i], 0, UINT32_MAX, seed))
                return Fail("--seed needs a whole number from 0 to 4294967295");
        } else if (arg == "--fps") {
            if (!next(1) || !ParseInt(argv[++i], 1, 240, fps))
                return Fail("--fps needs a whole number from 1 to 240");
        } else if (arg == "--scale") {
            if (!next(1) || !ParseInt(argv[++i], 1, 8, scale))
                return Fail("--scale needs a whole number from 1 to 8");
        } else if (arg == "--raw") {
            raw = true;
        } else if (arg == "--wav") {
            if (!next(1)) return Fail("--wav needs OUT.wav");
            out = argv[++i];
            mode = Wav;
        } else if (arg.starts_with("--") || out) {
            return Fail("unexpected argument");
        } else {
            out = argv[i];
        }
    }
    if (!out) return Fail("no output file given");

    switch (mode) {
    case Still:
        return CaptureStill(int32_t(still[0]), int32_t(still[1]), int32_t(still[2]), unsigned(seed),
                            raw, out);
    case Effect:
        if (!haveTime) return Fail("--effect needs --time T_MS");
        return CaptureEffect(effect, int32_t(timeMs), unsigned(seed), raw, out);
    case Wav:
        return CaptureWav(out);
    case Video:
        return CaptureVideo(int(fps), int(scale), unsigned(seed), out);
    }
    return 1;
}
