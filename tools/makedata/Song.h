// The greeting's music, composed and synthesized here, and what the song says
// of itself: the part each channel plays and the chord of every beat, which
// the song report and the tests check the rendered sound against.
#pragma once

#include "s3m/S3mWriter.h"
#include "songcheck/SongVoices.h"

#include <vector>

// The module as written: ComposeSong() is WriteS3m(ComposeSongModule()).
S3mModule ComposeSongModule();
// The bytes of dat/rimpaaa.s3m.
std::vector<uint8_t> ComposeSong();

// One voice per channel of the module, in channel order, and every beat of
// the song with its chord.
std::vector<SongVoice> SongVoices();
std::vector<SongBeat> SongBeats();
