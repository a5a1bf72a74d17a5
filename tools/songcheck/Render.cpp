// Rendering through libopenmpt: the song with chosen channels muted, its
// frames marked by order, and single notes played alone.
#include "songcheck/Render.h"

#include "common/Error.h"

#include <algorithm>
#include <array>
#include <map>
#include <ostream>
#include <streambuf>

namespace {

constexpr size_t ChunkFrames = 64; // the position is read after each chunk
constexpr size_t MaxFrames = size_t{SongRate} * static_cast<size_t>(LongestRender);

// libopenmpt's messages go nowhere: our own say what failed.
struct NullBuffer : std::streambuf {
    int overflow(int c) override { return c; }
};
std::ostream& Quiet() {
    static NullBuffer buffer;
    static std::ostream sink(&buffer);
    return sink;
}

openmpt::ext::interactive* Interactive(openmpt::module_ext& m) {
    auto* i =
        static_cast<openmpt::ext::interactive*>(m.get_interface(openmpt::ext::interactive_id));
    if (!i) SetError("libopenmpt offers no interactive interface");
    return i;
}

// Where the render is: which orders it has met, and whether the greeting's
// end and the last row of its last order have come.
struct RenderPlace {
    std::vector<bool> seen;
    bool greetingOver = false, lastRowSeen = false;
    std::pair<int, int> last{-1, -1}; // the last row begun
};

// Marks a chunk of `got` frames at frame `at`, heard at `position` (order, row).
void MarkChunk(const openmpt::module& m, Render& r, RenderPlace& p, std::pair<int, int> position,
               size_t at, size_t got) {
    const auto [order, row] = position;
    if (position > p.last) r.rowBegin.push_back(at);
    p.last = std::max(p.last, position);
    if (order >= 0 && static_cast<size_t>(order) < p.seen.size()) {
        const size_t o = static_cast<size_t>(order);
        if (!p.seen[o]) r.orderBegin[o] = at;
        p.seen[o] = true;
        r.orderEnd[o] = at + got;
    }
    if (order >= GreetingOrders && !p.greetingOver) {
        p.greetingOver = true;
        r.greetingEnd = at;
    }
    const int lastOrder = GreetingOrders - 1;
    if (order != lastOrder || p.lastRowSeen || lastOrder >= m.get_num_orders()) return;
    const int pattern = m.get_order_pattern(lastOrder);
    if (pattern >= 0 && pattern < m.get_num_patterns() &&
        row >= m.get_pattern_num_rows(pattern) - 1) {
        p.lastRowSeen = true;
        r.lastRowBegin = at;
    }
}

} // namespace

std::unique_ptr<openmpt::module_ext> LoadModule(std::span<const uint8_t> bytes, const char* atEnd) {
    try {
        return std::make_unique<openmpt::module_ext>(
            bytes.data(), bytes.size(), Quiet(),
            std::map<std::string, std::string>{{"play.at_end", atEnd}});
    } catch (const std::exception& e) {
        SetError("not a module libopenmpt can play: %s", e.what());
        return nullptr;
    }
}

std::optional<Render> RenderSong(std::span<const uint8_t> bytes, const std::vector<bool>& audible) {
    const auto m = LoadModule(bytes, "stop");
    openmpt::ext::interactive* interactive = m ? Interactive(*m) : nullptr;
    if (!interactive) return std::nullopt;
    // A muted channel's effects are skipped, its tempo changes too; one at
    // volume 0 keeps the song's timing.
    for (int ch = 0; ch < m->get_num_channels(); ++ch)
        if (size_t(ch) >= audible.size() || !audible[size_t(ch)])
            interactive->set_channel_volume(ch, 0.0);
    Render r;
    const size_t orders = static_cast<size_t>(m->get_num_orders());
    r.orderBegin.assign(orders, 0);
    r.orderEnd.assign(orders, 0);
    RenderPlace place{std::vector<bool>(orders, false)};
    std::array<float, ChunkFrames> l{}, rr{};
    while (r.left.size() < MaxFrames) {
        // A chunk that crosses into the next row belongs to that row, so that
        // an order's frames hold nothing of the next. After the song's end
        // the decoder reports its start again: the last chunk keeps its own.
        const std::pair<int, int> before{m->get_current_order(), m->get_current_row()};
        const size_t got = m->read(SongRate, ChunkFrames, l.data(), rr.data());
        if (got == 0) break;
        const std::pair<int, int> after{m->get_current_order(), m->get_current_row()};
        const size_t at = r.left.size();
        r.left.insert(r.left.end(), l.begin(), l.begin() + static_cast<std::ptrdiff_t>(got));
        r.right.insert(r.right.end(), rr.begin(), rr.begin() + static_cast<std::ptrdiff_t>(got));
        MarkChunk(*m, r, place, after > before ? after : before, at, got);
    }
    if (!place.greetingOver) r.greetingEnd = r.left.size();
    if (!place.lastRowSeen) r.lastRowBegin = r.greetingEnd;
    return r;
}

std::optional<std::vector<float>> PlayAlone(std::span<const uint8_t> bytes, int sample, int note,
                                            double seconds, bool raw) {
    const auto m = LoadModule(bytes, "continue");
    openmpt::ext::interactive* interactive = m ? Interactive(*m) : nullptr;
    if (!interactive) return std::nullopt;
    m->set_repeat_count(-1);
    if (raw) {
        m->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 1);
        m->set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH, 0);
    }
    for (int ch = 0; ch < m->get_num_channels(); ++ch)
        interactive->set_channel_mute_status(ch, true);
    interactive->play_note(sample, note + 12, 1.0, 0.0);
    const size_t frames = static_cast<size_t>(seconds * SongRate);
    std::vector<float> left(frames), right(frames);
    size_t done = 0;
    while (done < frames) {
        const size_t got =
            m->read(SongRate, frames - done, left.data() + done, right.data() + done);
        if (got == 0) break;
        done += got;
    }
    left.resize(done);
    return left;
}
