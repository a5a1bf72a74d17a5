// Playing a module through libopenmpt into float samples at SongRate, as the
// greeting hears it: the whole song with some channels silent, cut into its
// orders, or one sample at one note alone.
#pragma once

#include "songcheck/SongCheck.h"

#include <libopenmpt/libopenmpt_ext.hpp>

#include <memory>
#include <optional>

// Longer modules are refused: their renders would not fit in memory.
constexpr double LongestRender = 600; // seconds

// The module, or null with the reason recorded. `atEnd` is libopenmpt's
// "play.at_end": "stop" to end with the song, "continue" to play on.
std::unique_ptr<openmpt::module_ext> LoadModule(std::span<const uint8_t> bytes, const char* atEnd);

struct Render {
    std::vector<float> left, right;
    std::vector<size_t> orderBegin, orderEnd; // frames, per order; equal: not played
    size_t lastRowBegin = 0;                  // the last row of order GreetingOrders - 1
    size_t greetingEnd = 0;                   // where order GreetingOrders begins
    std::vector<size_t> rowBegin;             // frames, every row in playing order
};

// The whole module with only the channels in `audible` sounding.
std::optional<Render> RenderSong(std::span<const uint8_t> bytes, const std::vector<bool>& audible);

// `seconds` of `sample` played alone at tracker note `note` (every channel
// of the song muted), the left side (it is centred). `raw`: the sample's own
// values, no interpolation and no volume ramp.
std::optional<std::vector<float>> PlayAlone(std::span<const uint8_t> bytes, int sample, int note,
                                            double seconds, bool raw);
