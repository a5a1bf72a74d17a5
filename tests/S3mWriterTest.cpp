// What the S3M writer refuses. What it writes is the data folder's test (the
// song's bytes) and the sound library's (the test modules' every sample).
#include "s3m/S3mWriter.h"

#include "common/Error.h"

#include <gtest/gtest.h>

namespace {

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
