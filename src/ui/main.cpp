#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/platform_services.h"
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

// For tests/ui/keyboard_test.sh, which drives the program with real key and
// mouse events and has to learn what they did. With SONABANK_STATE_PROBE=FILE
// the key F12 is the test's: the program appends to FILE the line
//   WINDOW/WIDGET ROWS
// naming the keyboard focus (object names, or class names where a widget has
// none; "-" for none) and the grid's selected rows (grid rows, 1 for the first
// fragment, separated by commas; "-" for none). Keys reach the program in the
// order they were sent, so the line shows the state after all keys before it.
class StateProbe : public QObject {
  public:
    StateProbe(const QString& path, const QTableWidget& grid) : file_(path), grid_(grid) {
        file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_F12) {
            return false;
        }
        QByteArrayList rows;
        for (const QModelIndex& row : grid_.selectionModel()->selectedRows()) {
            rows << QByteArray::number(row.row() + 1);
        }
        file_.write(Path(QApplication::focusWidget()) + ' ' +
                    (rows.isEmpty() ? QByteArray("-") : rows.join(',')) + '\n');
        file_.flush();
        return true;
    }

  private:
    static QByteArray Name(const QObject* object) {
        return object->objectName().isEmpty() ? QByteArray(object->metaObject()->className())
                                              : object->objectName().toUtf8();
    }
    static QByteArray Path(const QWidget* widget) {
        return widget ? Name(widget->window()) + '/' + Name(widget) : QByteArray("-");
    }

    QFile file_;
    const QTableWidget& grid_;
};

int RunProgram(int argc, char* argv[]) {
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

    const auto player = sonabank::MakeSoundPlayer();
    const auto ticks = sonabank::MakeTickSource();
    sonabank::QtPrompts prompts;
    sonabank::TMain window(*player, *ticks, prompts);
    std::unique_ptr<StateProbe> stateProbe;
    if (qEnvironmentVariableIsSet("SONABANK_STATE_PROBE")) {
        stateProbe = std::make_unique<StateProbe>(qEnvironmentVariable("SONABANK_STATE_PROBE"),
                                                  *window.Mess);
        app.installEventFilter(stateProbe.get());
    }
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    if (!arguments.positionalArguments().isEmpty()) {
        const QString file = QFileInfo(arguments.positionalArguments().front()).absoluteFilePath();
        // Once the window is on screen, so that a refusal shows over it.
        QTimer::singleShot(0, &window, [&window, file] {
            window.Guarded([&] { window.OpenProjectFile(file); });
        });
    }
    return QApplication::exec();
}

}  // namespace

// Every handler catches what its command throws; this is for the rest (no
// memory for the window, a failure while starting), which still ends with a
// message rather than an abort.
int main(int argc, char* argv[]) {
    try {
        return RunProgram(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sonabank: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "sonabank: unexpected failure\n");
    }
    return 1;
}
