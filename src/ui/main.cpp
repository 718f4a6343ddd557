#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

#include "playback/qt_sound_player.h"
#include "playback/steady_tick_source.h"
#include "ui/main_form.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonabank"));

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
    return QApplication::exec();
}
