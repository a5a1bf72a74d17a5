// The notes of a module as its patterns write them, timed in ticks: where
// each starts and ends, its sample, and the notes its arpeggio adds.
#pragma once

#include "songcheck/SongCheck.h"

#include <libopenmpt/libopenmpt.hpp>

struct Sheet {
    std::vector<SheetNote> notes;
    std::vector<double> tickSeconds;           // per note: a tick's length where it starts
    std::vector<std::vector<int64_t>> rowTick; // [order][row]
    std::vector<int> rowsPerOrder;
    int64_t endTick = 0;      // where the last row ends
    std::vector<int> speedAt; // per note
    // Where an arpeggio plays: the note, the row's ticks and the notes above.
    struct Arpeggio {
        size_t note;
        int64_t from, to;
        uint16_t ups;
    };
    std::vector<Arpeggio> arpeggios;
};

// The notes of every order in playing order, from `speed` and `tempo` at the
// start. Followed: set speed (A) and tempo (T), note delay (SD), note cut
// (SC), note off, a volume of 0 and arpeggio (J). Not followed: jumps,
// breaks, pattern delays and loops, volume slides; every order plays all its
// rows. A note's end is where the sheet ends it; how long its sample rings
// is for the caller to add.
Sheet ReadSheet(const openmpt::module& m, int speed, int tempo);
