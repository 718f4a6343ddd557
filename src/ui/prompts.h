#pragma once

// Every message box and file dialog of the program goes through Prompts, so
// that tests can answer them from a script.

#include <QString>
#include <functional>
#include <optional>

#include "image/refusal.h"
#include "project/project.h"

class QWidget;

namespace sonabank {

// What a file dialog is told before it is shown; it keeps the chosen name, as
// the program's dialogs remember their last file between uses.
struct FileDialogSettings {
    QString title;  // empty: the platform's own
    QString filter;
    QString fileName;
    QString defaultSuffix;  // without the dot; empty: none
    bool confirmOverwrite = false;
};

// The filters the program's file dialogs use.
QString ProjectFilter();
QString RawFilter();
// The fragment dialog's: RAW files, audio files (told by their content, the
// extensions only narrow the list) and all files.
QString SoundFileFilter();

class Prompts {
  public:
    enum class Icon { Warning, Error, Question };
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompts() = default;

    // A box with one OK button.
    virtual void Message(QWidget* parent, const QString& text, Icon icon) = 0;
    // Yes, No and Cancel; Esc and the close button answer Cancel.
    virtual Answer AskYesNoCancel(QWidget* parent, const QString& text) = 0;
    // Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;

    // The chosen path, also kept in settings.fileName; nothing when cancelled.
    virtual std::optional<QString> OpenFile(QWidget* parent, FileDialogSettings& settings) = 0;
    virtual std::optional<QString> SaveFile(QWidget* parent, FileDialogSettings& settings) = 0;
};

// Message boxes captioned "Sonabank" and Qt's file dialogs.
class QtPrompts : public Prompts {
  public:
    void Message(QWidget* parent, const QString& text, Icon icon) override;
    Answer AskYesNoCancel(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    std::optional<QString> OpenFile(QWidget* parent, FileDialogSettings& settings) override;
    std::optional<QString> SaveFile(QWidget* parent, FileDialogSettings& settings) override;
};

// The refusal's own text with its icon.
void ShowRefusal(Prompts& prompts, QWidget* parent, Refusal refusal);

// A command's refusal or input/output error in its box; true when it had
// neither.
bool ShowOutcome(Prompts& prompts, QWidget* parent, const Outcome& outcome);

// Runs a command of a window. An input/output error (or any other exception)
// ends the command and is shown in an error box; nothing leaves the handler.
// False when the command ended that way.
bool RunGuarded(Prompts& prompts, QWidget* parent, const std::function<void()>& command);

// A slot that runs `handler` of `window` as RunGuarded runs a command.
template <typename Window>
auto GuardedSlot(Prompts& prompts, Window* window, void (Window::*handler)()) {
    return
        [&prompts, window, handler] { RunGuarded(prompts, window, [&] { (window->*handler)(); }); };
}

}  // namespace sonabank
