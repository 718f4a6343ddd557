// End-to-end tests of `play`, heard through the private sound server that
// scripts/test starts.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "cli/run_program.h"
#include "support/monitor_recording.h"
#include "support/tone_image.h"

extern char** environ;

namespace sonabank::test {
namespace {

class CliPlayTest : public CliTest {
  protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "no private sound server; run scripts/test";
    }

    std::string ToneBank(const std::vector<Tone>& tones) {
        const MemoryImage image = MakeToneImage(tones);
        const std::string path = File("tones.bin");
        WriteFile(path, {image.data(), image.data() + image.size()});
        return path;
    }
};

TEST_F(CliPlayTest, PlaysTheNumberedFragmentToItsEnd) {
    // Number 1 is the second fragment; the first would sound at 500 Hz.
    const std::string bank =
        ToneBank({{SoundFormat::PCM_11025, 500, 0.5}, {SoundFormat::ADPCM_11025, 1300, 1.5}});
    MonitorRecording recording(File("heard.raw"));
    const ProgramResult played = Cli({"play", bank, "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(played.out, "");
    ExpectHeardTone(recording.Finish(), 1300, 1500);
}

TEST_F(CliPlayTest, CtrlCStopsTheSoundAndExits) {
    const std::string bank = ToneBank({{SoundFormat::PCM_22050, 800, 5}});
    MonitorRecording recording(File("heard.raw"));

    const std::string cli = SONABANK_CLI;
    std::vector<std::string> args = {cli, "play", bank, "0"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    // Interrupted only once it sounds, so the handler is surely in place.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (!recording.HasSound() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(pid, SIGINT);
    const auto signalled = std::chrono::steady_clock::now();
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const auto exitMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - signalled);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    // Well before the 5 s the fragment lasts.
    EXPECT_LT(exitMs.count(), 2000);
    const std::vector<std::int16_t> heard = recording.Finish();
    const SoundSpan sound = FindSound(heard);
    ASSERT_FALSE(sound.empty());
    EXPECT_LT(sound.lengthMs(), 2000);
    EXPECT_GE((heard.size() - sound.end) * 1000.0 / RECORD_RATE, 400);
}

}  // namespace
}  // namespace sonabank::test
