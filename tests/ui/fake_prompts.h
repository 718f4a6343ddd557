#pragma once

// Prompts that answer from a script and remember what they were asked, so
// that widget tests never block in a modal box.

#include <deque>
#include <optional>
#include <vector>

#include "ui/prompts.h"

namespace sonabank::test {

class FakePrompts : public Prompts {
  public:
    struct Shown {
        QString text;
        Icon icon;
    };

    // Every box and question, in order (questions with Icon::Question).
    std::vector<Shown> shown;
    // Settings of every file dialog as it was shown.
    std::vector<FileDialogSettings> dialogs;

    // Scripted answers, taken from the front; a missing answer fails the test
    // and cancels.
    std::deque<Answer> answers;
    std::deque<bool> yesNo;
    std::deque<std::optional<QString>> files;

    void Message(QWidget* parent, const QString& text, Icon icon) override;
    Answer AskYesNoCancel(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    std::optional<QString> OpenFile(QWidget* parent, FileDialogSettings& settings) override;
    std::optional<QString> SaveFile(QWidget* parent, FileDialogSettings& settings) override;

    // The texts shown, in order.
    std::vector<QString> texts() const;

  private:
    std::optional<QString> NextFile(FileDialogSettings& settings);
};

}  // namespace sonabank::test
