#include "cli/play_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "cli/cli_failure.h"
#include "platform/platform_services.h"
#include "playback/playback_state.h"

namespace sonabank::cli {

namespace {

// Ctrl+C and the end of the sound both write a byte here: the signal handler
// and the player's thread may do no more, and the main thread waits on it.
int wakePipe[2] = {-1, -1};
constexpr char INTERRUPTED = 'i';
constexpr char ENDED = 'e';

void Wake(char why) {
    [[maybe_unused]] const ssize_t written = write(wakePipe[1], &why, 1);
}

void OnInterrupt(int) {
    const int savedErrno = errno;
    Wake(INTERRUPTED);
    errno = savedErrno;
}

// The pipe and the handler for the length of one playback.
class WakeGuard {
  public:
    WakeGuard() {
        if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw CliFailure(kIoFailure, "cannot watch for Ctrl+C");
        }
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~WakeGuard() {
        sigaction(SIGINT, &previous_, nullptr);
        close(wakePipe[0]);
        close(wakePipe[1]);
        wakePipe[0] = wakePipe[1] = -1;
    }
    WakeGuard(const WakeGuard&) = delete;
    WakeGuard& operator=(const WakeGuard&) = delete;

    // Blocks until a byte arrives; true when one of them was Ctrl+C.
    bool WaitInterrupted() const {
        pollfd watched{wakePipe[0], POLLIN, 0};
        while (poll(&watched, 1, -1) < 0 && errno == EINTR) {
        }
        bool interrupted = false;
        char bytes[16];
        for (ssize_t n; (n = read(wakePipe[0], bytes, sizeof bytes)) > 0;) {
            for (ssize_t i = 0; i < n; ++i) interrupted = interrupted || bytes[i] == INTERRUPTED;
        }
        return interrupted;
    }

  private:
    struct sigaction previous_ {};
};

}  // namespace

int PlayFragment(Project& project, int row) {
    // Destroyed after the player, whose thread may still write to the pipe
    // until Stop has returned.
    const WakeGuard guard;
    const auto player = MakeSoundPlayer();
    const auto ticks = MakeTickSource();
    player->onEnded = [] { Wake(ENDED); };
    Playback playback(*player, *ticks);

    playback.Press(project.image(), row, project.workspace());
    while (!playback.playerIdle()) {
        const bool interrupted = guard.WaitInterrupted();
        const SoundStatus status = player->Status();
        if (interrupted || status.state != SoundState::Playing) playback.Close();
        if (interrupted) return kInterrupted;
        if (status.state == SoundState::NoOutput) {
            throw CliFailure(kIoFailure, "no sound output: " + status.reason);
        }
    }
    return kSuccess;
}

}  // namespace sonabank::cli
