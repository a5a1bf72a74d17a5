// The S3M writer's modules as a player sees them: libopenmpt loads them with
// the orders, rows, timing and samples they were written with.
#include "s3m/S3mWriter.h"

#include "common/Error.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <sstream>
#include <stdexcept>

namespace {

struct Loaded {
    std::ostringstream log; // libopenmpt's messages stay out of the test output
    openmpt::module module;
    explicit Loaded(const std::vector<uint8_t>& bytes) : module(bytes, log) {
        module.ctl_set_text("play.at_end", "stop"); // no fade-out tail after the last row
    }
};

// 64 rows of one tick of 2.5 / 255 s each (the player rounds a tick to whole
// frames), each row audible: a window of 400 frames lies inside about one
// row of 432.
TEST(S3mWriter, TestModuleHasItsOrdersRowsAndTimingAndEveryRowSounds) {
    for (int orders : {1, 3, 12}) {
        Loaded song(MakeTestModule(orders, 1, 255));
        openmpt::module& mod = song.module;
        EXPECT_EQ(mod.get_metadata("type"), "s3m");
        EXPECT_EQ(mod.get_num_orders(), orders);
        EXPECT_EQ(mod.get_num_channels() * 10 + mod.get_num_samples(), 11);
        EXPECT_EQ(mod.get_current_speed() * 1000 + mod.get_current_tempo(), 1255);
        for (int o = 0; o < orders; ++o)
            EXPECT_EQ(mod.get_pattern_num_rows(mod.get_order_pattern(o)), 64);
        std::vector<int16_t> frames(2 * 400);
        int windows = 0;
        while (mod.read_interleaved_stereo(44100, 400, frames.data()) == 400) {
            int peak = 0;
            for (int16_t v : frames)
                peak = std::max(peak, std::abs(int(v)));
            EXPECT_GT(peak, 1000) << "silent window " << windows;
            ++windows;
        }
        EXPECT_GE(windows, orders * 64 * 432 / 400 - 1);
        const double seconds = orders * 64 * 2.5 / 255;
        EXPECT_NEAR(mod.get_duration_seconds(), seconds, seconds * 2e-3);
    }
    Loaded slow(MakeTestModule(2, 6, 125));
    EXPECT_NEAR(slow.module.get_duration_seconds(), 2 * 64 * 6 * 2.5 / 125, 0.01);
}

TEST(S3mWriter, CellsSamplesAndOrdersSurviveTheRoundTrip) {
    S3mModule m;
    m.title = "round trip with a title longer than the field";
    m.channels = 3;
    m.channelPan = {0, 15, 7};
    m.initialSpeed = 4;
    m.initialTempo = 140;
    m.globalVolume = 48;
    S3mSample a;
    a.name = "ramp";
    for (int i = 0; i < 100; ++i)
        a.data.push_back(static_cast<int8_t>(i - 50));
    a.loop = true;
    a.loopStart = 10;
    a.loopEnd = 90;
    a.volume = 40;
    a.c2spd = 16000;
    S3mSample b;
    b.name = "empty";
    m.samples = {a, b};
    m.patterns.resize(2);
    m.patterns[1].rows[5][2] = {S3mNote(5, 3), 2, 33, S3mCommand('A'), 3};
    m.patterns[1].rows[6][1] = {S3mNoteOff, 0, S3mNoVolume, 0, 0};
    m.patterns[0].rows[63][0] = {S3mNoNote, 1, S3mNoVolume, 0, 0};
    m.orders = {1, 0, 1};

    const std::vector<uint8_t> bytes = WriteS3m(m);
    EXPECT_EQ(bytes, WriteS3m(m)); // deterministic
    EXPECT_EQ(bytes.size() % 16, 0u);
    Loaded song(bytes);
    openmpt::module& mod = song.module;
    EXPECT_EQ(mod.get_metadata("title"), "round trip with a title lon");
    EXPECT_EQ(mod.get_num_orders(), 3);
    EXPECT_EQ(mod.get_order_pattern(0), 1);
    EXPECT_EQ(mod.get_order_pattern(1), 0);
    EXPECT_EQ(mod.get_num_channels(), 3);
    EXPECT_EQ(mod.get_num_samples(), 2);
    EXPECT_EQ(mod.get_sample_names()[0], "ramp");
    EXPECT_EQ(mod.get_current_speed(), 4);
    EXPECT_EQ(mod.get_current_tempo(), 140);
    using openmpt::module;
    EXPECT_EQ(mod.get_pattern_row_channel_command(1, 5, 2, module::command_note),
              12 * (5 + 1) + 3 + 1); // C-4 is the player's middle C-5
    EXPECT_EQ(mod.get_pattern_row_channel_command(1, 5, 2, module::command_instrument), 2);
    EXPECT_EQ(mod.get_pattern_row_channel_command(1, 5, 2, module::command_parameter), 3);
    EXPECT_EQ(mod.get_pattern_row_channel_command(1, 5, 2, module::command_volume), 33);
    EXPECT_EQ(mod.get_pattern_row_channel_command(0, 63, 0, module::command_instrument), 1);
    EXPECT_EQ(mod.get_pattern_row_channel_command(0, 63, 0, module::command_note), 0);
    EXPECT_EQ(mod.get_pattern_row_channel_command(1, 4, 2, module::command_note), 0);
    EXPECT_EQ(mod.get_pattern_row_channel_command(1, 6, 1, module::command_note), 254); // note cut
}

TEST(S3mWriter, RejectsWhatCannotBeWritten) {
    const auto rejects = [](auto change) {
        S3mModule m = MakeTestModuleDescription(2, 6, 125);
        change(m);
        SetError("-");
        EXPECT_TRUE(WriteS3m(m).empty());
        EXPECT_EQ(std::string(ErrorText()).rfind("S3M: ", 0), 0u) << ErrorText();
    };
    rejects([](S3mModule& m) { m.channels = 0; });
    rejects([](S3mModule& m) { m.channels = 17; });
    rejects([](S3mModule& m) { m.orders.push_back(2); });
    rejects([](S3mModule& m) { m.orders.assign(255, 0); });
    rejects([](S3mModule& m) { m.patterns.resize(101); });
    rejects([](S3mModule& m) { m.samples[0].loopEnd = 1000; });
    rejects([](S3mModule& m) { m.samples[0].loopStart = m.samples[0].loopEnd; });
    rejects([](S3mModule& m) { m.samples[0].volume = 65; });
    rejects([](S3mModule& m) { m.patterns[1].rows[3][0].instrument = 2; });
    rejects([](S3mModule& m) { m.patterns[1].rows[3][0].note = S3mNote(4, 12); });
    rejects([](S3mModule& m) { m.patterns[0].rows[0][0].volume = 65; });
    EXPECT_TRUE(MakeTestModule(0, 1, 255).empty());
    EXPECT_TRUE(MakeTestModule(3, 0, 255).empty());
    EXPECT_NE(std::string(ErrorText()).find("speed 1..255"), std::string::npos) << ErrorText();
}

} // namespace
