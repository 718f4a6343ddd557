// Playing on a machine without any sound output: no PulseAudio server and no
// ALSA device. The player says so at once and nothing else does; the window
// stays quiet and its timer still ends the playback. The sound libraries read
// their configuration once per process, hence a program of its own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <chrono>
#include <cstdio>

#include "event_loop_wait.h"
#include "platform/platform_services.h"
#include "playback/wav_render.h"
#include "support/temp_dir.h"
#include "support/tone_image.h"
#include "ui/fake_prompts.h"
#include "ui/main_form.h"

namespace sonabank {
namespace {

// Everything written to stderr while it lives goes to a file instead.
class StderrCapture {
  public:
    StderrCapture() : saved_(dup(STDERR_FILENO)) {
        std::fflush(stderr);
        std::freopen(dir_.file("stderr").c_str(), "w", stderr);
    }
    ~StderrCapture() { Restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    std::string Finish() {
        Restore();
        const auto bytes = test::ReadFile(dir_.file("stderr"));
        return {bytes.begin(), bytes.end()};
    }

  private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }

    test::TempDir dir_;
    int saved_;
};

TEST(SoundWithoutOutputTest, PlayerReportsNoOutputAtOnceAndQuietly) {
    CodecWorkspace workspace;
    const std::vector<std::uint8_t> wave =
        RenderWave(test::MakeToneImage({{SoundFormat::PCM_11025, 700, 3}}), 1, workspace);
    const auto player = MakeSoundPlayer();
    StderrCapture err;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto started = std::chrono::steady_clock::now();
        player->Play(wave);
        EXPECT_TRUE(test::RunEventsUntil(
            [&] { return player->Status().state != SoundState::Playing; }, 2000));
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
        const SoundStatus status = player->Status();
        EXPECT_EQ(status.state, SoundState::NoOutput);
        EXPECT_EQ(status.reason.rfind("PulseAudio: ", 0), 0u) << status.reason;
        EXPECT_NE(status.reason.find("; ALSA: "), std::string::npos) << status.reason;
        player->Stop();
        EXPECT_EQ(player->Status().state, SoundState::Idle);
    }
    EXPECT_EQ(err.Finish(), "");
}

TEST(SoundWithoutOutputTest, WindowPlaysSilentlyAndTheTimerStillEndsIt) {
    const auto player = MakeSoundPlayer();
    const auto ticks = MakeTickSource();
    test::FakePrompts prompts;
    TMain window(*player, *ticks, prompts);
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
    // A server address where nothing listens (libpulse starts no server of
    // its own when one is named), and an ALSA configuration without devices.
    setenv("PULSE_SERVER", "unix:/nonexistent/sonabank-no-sound-server", 1);
    setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
