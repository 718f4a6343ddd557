#include "support/private_sound_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace sonabank::test {

PrivateSoundServer::PrivateSoundServer() {
    const std::string socket = dir_.file("native");
    // The sink comes first, so that the socket exists only once a stream has
    // somewhere to go.
    std::vector<std::string> args = {
        "pulseaudio",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "-n",
        "--realtime=no",
        "--high-priority=no",
        "--disable-shm=yes",
        "--use-pid-file=no",
        "--load=module-null-sink sink_name=test_null rate=44100 channels=2 norewinds=1",
        "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
        "--log-target=file:" + dir_.file("pulse.log")};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "pulseaudio", nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start pulseaudio");
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(socket)) {
        if (std::chrono::steady_clock::now() > giveUp) {
            Kill();
            throw std::runtime_error("pulseaudio did not start, see " + dir_.file("pulse.log"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (const char* previous = std::getenv("PULSE_SERVER")) {
        hadPreviousServer_ = true;
        previousServer_ = previous;
    }
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
}

PrivateSoundServer::~PrivateSoundServer() {
    Kill();
    if (hadPreviousServer_) {
        setenv("PULSE_SERVER", previousServer_.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
}

void PrivateSoundServer::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace sonabank::test
