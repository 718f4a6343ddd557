#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/temp_dir.h"
#include "ui/prompts.h"

namespace sonabank {
namespace {

// Runs `act` on the modal box or dialog that `open` shows.
template <typename Modal>
void OnModal(const std::function<void(Modal&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* modal = qobject_cast<Modal*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        act(*modal);
    });
}

TEST(QtPrompts, BoxesAreCaptionedSonabankWithTheirIcons) {
    QtPrompts prompts;
    const struct {
        Prompts::Icon icon;
        QMessageBox::Icon boxIcon;
    } cases[] = {{Prompts::Icon::Error, QMessageBox::Critical},
                 {Prompts::Icon::Warning, QMessageBox::Warning}};
    for (const auto& c : cases) {
        OnModal<QMessageBox>([&](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), "Sonabank");
            EXPECT_EQ(box.text(), "Файл слишком велик!");
            EXPECT_EQ(box.icon(), c.boxIcon);
            EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
            box.button(QMessageBox::Ok)->click();
        });
        prompts.Message(nullptr, "Файл слишком велик!", c.icon);
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
        OnModal<QMessageBox>([&](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), "Sonabank");
            EXPECT_EQ(box.icon(), QMessageBox::Question);
            if (a.press == QMessageBox::NoButton) {
                QTest::keyClick(&box, Qt::Key_Escape);
            } else {
                box.button(a.press)->click();
            }
        });
        EXPECT_EQ(prompts.AskYesNoCancel(nullptr, "Сохранить проект?"), a.answer);
    }

    OnModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(prompts.AskYesNo(nullptr, "Удалить фрагмент?"));
}

TEST(QtPrompts, FileDialogsTakeTheirSettings) {
    QtPrompts prompts;
    FileDialogSettings save{"", ProjectFilter(), "old.bin", "bin", true};
    OnModal<QFileDialog>([](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.nameFilters(), QStringList({"Файлы проекта (*.bin)", "Все файлы (*.*)"}));
        EXPECT_EQ(dialog.defaultSuffix(), "bin");
        EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        dialog.reject();
    });
    EXPECT_FALSE(prompts.SaveFile(nullptr, save));
    EXPECT_EQ(save.fileName, "old.bin");

    test::TempDir dir;
    const QString missing = QString::fromStdString(dir.file("missing.raw"));
    FileDialogSettings open{"Открытие файла", RawFilter(), "", "", false};
    OnModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.windowTitle(), "Открытие файла");
        EXPECT_EQ(dialog.nameFilters(), QStringList({"Файлы RAW (*.raw)", "Все файлы (*.*)"}));
        // A typed name of a file that does not exist passes.
        dialog.selectFile(missing);
        QMetaObject::invokeMethod(&dialog, "accept");
    });
    EXPECT_EQ(prompts.OpenFile(nullptr, open), missing);
    EXPECT_EQ(open.fileName, missing);
}

}  // namespace
}  // namespace sonabank
