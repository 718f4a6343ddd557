#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

#include "support/temp_dir.h"
#include "ui/prompts.h"

namespace sonabank {
namespace {

// Runs `prompt` with `act` applied to the modal box or dialog it shows, and
// gives back what `prompt` returns. The box is closed after `act` even when a
// check in it failed, so a failure cannot leave the prompt waiting; a prompt
// that returns without showing a box of that kind fails the test.
template <typename Modal, typename Prompt>
auto OnModal(const std::function<void(Modal&)>& act, Prompt&& prompt) {
    bool ran = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* shown = QApplication::activeModalWidget();
        auto* modal = qobject_cast<Modal*>(shown);
        if (modal) {
            ran = true;
            act(*modal);
        }
        if (auto* dialog = qobject_cast<QDialog*>(shown); dialog && dialog->isVisible()) {
            dialog->done(QDialog::Rejected);
        }
    });
    timer.start(0);
    struct RanCheck {
        const bool& ran;
        ~RanCheck() {
            EXPECT_TRUE(ran) << "the prompt showed no " << Modal::staticMetaObject.className();
        }
    } check{ran};
    return prompt();
}

TEST(QtPrompts, BoxesAreCaptionedSonabankWithTheirIcons) {
    QtPrompts prompts;
    const struct {
        Prompts::Icon icon;
        QMessageBox::Icon boxIcon;
    } cases[] = {{Prompts::Icon::Error, QMessageBox::Critical},
                 {Prompts::Icon::Warning, QMessageBox::Warning}};
    for (const auto& c : cases) {
        OnModal<QMessageBox>(
            [&](QMessageBox& box) {
                EXPECT_EQ(box.windowTitle(), "Sonabank");
                EXPECT_EQ(box.text(), "Файл слишком велик!");
                EXPECT_EQ(box.icon(), c.boxIcon);
                EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
                box.button(QMessageBox::Ok)->click();
            },
            [&] { prompts.Message(nullptr, "Файл слишком велик!", c.icon); });
    }

    using Answer = Prompts::Answer;
    const struct {
        QMessageBox::StandardButton press;  // NoButton: Esc
        Answer answer;
    } answers[] = {{QMessageBox::Yes, Answer::Yes},
                   {QMessageBox::No, Answer::No},
                   {QMessageBox::Cancel, Answer::Cancel},
                   {QMessageBox::NoButton, Answer::Cancel}};
    for (const auto& a : answers) {
        const Answer answer = OnModal<QMessageBox>(
            [&](QMessageBox& box) {
                EXPECT_EQ(box.windowTitle(), "Sonabank");
                EXPECT_EQ(box.icon(), QMessageBox::Question);
                if (a.press == QMessageBox::NoButton) {
                    QTest::keyClick(&box, Qt::Key_Escape);
                } else {
                    box.button(a.press)->click();
                }
            },
            [&] { return prompts.AskYesNoCancel(nullptr, "Сохранить проект?"); });
        EXPECT_EQ(answer, a.answer);
    }

    EXPECT_TRUE(OnModal<QMessageBox>(
        [](QMessageBox& box) {
            EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
            box.button(QMessageBox::Yes)->click();
        },
        [&] { return prompts.AskYesNo(nullptr, "Удалить фрагмент?"); }));
}

TEST(QtPrompts, FileDialogsTakeTheirSettings) {
    QtPrompts prompts;
    FileDialogSettings save{"", ProjectFilter(), "old.bin", "bin", true};
    EXPECT_FALSE(OnModal<QFileDialog>(
        [](QFileDialog& dialog) {
            EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(dialog.nameFilters(),
                      QStringList({"Файлы проекта (*.bin)", "Все файлы (*.*)"}));
            EXPECT_EQ(dialog.defaultSuffix(), "bin");
            EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
            dialog.reject();
        },
        [&] { return prompts.SaveFile(nullptr, save); }));
    EXPECT_EQ(save.fileName, "old.bin");

    test::TempDir dir;
    const QString missing = QString::fromStdString(dir.file("missing.raw"));
    FileDialogSettings open{"Открытие файла", RawFilter(), "", "", false};
    const std::optional<QString> opened = OnModal<QFileDialog>(
        [&](QFileDialog& dialog) {
            EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
            EXPECT_EQ(dialog.windowTitle(), "Открытие файла");
            EXPECT_EQ(dialog.nameFilters(), QStringList({"Файлы RAW (*.raw)", "Все файлы (*.*)"}));
            // A typed name of a file that does not exist passes.
            dialog.selectFile(missing);
            QMetaObject::invokeMethod(&dialog, "accept");
        },
        [&] { return prompts.OpenFile(nullptr, open); });
    EXPECT_EQ(opened, missing);
    EXPECT_EQ(open.fileName, missing);
}

}  // namespace
}  // namespace sonabank
