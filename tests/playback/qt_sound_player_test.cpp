#include "playback/qt_sound_player.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "event_loop_wait.h"
#include "playback/wav_render.h"
#include "support/monitor_recording.h"
#include "support/temp_dir.h"
#include "support/tone_image.h"

namespace sonabank {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

using test::MonitorRecording;
using test::Tone;

class QtSoundPlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "no private sound server; run scripts/test";
    }

    test::TempDir dir_;
};

TEST_F(QtSoundPlayerTest, EachFormatSoundsAsItsFragment) {
    const std::vector<Tone> tones = {{SoundFormat::PCM_22050, 1500, 0.8},
                                     {SoundFormat::PCM_11025, 700, 0.8},
                                     {SoundFormat::ADPCM_11025, 1100, 0.8}};
    const MemoryImage image = test::MakeToneImage(tones);
    QtSoundPlayer player;
    for (int row = 1; row <= static_cast<int>(tones.size()); ++row) {
        SCOPED_TRACE(testing::Message() << "row " << row);
        const std::vector<std::uint8_t> wave = RenderWave(image, row, workspace);
        MonitorRecording recording(dir_.file("heard.raw"));
        player.Play(wave);
        test::RunEventsFor(static_cast<int>(tones[row - 1].seconds * 1000) + 500);
        player.Stop();
        test::ExpectHeardTone(recording.Finish(), tones[row - 1].frequency,
                              tones[row - 1].seconds * 1000);
    }
}

TEST_F(QtSoundPlayerTest, StopSilencesAtOnceAndLetsGoOfTheImage) {
    const MemoryImage image = test::MakeToneImage({{SoundFormat::PCM_22050, 900, 3}});
    auto wave = std::make_unique<std::vector<std::uint8_t>>(RenderWave(image, 1, workspace));
    QtSoundPlayer player;
    MonitorRecording recording(dir_.file("heard.raw"));
    player.Play(*wave);
    test::RunEventsFor(300);
    player.Stop();
    // Were the sink still reading, this would come out as a loud offset, and
    // the released memory would show under AddressSanitizer.
    std::fill(wave->begin() + WAV_HEADER_SIZE, wave->end(), 0);
    test::RunEventsFor(100);
    wave.reset();
    test::RunEventsFor(400);
    const std::vector<std::int16_t> heard = recording.Finish();
    const test::SoundSpan sound = test::FindSound(heard);
    ASSERT_FALSE(sound.empty());
    EXPECT_GT(sound.lengthMs(), 150);
    EXPECT_LT(sound.lengthMs(), 600);
    EXPECT_GE((heard.size() - sound.end) * 1000.0 / test::RECORD_RATE, 400);
}

}  // namespace
}  // namespace sonabank
