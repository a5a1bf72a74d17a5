// Reading the patterns through libopenmpt into a sheet of timed notes.
#include "songcheck/Sheet.h"

#include <algorithm>

namespace {

constexpr int NoteMin = 1, NoteMax = 120; // libopenmpt's note numbers; 13 is the tracker's C-0
constexpr int TrackerC0 = 13;

char Letter(const openmpt::module& m, int pattern, int row, int ch, int command) {
    const std::string s = m.format_pattern_row_channel_command(pattern, row, ch, command);
    return s.empty() ? '.' : s[0];
}

// A channel as the sheet is read: its sounding note, sample and arpeggio.
struct ChannelState {
    int playing = -1; // index of the sounding note
    int sample = 0;
    uint8_t arpeggio = 0;
};

// One channel's commands on one row.
struct Cell {
    int note, instrument, volume, info;
    char volumeFx, fx;
};

Cell ReadCell(const openmpt::module& m, int pattern, int row, int ch) {
    auto get = [&](int command) {
        return int(m.get_pattern_row_channel_command(pattern, row, ch, command));
    };
    Cell c;
    c.note = get(openmpt::module::command_note);
    c.instrument = get(openmpt::module::command_instrument);
    c.volumeFx = Letter(m, pattern, row, ch, openmpt::module::command_volumeffect);
    c.volume = get(openmpt::module::command_volume);
    c.fx = Letter(m, pattern, row, ch, openmpt::module::command_effect);
    c.info = get(openmpt::module::command_parameter);
    return c;
}

// Speed and tempo change for the whole row before any of its notes play.
void ReadSpeedAndTempo(const openmpt::module& m, int pattern, int row, int& speed, int& tempo) {
    for (int ch = 0; ch < m.get_num_channels(); ++ch) {
        const char fx = Letter(m, pattern, row, ch, openmpt::module::command_effect);
        const int info =
            m.get_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_parameter);
        if (fx == 'A' && info > 0) speed = info;
        if (fx == 'T' && info >= 0x20) tempo = info;
    }
}

// Ends the channel's sounding note at `at`, never before it starts.
void EndNote(Sheet& s, ChannelState& st, int64_t at) {
    if (st.playing >= 0) {
        SheetNote& n = s.notes[static_cast<size_t>(st.playing)];
        n.end = std::max(n.start, std::min(n.end, at));
    }
    st.playing = -1;
}

// Where the sheet is: the order, row and channel, and the row's timing.
struct SheetPlace {
    int order, row, ch;
    int64_t tick;
    int speed, tempo;
};

void StartNote(Sheet& s, ChannelState& st, const Cell& c, const SheetPlace& p, int delay) {
    SheetNote n;
    n.channel = p.ch;
    n.order = p.order;
    n.row = p.row;
    n.tick = delay;
    n.start = p.tick + delay;
    n.end = INT64_MAX;
    n.note = c.note - TrackerC0;
    n.sample = st.sample;
    st.playing = static_cast<int>(s.notes.size());
    s.notes.push_back(n);
    s.tickSeconds.push_back(2.5 / p.tempo);
    s.speedAt.push_back(p.speed);
}

// J on a sounding note: its parameter, or the last one when 0, plays for the row.
void ReadArpeggio(Sheet& s, ChannelState& st, int info, const SheetPlace& p) {
    if (info) st.arpeggio = static_cast<uint8_t>(info);
    if (!st.arpeggio) return;
    SheetNote& n = s.notes[static_cast<size_t>(st.playing)];
    const uint16_t ups =
        static_cast<uint16_t>((1u << (st.arpeggio >> 4) | 1u << (st.arpeggio & 15)) & ~1u);
    n.arpeggio |= ups;
    s.arpeggios.push_back({static_cast<size_t>(st.playing), p.tick, p.tick + p.speed, ups});
}

void ReadChannelRow(Sheet& s, ChannelState& st, const Cell& c, const SheetPlace& p) {
    int delay = 0;
    if (c.fx == 'S' && c.info >> 4 == 0xD) delay = c.info & 15;
    if (delay >= p.speed) return; // a note delayed past its row never plays
    const int64_t at = p.tick + delay;
    const bool silenced = c.volumeFx == 'v' && c.volume == 0;
    if (c.instrument > 0) st.sample = c.instrument - 1;
    if (c.note >= NoteMin && c.note <= NoteMax) {
        EndNote(s, st, at);
        if (!silenced) StartNote(s, st, c, p, delay);
    } else if (c.note > NoteMax || silenced) {
        EndNote(s, st, at); // note off, cut or fade, or silenced
    }
    if (c.fx == 'J' && st.playing >= 0) ReadArpeggio(s, st, c.info, p);
    if (c.fx == 'S' && c.info >> 4 == 0xC && (c.info & 15) < p.speed)
        EndNote(s, st, p.tick + (c.info & 15));
}

} // namespace

Sheet ReadSheet(const openmpt::module& m, int speed, int tempo) {
    Sheet s;
    const int channels = m.get_num_channels();
    std::vector<ChannelState> state(static_cast<size_t>(channels));
    int64_t tick = 0;
    for (int order = 0; order < m.get_num_orders(); ++order) {
        const int pattern = m.get_order_pattern(order);
        const bool valid = pattern >= 0 && pattern < m.get_num_patterns();
        const int rows = valid ? m.get_pattern_num_rows(pattern) : 0;
        s.rowsPerOrder.push_back(rows);
        s.rowTick.emplace_back();
        for (int row = 0; row < rows; ++row) {
            ReadSpeedAndTempo(m, pattern, row, speed, tempo);
            s.rowTick.back().push_back(tick);
            for (int ch = 0; ch < channels; ++ch)
                ReadChannelRow(s, state[static_cast<size_t>(ch)], ReadCell(m, pattern, row, ch),
                               {order, row, ch, tick, speed, tempo});
            tick += speed;
        }
    }
    for (ChannelState& st : state)
        EndNote(s, st, tick);
    s.endTick = tick;
    return s;
}
