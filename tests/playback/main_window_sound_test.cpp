// The Play button of the real window with the real player, heard through the
// private sound server.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTableWidget>
#include <cstdlib>
#include <memory>

#include "event_loop_wait.h"
#include "platform/platform_services.h"
#include "support/monitor_recording.h"
#include "support/private_sound_server.h"
#include "support/temp_dir.h"
#include "support/tone_image.h"
#include "ui/fake_prompts.h"
#include "ui/main_form.h"

namespace sonabank {
namespace {

using test::MonitorRecording;
using test::Tone;

class MainWindowSoundTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "no private sound server; run scripts/test";
    }

    void Open(const std::vector<Tone>& tones) {
        window_ = std::make_unique<TMain>(*player_, *ticks_, prompts_);
        window_->image() = test::MakeToneImage(tones);
        window_->UpdateMessList();
        window_->show();
    }

    QAbstractButton* PlayButton() const { return window_->findChild<QAbstractButton*>("BB_Play"); }
    bool ShowsStop() const {
        return PlayButton()->icon().cacheKey() == window_->stopGlyph().cacheKey();
    }

    test::TempDir dir_;
    std::unique_ptr<SoundPlayer> player_ = MakeSoundPlayer();
    std::unique_ptr<TickSource> ticks_ = MakeTickSource();
    test::FakePrompts prompts_;
    std::unique_ptr<TMain> window_;
};

TEST_F(MainWindowSoundTest, PlayButtonSoundsEachFormatUntilTheTimerEndsIt) {
    // Long enough that the timer's stop, which can come a few tens of
    // milliseconds before the sound server has played the last samples,
    // stays within the tolerance.
    const std::vector<Tone> tones = {{SoundFormat::PCM_22050, 1500, 1.5},
                                     {SoundFormat::PCM_11025, 700, 1.5},
                                     {SoundFormat::ADPCM_11025, 1100, 1.5}};
    Open(tones);
    for (int row = 1; row <= static_cast<int>(tones.size()); ++row) {
        SCOPED_TRACE(testing::Message() << "row " << row);
        window_->Mess->selectRow(row - 1);
        MonitorRecording recording(dir_.file("heard.raw"));
        PlayButton()->click();
        EXPECT_TRUE(ShowsStop());
        EXPECT_TRUE(test::RunEventsUntil([&] { return window_->playback().playerIdle(); }, 3000));
        EXPECT_FALSE(ShowsStop());
        test::RunEventsFor(300);
        test::ExpectHeardTone(recording.Finish(), tones[row - 1].frequency,
                              tones[row - 1].seconds * 1000);
    }
    EXPECT_TRUE(prompts_.shown.empty());
}

// How a 3 s tone sounds when `cut` ends it about 300 ms after Play.
void ExpectCutShort(const std::vector<std::int16_t>& heard) {
    const test::SoundSpan sound = test::FindSound(heard);
    ASSERT_FALSE(sound.empty());
    EXPECT_GT(sound.lengthMs(), 150);
    EXPECT_LT(sound.lengthMs(), 600);
    EXPECT_GE((heard.size() - sound.end) * 1000.0 / test::RECORD_RATE, 400);
}

TEST_F(MainWindowSoundTest, StopButtonEndsTheSoundAtOnce) {
    Open({{SoundFormat::PCM_22050, 900, 3}});
    MonitorRecording recording(dir_.file("heard.raw"));
    PlayButton()->click();
    test::RunEventsFor(300);
    PlayButton()->click();
    EXPECT_TRUE(window_->playback().playerIdle());
    EXPECT_FALSE(ShowsStop());
    test::RunEventsFor(500);
    ExpectCutShort(recording.Finish());
}

TEST_F(MainWindowSoundTest, ClosingTheWindowEndsTheSound) {
    Open({{SoundFormat::ADPCM_11025, 900, 3}});
    MonitorRecording recording(dir_.file("heard.raw"));
    PlayButton()->click();
    test::RunEventsFor(300);
    EXPECT_TRUE(window_->close());
    EXPECT_TRUE(window_->playback().playerIdle());
    test::RunEventsFor(500);
    ExpectCutShort(recording.Finish());
    EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(MainWindowSoundTest, ServerDyingMidSoundLeavesTheWindowQuiet) {
    test::PrivateSoundServer server;
    Open({{SoundFormat::PCM_22050, 900, 1}});
    PlayButton()->click();
    test::RunEventsFor(300);
    server.Kill();
    // The timer still ends the playback, and the window says nothing.
    EXPECT_TRUE(test::RunEventsUntil([&] { return window_->playback().playerIdle(); }, 3000));
    EXPECT_FALSE(ShowsStop());
    EXPECT_EQ(player_->Status().state, SoundState::Idle);
    EXPECT_TRUE(prompts_.shown.empty());
}

}  // namespace
}  // namespace sonabank
