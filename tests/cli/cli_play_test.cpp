// End-to-end tests of `play`: heard through the private sound server that
// scripts/test starts, written by ALSA into a file, or without any output.

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "cli/run_program.h"
#include "playback/wav_render.h"
#include "support/monitor_recording.h"
#include "support/private_sound_server.h"
#include "support/tone_image.h"

namespace sonabank::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class CliPlayTest : public CliTest {
  protected:
    std::string ToneBank(const std::vector<Tone>& tones) {
        const MemoryImage image = MakeToneImage(tones);
        const std::string path = File("tones.bin");
        WriteFile(path, {image.data(), image.data() + image.size()});
        return path;
    }

    pid_t StartPlay(const std::string& bank, const std::string& number,
                    const std::string& errName = "stderr") {
        return StartProgram(SONABANK_CLI, {"play", bank, number}, "/dev/null", File(errName));
    }

    // Waits for the process; its ProgramResult::status and the time it took.
    static std::pair<int, long long> Reap(pid_t pid) {
        const auto start = Clock::now();
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        return {ExitStatus(status), MsSince(start)};
    }

    std::string Stderr(const std::string& errName = "stderr") const {
        const auto bytes = ReadFile(File(errName));
        return {bytes.begin(), bytes.end()};
    }
};

// Plays through the private server of scripts/test.
class CliPlayHeardTest : public CliPlayTest {
  protected:
    void SetUp() override {
        if (!std::getenv("PULSE_SERVER"))
            GTEST_SKIP() << "no private sound server; run scripts/test";
    }
};

TEST_F(CliPlayHeardTest, PlaysTheNumberedFragmentToItsEnd) {
    // Number 1 is the second fragment; the first would sound at 500 Hz.
    const std::string bank =
        ToneBank({{SoundFormat::PCM_11025, 500, 0.5}, {SoundFormat::ADPCM_11025, 1300, 1.5}});
    MonitorRecording recording(File("heard.raw"));
    const auto started = Clock::now();
    const ProgramResult played = Cli({"play", bank, "1"});
    // It returns once the sound has been heard, not before.
    EXPECT_GE(MsSince(started), 1500);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(played.out, "");
    EXPECT_EQ(played.err, "");
    ExpectHeardTone(recording.Finish(), 1300, 1500);
}

TEST_F(CliPlayHeardTest, CtrlCStopsTheSoundAndExits) {
    const std::string bank = ToneBank({{SoundFormat::PCM_22050, 800, 5}});
    MonitorRecording recording(File("heard.raw"));
    const pid_t pid = StartPlay(bank, "0");
    // Interrupted only once it sounds, so the handler is surely in place.
    const auto giveUp = Clock::now() + 4s;
    while (!recording.HasSound() && Clock::now() < giveUp) std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(200ms);
    kill(pid, SIGINT);
    const auto [status, exitMs] = Reap(pid);
    std::this_thread::sleep_for(500ms);

    EXPECT_EQ(status, 130);
    EXPECT_EQ(Stderr(), "");
    // Well before the 5 s the fragment lasts.
    EXPECT_LT(exitMs, 2000);
    const std::vector<std::int16_t> heard = recording.Finish();
    const SoundSpan sound = FindSound(heard);
    ASSERT_FALSE(sound.empty());
    EXPECT_LT(sound.lengthMs(), 2000);
    EXPECT_GE((heard.size() - sound.end) * 1000.0 / RECORD_RATE, 400);
}

