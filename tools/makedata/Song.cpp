// The song's plan: the parts in playing order, then the samples; and what
// the song says of itself, its channels' roles and its chord chart.
//
// The song: "rimpaaa", a birthday tune in C. Orders 0-2 open quietly over
// C-Am-F-G7 and build up, orders 3-5 groove in 4/4 for the crab, orders 6-9
// sing "Happy Birthday" twice in 3/4 (the second verse fuller), order 10 sings
// the last line once more, slows down and lets the final C ring out and fade
// inside the order, and order 11 is a soft tail for anyone playing the module
// alone. The chord chart (SongChart.cpp) is the one source of the harmony:
// the pads, the bass and the arpeggios are written from it, and SongBeats()
// reports it.
#include "Song.h"

#include "Compose.h"

#include <array>
#include <cstdint>
#include <vector>

using namespace Compose;

S3mModule ComposeSongModule() {
    Song s;
    S3mModule& m = s.module;
    m.title = "rimpaaa - for Eku";
    m.channels = Channels;
    //            lead dbl  pads      pluck bass kick snare hat crash
    m.channelPan = {7, 10, 3, 8, 12, 5, 8, 8, 8, 10, 6, 8, 8, 8, 8, 8};
    m.initialSpeed = Speed;
    m.initialTempo = 125;
    m.globalVolume = 64;
    m.masterVolume = 0x80 | 64; // stereo
    m.patterns.resize(Orders);
    for (int o = 0; o < Orders; ++o)
        m.orders.push_back(static_cast<uint8_t>(o));

    Intro(s);
    for (int order = 3; order < 6; ++order)
        Groove(s, order);
    std::array<int, 3> pads = FirstVoicing;
    Verse1(s, 6, pads);
    Verse1(s, 7, pads);
    Verse2(s, 8, pads);
    Verse2(s, 9, pads);
    Finale(s, pads);
    Tail(s);
    PlaceSamples(s);
    return m;
}

std::vector<uint8_t> ComposeSong() {
    return WriteS3m(ComposeSongModule());
}

std::vector<SongVoice> SongVoices() {
    return {{"pulse lead", SongRole::Melody}, {"soft saw", SongRole::Harmony},
            {"pad low", SongRole::Pads},      {"pad middle", SongRole::Pads},
            {"pad high", SongRole::Pads},     {"music box", SongRole::Harmony},
            {"bass", SongRole::Bass},         {"kick", SongRole::Kick},
            {"snare", SongRole::Snare},       {"hats", SongRole::Hats},
            {"crash", SongRole::Cymbal}};
}

// Every beat of the chart, in playing order.
std::vector<SongBeat> SongBeats() {
    std::vector<SongBeat> beats;
    for (int order = 0; order < Orders; ++order)
        for (const Beat& b : ChartOf(order))
            beats.push_back({order, b.tick / Speed, b.tick % Speed, b.downbeat, Tones(*b.chord),
                             b.chord->name});
    return beats;
}
