// Playing on a machine without a sound server: nothing is heard, nothing is
// reported, and nothing breaks. The sound library connects once per process,
// hence a program of its own.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTableWidget>
#include <cstdlib>

#include "event_loop_wait.h"
#include "playback/qt_sound_player.h"
#include "playback/steady_tick_source.h"
#include "playback/wav_render.h"
#include "support/tone_image.h"
#include "ui/fake_prompts.h"
#include "ui/main_form.h"

namespace sonabank {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

TEST(SoundWithoutServerTest, PlayAndStopAreHarmless) {
    const MemoryImage image = test::MakeToneImage({{SoundFormat::PCM_11025, 700, 0.3}});
    const std::vector<std::uint8_t> wave = RenderWave(image, 1, workspace);
    QtSoundPlayer player;
    player.Play(wave);
    test::RunEventsFor(100);
    player.Stop();
    // Stopping again, as the window's close does after the timer's stop.
    player.Stop();
    player.Play(wave);
    test::RunEventsFor(500);
    player.Stop();
}

TEST(SoundWithoutServerTest, WindowPlaysSilentlyAndTheTimerStillEndsIt) {
    QtSoundPlayer player;
    SteadyTickSource ticks;
    test::FakePrompts prompts;
    TMain window(player, ticks, prompts);
    window.image() = test::MakeToneImage({{SoundFormat::PCM_22050, 900, 0.4}});
    window.UpdateMessList();
    window.show();
    auto* play = window.findChild<QAbstractButton*>("BB_Play");
    auto showsStop = [&] { return play->icon().cacheKey() == window.stopGlyph().cacheKey(); };

    play->click();
    EXPECT_FALSE(window.playback().playerIdle());
    EXPECT_TRUE(showsStop());
    EXPECT_TRUE(test::RunEventsUntil([&] { return window.playback().playerIdle(); }, 2000));
    EXPECT_FALSE(showsStop());

    play->click();
    test::RunEventsFor(100);
    play->click();
    EXPECT_TRUE(window.playback().playerIdle());
    EXPECT_FALSE(showsStop());
    EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace sonabank

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // A server address where nothing listens; libpulse does not start a
    // server of its own when one is named.
    setenv("PULSE_SERVER", "unix:/nonexistent/sonabank-no-sound-server", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
