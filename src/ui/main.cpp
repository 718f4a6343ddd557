#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <cstdio>

#include "playback/qt_sound_player.h"
#include "playback/steady_tick_source.h"
#include "ui/main_form.h"
#include "version.h"

namespace {

// For scripts/bench, which measures the time from the program's start to its
// first painted window: with SONABANK_FIRST_PAINT_EXIT set, the program prints
// "first-paint-ns" and the wall-clock time in nanoseconds since the epoch once
// the window has been painted, and quits.
class FirstPaintProbe : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Queued behind the rest of the paint, so the whole window is drawn.
            QTimer::singleShot(0, [] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::printf("first-paint-ns %lld\n",
                            static_cast<long long>(
                                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

  private:
    bool seen_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    FirstPaintProbe firstPaintProbe;
    if (qEnvironmentVariableIsSet("SONABANK_FIRST_PAINT_EXIT")) {
        app.installEventFilter(&firstPaintProbe);
    }
    QApplication::setApplicationName(QStringLiteral("Sonabank"));
    QApplication::setApplicationVersion(QStringLiteral(SONABANK_VERSION));

    // `sonabank FILE`, as the desktop entry and file managers start it.
    QCommandLineParser arguments;
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QStringLiteral("FILE"),
                                    QStringLiteral("Project file (*.bin) to open at start"),
                                    QStringLiteral("[FILE]"));
    arguments.process(app);

    // Qt's own buttons and dialogs (Yes, No, Cancel, the file dialogs) speak
    // Russian like the rest of the program.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    sonabank::QtSoundPlayer player;
    sonabank::SteadyTickSource ticks;
    sonabank::QtPrompts prompts;
    sonabank::TMain window(player, ticks, prompts);
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    if (!arguments.positionalArguments().isEmpty()) {
        const QString file = QFileInfo(arguments.positionalArguments().front()).absoluteFilePath();
        // Once the window is on screen, so that a refusal shows over it.
        QTimer::singleShot(0, &window, [&window, file] { window.OpenProjectFile(file); });
    }
    return QApplication::exec();
}
