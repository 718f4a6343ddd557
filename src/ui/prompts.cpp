#include "ui/prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <exception>

#include "io/byte_stream.h"

namespace sonabank {

namespace {

QString Caption() {
    return QStringLiteral("Sonabank");
}

QMessageBox::Icon ToBoxIcon(Prompts::Icon icon) {
    switch (icon) {
        case Prompts::Icon::Warning:
            return QMessageBox::Warning;
        case Prompts::Icon::Error:
            return QMessageBox::Critical;
        case Prompts::Icon::Question:
            break;
    }
    return QMessageBox::Question;
}

std::optional<QString> RunFileDialog(QWidget* parent, FileDialogSettings& settings,
                                     QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, settings.title);
    dialog.setAcceptMode(mode);
    // The open dialog takes typed names of files that do not exist: the
    // command itself reports them.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(settings.filter);
    dialog.setDefaultSuffix(settings.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !settings.confirmOverwrite);
    if (!settings.fileName.isEmpty()) dialog.selectFile(settings.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    settings.fileName = dialog.selectedFiles().constFirst();
    return settings.fileName;
}

}  // namespace

QString ProjectFilter() {
    return QCoreApplication::translate("Prompts", "Файлы проекта (*.bin);;Все файлы (*.*)");
}

QString RawFilter() {
    return QCoreApplication::translate("Prompts", "Файлы RAW (*.raw);;Все файлы (*.*)");
}

QString SoundFileFilter() {
    return QCoreApplication::translate(
        "Prompts",
        "Файлы RAW (*.raw);;Звуковые файлы (*.wav *.aif *.aiff *.flac *.ogg *.oga *.opus *.mp3 "
        "*.au *.caf);;Все файлы (*.*)");
}

void ShowRefusal(Prompts& prompts, QWidget* parent, Refusal refusal) {
    prompts.Message(
        parent, QString::fromUtf8(RefusalText(refusal)),
        RefusalIcon(refusal) == MessageIcon::Error ? Prompts::Icon::Error : Prompts::Icon::Warning);
}

bool ShowOutcome(Prompts& prompts, QWidget* parent, const Outcome& outcome) {
    if (outcome.refusal) ShowRefusal(prompts, parent, *outcome.refusal);
    if (outcome.ioError) {
        prompts.Message(parent, QString::fromStdString(outcome.ioText), Prompts::Icon::Error);
    }
    return outcome.ok();
}

bool RunGuarded(Prompts& prompts, QWidget* parent, const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const IoError& error) {
        prompts.Message(parent, QString::fromStdString(error.what()), Prompts::Icon::Error);
    } catch (const std::exception& error) {
        prompts.Message(parent, QString::fromLocal8Bit(error.what()), Prompts::Icon::Error);
    }
    return false;
}

void QtPrompts::Message(QWidget* parent, const QString& text, Icon icon) {
    QMessageBox box(ToBoxIcon(icon), Caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

Prompts::Answer QtPrompts::AskYesNoCancel(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, Caption(), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

bool QtPrompts::AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, Caption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::OpenFile(QWidget* parent, FileDialogSettings& settings) {
    return RunFileDialog(parent, settings, QFileDialog::AcceptOpen);
}

std::optional<QString> QtPrompts::SaveFile(QWidget* parent, FileDialogSettings& settings) {
    return RunFileDialog(parent, settings, QFileDialog::AcceptSave);
}

}  // namespace sonabank