TEST_F(CliPlayHeardTest, ServerDyingMidSoundIsReportedAtOnce) {
    PrivateSoundServer server;
    const std::string bank = ToneBank({{SoundFormat::PCM_22050, 800, 5}});
    MonitorRecording recording(File("heard.raw"));
    const pid_t pid = StartPlay(bank, "0");
    const auto giveUp = Clock::now() + 4s;
    while (!recording.HasSound() && Clock::now() < giveUp) std::this_thread::sleep_for(20ms);
    server.Kill();
    const auto [status, exitMs] = Reap(pid);

    EXPECT_EQ(status, 3);
    const std::string err = Stderr();
    EXPECT_EQ(err.rfind("no sound output: PulseAudio: ", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    // Long before the sound's end; the figure goes into the closing note.
    EXPECT_LT(exitMs, 1000);
    std::printf("exited %lld ms after the server's death\n", exitMs);
}

// 300 processes, half of them stopped by Ctrl+C 20 ms after their start, a
// few at a time: each ends by itself with 0, or with 130 when interrupted
// (by its handler, or by the signal itself when it came before the handler
// was in place), within seconds and with nothing on stderr.
TEST_F(CliPlayHeardTest, ManyShortPlaysEndCleanly) {
    const std::string bank = ToneBank({{SoundFormat::PCM_22050, 1000, 0.1}});
    constexpr int RUNS = 300;
    constexpr std::size_t AT_ONCE = 4;
    struct Run {
        pid_t pid;
        std::string errName;
        Clock::time_point started;
        bool interrupt;
        bool interrupted = false;
    };
    std::vector<Run> running;
    std::map<std::string, int> outcomes;
    for (int next = 0; next < RUNS || !running.empty();) {
        while (running.size() < AT_ONCE && next < RUNS) {
            const std::string errName = "stderr" + std::to_string(next);
            running.push_back(
                {StartPlay(bank, "0", errName), errName, Clock::now(), next % 2 == 1});
            ++next;
        }
        std::this_thread::sleep_for(1ms);
        std::erase_if(running, [&](Run& run) {
            if (run.interrupt && !run.interrupted && Clock::now() - run.started >= 20ms) {
                kill(run.pid, SIGINT);
                run.interrupted = true;
            }
            int wstatus = 0;
            if (waitpid(run.pid, &wstatus, WNOHANG) != run.pid) {
                if (Clock::now() - run.started < 10s) return false;
                kill(run.pid, SIGKILL);
                waitpid(run.pid, &wstatus, 0);
                ++outcomes["hung"];
                return true;
            }
            const int status = ExitStatus(wstatus);
            const bool expected = status == 0 || (run.interrupt && status == 130);
            ++outcomes[(run.interrupt ? "interrupted, status " : "status ") +
                       std::to_string(status)];
            EXPECT_TRUE(expected) << run.errName << ": status " << status;
            EXPECT_EQ(Stderr(run.errName), "") << run.errName;
            return true;
        });
    }
    for (const auto& [outcome, count] : outcomes) std::printf("%s: %d\n", outcome.c_str(), count);
    EXPECT_EQ(outcomes.count("hung"), 0u);
}

// Without a sound server: ALSA's default PCM, configured by the test.
class CliPlayWithoutServerTest : public CliPlayTest {
  protected:
    std::vector<std::string> WithoutServer(const std::string& alsaConfig) {
        return {"PULSE_SERVER=unix:" + File("no-server"), "ALSA_CONFIG_PATH=" + alsaConfig};
    }
};

TEST_F(CliPlayWithoutServerTest, AlsaDefaultDeviceGetsTheFragmentsSamples) {
    const std::vector<Tone> tones = {{SoundFormat::PCM_11025, 500, 0.2},
                                     {SoundFormat::ADPCM_11025, 900, 0.3}};
    const std::string bank = ToneBank(tones);
    const std::string written = File("written.raw");
    const std::string config = File("asound.conf");
    const std::string text = "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"" +
                             written + "\"\n  format \"raw\"\n}\n";
    WriteFile(config, {text.begin(), text.end()});

    const ProgramResult played = Cli({"play", bank, "1"}, WithoutServer(config));
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(played.err, "");
    const MemoryImage image = MakeToneImage(tones);
    CodecWorkspace workspace;
    const auto samples = FragmentSamples(image, 2, workspace);
    const std::vector<std::uint8_t> out = ReadFile(written);
    // The samples, then the device's padding of silence.
    ASSERT_GE(out.size(), samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), out.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + samples.size(), out.end(),
                            [](std::uint8_t s) { return s == 0x80; }));
}

TEST_F(CliPlayWithoutServerTest, NoOutputIsReportedAtOnce) {
    const std::string bank = ToneBank({{SoundFormat::PCM_22050, 800, 5}});
    // An ALSA configuration without a default device.
    const auto started = Clock::now();
    const ProgramResult played = Cli({"play", bank, "0"}, WithoutServer("/dev/null"));
    EXPECT_LT(MsSince(started), 2000);
    EXPECT_EQ(played.status, 3);
    EXPECT_EQ(played.out, "");
    EXPECT_EQ(played.err,
              "no sound output: PulseAudio: Connection refused; ALSA: No such file or directory\n");
}

}  // namespace
}  // namespace sonabank::test
