// Spoken prompts played through the private sound server of scripts/test:
// every one is heard from its first to its last sound.

#include <chrono>
#include <cstdlib>
#include <thread>

#include "cli/run_program.h"
#include "cli/spoken_prompts.h"
#include "support/monitor_recording.h"

namespace sonabank::test {
namespace {

class CliSpeechPlay : public CliTest {
  protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "no private sound server; run scripts/test";
    }
};

TEST_F(CliSpeechPlay, EveryPromptIsHeardWhole) {
    const std::string image = SayAllPrompts(*this);
    for (std::size_t i = 0; i < kSpokenPrompts.size(); ++i) {
        SCOPED_TRACE(std::string(kSpokenPrompts[i].voice) + " " + kSpokenPrompts[i].format);
        const PlayedFragment fragment = FragmentAsPlayed(*this, image, static_cast<int>(i));
        const SoundSpan stored = FindSound(fragment.samples);
        ASSERT_FALSE(stored.empty());
        const double storedMs = (stored.end - stored.begin) * 1000.0 / fragment.rate;

        MonitorRecording recording(File("heard.raw"));
        const ProgramResult played = Cli({"play", image, std::to_string(i)});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(played.status, 0) << played.err;
        const SoundSpan heard = FindSound(recording.Finish());
        ASSERT_FALSE(heard.empty()) << "nothing was heard";
        // Cut at either end, the heard span would be shorter by what is missing;
        // within 3 %, the rule the tone tests hear playback by.
        EXPECT_NEAR(heard.lengthMs(), storedMs, storedMs * 0.03);
    }
}

}  // namespace
}  // namespace sonabank::test
