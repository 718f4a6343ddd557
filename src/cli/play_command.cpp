#include "cli/play_command.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "cli/cli_failure.h"
#include "playback/playback_state.h"
#include "playback/qt_sound_player.h"
#include "playback/steady_tick_source.h"

namespace sonabank::cli {

namespace {

// The signal handler only writes a byte; the event loop reads it and stops
// the sound, which a handler must not do itself.
int interruptPipe[2] = {-1, -1};

void OnInterrupt(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(interruptPipe[1], &byte, 1);
}

// The pipe and the handler for the length of one playback.
class InterruptGuard {
  public:
    InterruptGuard() {
        if (pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw CliFailure(kIoFailure, "cannot watch for Ctrl+C");
        }
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &previous_, nullptr);
        close(interruptPipe[0]);
        close(interruptPipe[1]);
        interruptPipe[0] = interruptPipe[1] = -1;
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    int readEnd() const { return interruptPipe[0]; }

  private:
    struct sigaction previous_ {};
};

// The window's timer interval: the deadline is noticed as late as there.
constexpr int TIMER_INTERVAL_MS = 100;

}  // namespace

int PlayFragment(Project& project, int row) {
    int argc = 1;
    char name[] = "sonabank-cli";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    QtSoundPlayer player;
    SteadyTickSource ticks;
    Playback playback(player, ticks);
    QTimer timer;
    timer.setInterval(TIMER_INTERVAL_MS);
    playback.onTimerChanged = [&timer](bool enabled) {
        if (enabled) {
            timer.start();
        } else {
            timer.stop();
        }
    };
    QObject::connect(&timer, &QTimer::timeout, [&] {
        playback.TimerTick();
        if (playback.playerIdle()) QCoreApplication::quit();
    });

    InterruptGuard guard;
    bool interrupted = false;
    QSocketNotifier notifier(guard.readEnd(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        interrupted = true;
        playback.Close();
        QCoreApplication::quit();
    });

    playback.Press(project.image(), row, project.workspace());
    if (!playback.playerIdle()) QCoreApplication::exec();
    return interrupted ? kInterrupted : kSuccess;
}

}  // namespace sonabank::cli
