#include "fake_prompts.h"

#include <gtest/gtest.h>

namespace sonabank::test {

void FakePrompts::Message(QWidget*, const QString& text, Icon icon) {
    shown.push_back({text, icon});
}

Prompts::Answer FakePrompts::AskYesNoCancel(QWidget*, const QString& text) {
    shown.push_back({text, Icon::Question});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return Answer::Cancel;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

bool FakePrompts::AskYesNo(QWidget*, const QString& text) {
    shown.push_back({text, Icon::Question});
    if (yesNo.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool yes = yesNo.front();
    yesNo.pop_front();
    return yes;
}

std::optional<QString> FakePrompts::OpenFile(QWidget*, FileDialogSettings& settings) {
    return NextFile(settings);
}

std::optional<QString> FakePrompts::SaveFile(QWidget*, FileDialogSettings& settings) {
    return NextFile(settings);
}

std::optional<QString> FakePrompts::NextFile(FileDialogSettings& settings) {
    dialogs.push_back(settings);
    if (files.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return std::nullopt;
    }
    const std::optional<QString> file = files.front();
    files.pop_front();
    if (file) settings.fileName = *file;
    return file;
}

std::vector<QString> FakePrompts::texts() const {
    std::vector<QString> result;
    for (const Shown& s : shown) result.push_back(s.text);
    return result;
}

}  // namespace sonabank::test
