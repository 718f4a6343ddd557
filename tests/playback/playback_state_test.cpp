#include "playback/playback_state.h"

#include <gtest/gtest.h>

#include <string>

#include "fragment_fixture.h"
#include "playback/wav_render.h"
#include "support/fake_sound.h"

namespace sonabank {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

using test::FakeSoundPlayer;
using test::FakeTickSource;

// Row 1: PCM 22050 Hz, 22050 bytes, 1001 ms. Row 2: ADPCM, 1000 bytes, 184 ms.
class PlaybackTest : public testing::Test {
  protected:
    PlaybackTest() : playback(player, ticks) {
        InitImage(image);
        test::PlaceFragment(image, 0, 2, 5, 22050);
        test::PlaceFragment(image, 1, 0, 5 + static_cast<int>(pagesOf(22050)), 1000);
        playback.onGlyphChanged = [this](bool stop) { glyphs.push_back(stop ? "Stop" : "Play"); };
        playback.onTimerChanged = [this](bool on) { timer.push_back(on); };
    }

    void ExpectIdle() const {
        EXPECT_TRUE(playback.playerIdle());
        EXPECT_FALSE(playback.timerEnabled());
        EXPECT_FALSE(player.playing());
    }

    MemoryImage image;
    FakeSoundPlayer player;
    FakeTickSource ticks{1000};
    Playback playback;
    std::vector<std::string> glyphs;
    std::vector<bool> timer;
};

TEST_F(PlaybackTest, EmptyRowChangesNothing) {
    InitImage(image);
    playback.Press(image, 1, workspace);
    ExpectIdle();
    EXPECT_TRUE(player.played().empty());
    EXPECT_TRUE(glyphs.empty());
    EXPECT_TRUE(timer.empty());
}

TEST_F(PlaybackTest, StartsAndTheTimerStopsAtTheDeadline) {
    // Starting the player takes time; the deadline counts from after it.
    player.onPlay = [this] { ticks.Advance(7); };
    playback.Press(image, 1, workspace);

    ASSERT_EQ(player.played().size(), 1u);
    EXPECT_EQ(player.played()[0], RenderWave(image, 1, workspace));
    EXPECT_EQ(playback.playbackDeadline(), 1000u + 7 + 1001);
    EXPECT_FALSE(playback.playerIdle());
    EXPECT_TRUE(playback.timerEnabled());
    EXPECT_EQ(glyphs, std::vector<std::string>{"Stop"});
    EXPECT_EQ(timer, std::vector<bool>{true});

    image[DATA_OFFSET] ^= 0xFF;  // the player keeps its own copy
    ticks.Set(2007);
    playback.TimerTick();
    EXPECT_FALSE(playback.playerIdle());
    EXPECT_EQ(player.stopCount(), 0);

    ticks.Set(2008);
    playback.TimerTick();
    ExpectIdle();
    EXPECT_EQ(player.stopCount(), 1);
    EXPECT_TRUE(player.waveUntouchedUntilStop());
    EXPECT_EQ(glyphs, (std::vector<std::string>{"Stop", "Play"}));
    EXPECT_EQ(timer, (std::vector<bool>{true, false}));
}

TEST_F(PlaybackTest, PressWhilePlayingOnlyStopsEvenWithAnotherRowSelected) {
    playback.Press(image, 1, workspace);
    playback.Press(image, 2, workspace);
    ExpectIdle();
    EXPECT_EQ(player.played().size(), 1u);
    EXPECT_EQ(player.stopCount(), 1);
    EXPECT_EQ(glyphs, (std::vector<std::string>{"Stop", "Play"}));

    playback.Press(image, 2, workspace);
    ASSERT_EQ(player.played().size(), 2u);
    EXPECT_EQ(player.played()[1].size(), WAV_HEADER_SIZE + 2000);
    EXPECT_EQ(playback.playbackDeadline(), 1000u + 184);
}

TEST_F(PlaybackTest, CloseStopsTheSoundButLeavesTheGlyph) {
    playback.Press(image, 2, workspace);
    playback.Close();
    ExpectIdle();
    EXPECT_EQ(player.stopCount(), 1);
    EXPECT_TRUE(player.waveUntouchedUntilStop());
    EXPECT_EQ(glyphs, std::vector<std::string>{"Stop"});
    EXPECT_EQ(timer, (std::vector<bool>{true, false}));
}

TEST_F(PlaybackTest, CloseWhileIdleOnlyTurnsTheTimerOff) {
    playback.Close();
    ExpectIdle();
    EXPECT_EQ(player.stopCount(), 0);
    EXPECT_TRUE(glyphs.empty());
    EXPECT_EQ(timer, std::vector<bool>{false});
}

TEST_F(PlaybackTest, TimerTickWhileIdleStartsNothing) {
    playback.TimerTick();
    ExpectIdle();
    EXPECT_TRUE(player.played().empty());
    EXPECT_TRUE(glyphs.empty());
}

// The tick counter wraps every 49.7 days; a deadline past the wrap lies ahead
// of the ticks just before it.
struct WrapCase {
    const char* name;
    std::uint32_t start;
    std::uint32_t stillPlaying;
    std::uint32_t deadline;
};
void PrintTo(const WrapCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaybackWrap : public PlaybackTest, public testing::WithParamInterface<WrapCase> {};

TEST_P(PlaybackWrap, StopsAtTheDeadlineAndNotBefore) {
    const WrapCase& c = GetParam();
    ticks.Set(c.start);
    playback.Press(image, 1, workspace);  // 1001 ms
    EXPECT_EQ(playback.playbackDeadline(), c.deadline);

    for (std::uint32_t tick : {c.start, c.stillPlaying, c.deadline - 1}) {
        ticks.Set(tick);
        playback.TimerTick();
        EXPECT_FALSE(playback.playerIdle()) << "tick " << tick;
    }
    ticks.Set(c.deadline);
    playback.TimerTick();
    EXPECT_TRUE(playback.playerIdle());
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, PlaybackWrap,
    testing::Values(WrapCase{"DeadlinePastTheWrap", 0xFFFF'FF00u, 0xFFFF'FFFFu, 745},
                    WrapCase{"StartRightBeforeTheWrap", 0xFFFF'FFFFu, 0, 1000},
                    WrapCase{"AcrossTheSignBit", 0x7FFF'FF00u, 0x7FFF'FFFFu, 0x8000'02E9u}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaybackTest, LateTimerStillStops) {
    playback.Press(image, 1, workspace);
    ticks.Advance(60'000);
    playback.TimerTick();
    EXPECT_TRUE(playback.playerIdle());
}

}  // namespace
}  // namespace sonabank
