// The gallery: the three effects that the greeting's timeline never shows,
// one after another, with the greeting's music.
#pragma once

int RunGallery(int argc, char** argv);
