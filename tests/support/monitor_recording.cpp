#include "support/monitor_recording.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace sonabank::test {

namespace {

// Enough recorded silence before the first sound to tell it is silence.
constexpr std::uintmax_t LEAD_IN_BYTES = RECORD_RATE / 10 * sizeof(std::int16_t);

void Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

MonitorRecording::MonitorRecording(std::string rawPath) : path_(std::move(rawPath)) {
    // Without a short latency parec loses its buffered tail when stopped.
    std::vector<std::string> args = {
        "parec",          "-d",           "test_null.monitor", "--latency-msec=20",
        "--format=s16le", "--rate=44100", "--channels=1",      "--raw"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int rc = posix_spawnp(&pid_, "parec", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start parec");
    }

    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::error_code ec;
    while (std::filesystem::file_size(path_, ec) < LEAD_IN_BYTES || ec) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("parec ended before recording");
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            throw std::runtime_error("parec records nothing");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

MonitorRecording::~MonitorRecording() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        Reap(pid_);
    }
}

std::vector<std::int16_t> MonitorRecording::Finish() {
    if (pid_ > 0) {
        kill(pid_, SIGINT);
        Reap(pid_);
        pid_ = -1;
    }
    return Samples();
}

bool MonitorRecording::HasSound() const {
    return !FindSound(Samples()).empty();
}

std::vector<std::int16_t> MonitorRecording::Samples() const {
    const std::vector<std::uint8_t> bytes = ReadFile(path_);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return samples;
}

SoundSpan FindSound(std::span<const std::int16_t> samples) {
    auto loud = [](std::int16_t s) { return std::abs(s) >= SOUND_THRESHOLD; };
    SoundSpan span;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (loud(samples[i])) {
            if (span.empty()) span.begin = i;
            span.end = i + 1;
        }
    }
    return span;
}

double DominantFrequency(std::span<const std::int16_t> samples) {
    std::size_t crossings = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    bool below = false;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (samples[i] <= -SOUND_THRESHOLD) {
            below = true;
        } else if (below && samples[i] >= SOUND_THRESHOLD) {
            below = false;
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * static_cast<double>(RECORD_RATE) / static_cast<double>(last - first);
}

double LongestQuietMs(std::span<const std::int16_t> samples) {
    std::size_t longest = 0;
    std::size_t run = 0;
    for (std::int16_t s : samples) {
        run = std::abs(s) >= SOUND_THRESHOLD ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest * 1000.0 / RECORD_RATE;
}

void ExpectHeardTone(std::span<const std::int16_t> samples, double frequency, double lengthMs) {
    const SoundSpan sound = FindSound(samples);
    ASSERT_FALSE(sound.empty()) << "nothing was heard";
    const double afterMs = (samples.size() - sound.end) * 1000.0 / RECORD_RATE;
    EXPECT_GE(sound.beginMs(), 50) << "no silence before the sound";
    EXPECT_GE(afterMs, 100) << "no silence after the sound";
    EXPECT_NEAR(sound.lengthMs(), lengthMs, lengthMs * 0.03);
    const auto heard = samples.subspan(sound.begin, sound.end - sound.begin);
    EXPECT_NEAR(DominantFrequency(heard), frequency, frequency * 0.02);
    EXPECT_LT(LongestQuietMs(heard), 5) << "the sound has a gap";
}

}  // namespace sonabank::test
