// Formatting and naming for the song report and its targets.
#include "songcheck/Text.h"

#include "songcheck/Loudness.h"

#include <cstdarg>
#include <cstdio>

std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Lufs(double loudness) {
    return loudness > -HUGE_VAL ? Format("%.1f", loudness) : "silent";
}

std::string Dbfs(double level) {
    return level > 0 ? Format("%.1f", Decibels(level)) : "-inf";
}

std::string PitchName(int pitch) {
    static constexpr const char* Names[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                            "F#", "G",  "G#", "A",  "A#", "B"};
    if (pitch < 0) return "?";
    return std::string(Names[pitch % 12]) + std::to_string(pitch / 12 - 1);
}

std::string TrackerNoteName(int note) {
    static constexpr const char* Names[] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                            "F#", "G-", "G#", "A-", "A#", "B-"};
    if (note < 0) return "???";
    return std::string(Names[note % 12]) + std::to_string(note / 12);
}

const char* RoleName(SongRole role) {
    static constexpr const char* Names[] = {"melody", "harmony", "bass",   "kick",
                                            "snare",  "hats",    "cymbal", "pads"};
    return Names[static_cast<size_t>(role)];
}

std::string ToneName(const ToneFigures& t) {
    return (t.pitch >= 0 ? PitchName(t.pitch) : std::string("?")) + " (" + TrackerNoteName(t.note) +
           ", sample " + std::to_string(t.sample + 1) + ")";
}
