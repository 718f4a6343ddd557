// The main window as a desktop program meets it: a project named on the
// command line, files dropped on the window, and the keyboard.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "image/fragment_list.h"
#include "project/project_file.h"
#include "window_fixture.h"

namespace sonabank::test {
namespace {

using Answer = Prompts::Answer;
using Icon = Prompts::Icon;

class DesktopWindowTest : public WindowTest {
  protected:
    // A project of `fragments` fragments with the copyright "Acme", saved as `name`.
    QString Project(const std::string& name, int fragments = 2) {
        MemoryImage image;
        InitImage(image);
        PutFragments(image, fragments);
        const std::string path = dir.file(name);
        EXPECT_FALSE(SaveProject(path, image, "Acme"));
        return QString::fromStdString(path);
    }

    int FragmentCount() const { return ListFragments(window->image()).count(); }

    bool ImageIsFresh() const {
        MemoryImage fresh;
        InitImage(fresh);
        return window->image() == fresh;
    }

    // Drags `urls` onto the window and drops them there, as a file manager
    // would. True when the window took the drop (as a copy). The command it
    // starts runs from the event loop, after the drop has finished.
    bool Drop(const QList<QUrl>& urls, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint where(300, 200);
        QDragEnterEvent enter(where, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(where, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }

    bool DropFile(const QString& path) { return Drop({QUrl::fromLocalFile(path)}); }

    void ActivateWindow() {
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
};

// `sonabank FILE` hands FILE to the window once it is shown, as Open would.
TEST_F(DesktopWindowTest, ProjectNamedAtStartOpensOrIsRefusedOverAFreshImage) {
    const QString good = Project("good.bin");
    const QString readOnly = Project("read-only.bin");
    MakeReadOnly(readOnly.toStdString());
    const QString wrong = QString::fromStdString(dir.file("wrong.bin"));
    WriteFile(wrong.toStdString(), std::vector<std::uint8_t>(IMAGE_SIZE, 0x2A));

    struct Case {
        const char* what;
        QString path;
        QString message;  // empty: opened
    };
    const Case cases[] = {
        {"good", good, ""},
        {"missing", QString::fromStdString(dir.file("missing.bin")), "Невозможно открыть файл!"},
        {"read-only", readOnly, "Невозможно открыть файл!"},
        {"wrong", wrong, "Неверный формат файла!"},
    };
    for (const Case& c : cases) {
        Reopen();
        prompts.shown.clear();
        window->OpenProjectFile(c.path);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(prompts.shown.empty()) << c.what;
            EXPECT_EQ(window->projectFileName(), c.path) << c.what;
            EXPECT_EQ(FragmentCount(), 2) << c.what;
            EXPECT_EQ(window->Copyright->text(), "Acme") << c.what;
        } else {
            ASSERT_EQ(prompts.shown.size(), 1u) << c.what;
            EXPECT_EQ(prompts.shown[0].text, c.message) << c.what;
            EXPECT_EQ(prompts.shown[0].icon, Icon::Error) << c.what;
            EXPECT_TRUE(window->projectFileName().isEmpty()) << c.what;
            EXPECT_TRUE(ImageIsFresh()) << c.what;
            EXPECT_EQ(Cell(1, 0), "0") << c.what;
            EXPECT_FALSE(window->BTN_Change->isEnabled()) << c.what;
        }
        EXPECT_FALSE(window->project().modified()) << c.what;
    }
}

TEST_F(DesktopWindowTest, DroppedProjectOpensAfterTheSaveQuestion) {
    const QString project = Project("dropped.BIN", 3);

    // Unchanged: no question.
    ASSERT_TRUE(DropFile(project));
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(window->projectFileName(), project);
    EXPECT_EQ(FragmentCount(), 3);

    // Changed: Cancel keeps everything, No opens the file.
    window->TB_New->click();
    window->project().SetModified(true);
    prompts.answers = {Answer::Cancel, Answer::No};
    ASSERT_TRUE(DropFile(project));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.texts(), std::vector<QString>{"Сохранить проект?"});
    EXPECT_TRUE(window->project().modified());
    EXPECT_TRUE(ImageIsFresh());

    ASSERT_TRUE(DropFile(project));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.shown.size(), 2u);
    EXPECT_FALSE(window->project().modified());
    EXPECT_EQ(window->projectFileName(), project);
    EXPECT_EQ(FragmentCount(), 3);
}

TEST_F(DesktopWindowTest, DroppedWrongProjectIsRefusedAsOpenRefusesIt) {
    const QString wrong = QString::fromStdString(dir.file("notes.bin"));
    WriteFile(wrong.toStdString(), std::vector<std::uint8_t>(4000, 0));
    ASSERT_TRUE(DropFile(wrong));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.texts(), std::vector<QString>{"Неверный формат файла!"});
    EXPECT_TRUE(window->projectFileName().isEmpty());
    EXPECT_TRUE(ImageIsFresh());
}

TEST_F(DesktopWindowTest, DroppedRawFileOpensTheAddDialogWithItsName) {
    window->OpenProjectFile(Project("base.bin", 1));
    window->Mess->selectRow(0);
    const QString raw = RawFile("My Sound.raw", 600);

    ASSERT_TRUE(DropFile(raw));
    QString nameFile;
    QString description;
    const DialogOutcome outcome = WithDialog([] { QCoreApplication::processEvents(); },
                                             [&](TAddMsg& dialog) {
                                                 nameFile = dialog.NameFile->text();
                                                 description = dialog.Description->text();
                                                 dialog.Description->setText("Dropped");
                                                 dialog.BTN_OK->click();
                                             });
    ASSERT_TRUE(outcome.shown);
    EXPECT_FALSE(outcome.stayedOpen);
    EXPECT_TRUE(window->dialogAddMode);
    EXPECT_EQ(nameFile, raw);
    EXPECT_EQ(description, "");  // Add mode: no prefill from the selected fragment
    EXPECT_EQ(FragmentCount(), 2);
    EXPECT_EQ(Cell(2, 1).trimmed(), "Dropped");
    EXPECT_EQ(Cell(2, 2), "PCM 22050 Hz");
    EXPECT_TRUE(window->project().modified());
}

TEST_F(DesktopWindowTest, DroppedRawFileKeepsTheNinetyNineFragmentLimit) {
    window->OpenProjectFile(Project("full.bin", 99));
    ASSERT_TRUE(DropFile(RawFile("one-more.raw", 100)));
    const DialogOutcome outcome =
        WithDialog([] { QCoreApplication::processEvents(); }, [](TAddMsg&) {});
    EXPECT_FALSE(outcome.shown);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Больше нет места!");
    EXPECT_EQ(prompts.shown[0].icon, Icon::Warning);
    EXPECT_EQ(FragmentCount(), 99);
}

TEST_F(DesktopWindowTest, OnlyOneLocalFileCopiedIsTakenAsADrop) {
    const QString raw = RawFile("a.raw", 100);
    const QString other = RawFile("b.raw", 100);
    struct Case {
        const char* what;
        QList<QUrl> urls;
        Qt::DropActions actions;
    };
    const Case cases[] = {
        {"two files", {QUrl::fromLocalFile(raw), QUrl::fromLocalFile(other)}, Qt::CopyAction},
        {"a folder",
         {QUrl::fromLocalFile(QString::fromStdString(dir.path().string()))},
         Qt::CopyAction},
        {"a missing file",
         {QUrl::fromLocalFile(QString::fromStdString(dir.file("gone.raw")))},
         Qt::CopyAction},
        {"a web address", {QUrl("https://example.org/a.raw")}, Qt::CopyAction},
        {"move only", {QUrl::fromLocalFile(raw)}, Qt::MoveAction},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Drop(c.urls, c.actions)) << c.what;
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.what;
    }
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(ImageIsFresh());
}

// Each toolbar shortcut presses its button, whatever has the focus.
TEST_F(DesktopWindowTest, ToolbarShortcutsRunTheirCommands) {
    const QString project = Project("keys.bin", 1);
    ActivateWindow();
    window->OpenProjectFile(project);
    window->Copyright->setFocus();

    // Save writes the named file without a dialog; Save As asks for a name.
    std::filesystem::remove(project.toStdString());
    QTest::keyClick(window->Copyright, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(std::filesystem::exists(project.toStdString()));
    EXPECT_TRUE(prompts.dialogs.empty());

    window->Mess->setFocus();
    prompts.files = {std::nullopt};
    QTest::keyClick(window->Mess, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs.back().defaultSuffix, "bin");
    EXPECT_TRUE(prompts.dialogs.back().confirmOverwrite);

    // Export proposes the fragment's RAW name.
    prompts.files = {std::nullopt};
    QTest::keyClick(window->Mess, Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(prompts.dialogs.size(), 2u);
    EXPECT_EQ(prompts.dialogs.back().filter, RawFilter());
    EXPECT_FALSE(prompts.dialogs.back().fileName.isEmpty());

    // Open shows the open dialog.
    prompts.files = {std::nullopt};
    QTest::keyClick(window->Mess, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(prompts.dialogs.size(), 3u);
    EXPECT_TRUE(prompts.dialogs.back().defaultSuffix.isEmpty());

    // New empties the image and forgets the name.
    QTest::keyClick(window->Mess, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(ImageIsFresh());
    EXPECT_TRUE(window->projectFileName().isEmpty());

    // Quit closes the window, through the save question.
    window->project().SetModified(true);
    prompts.answers = {Answer::Cancel, Answer::No};
    QTest::keyClick(window->Mess, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window->Mess, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(prompts.texts(), (std::vector<QString>{"Сохранить проект?", "Сохранить проект?"}));
}

TEST_F(DesktopWindowTest, GridKeysDeleteChangeAndPlayTheSelectedFragment) {
    window->OpenProjectFile(Project("grid.bin", 3));
    ActivateWindow();
    window->Mess->setFocus();
    window->Mess->selectRow(1);

    // Delete asks first; No keeps the fragment, Yes deletes it.
    prompts.yesNo = {false, true};
    QTest::keyClick(window->Mess, Qt::Key_Delete);
    EXPECT_EQ(FragmentCount(), 3);
    EXPECT_FALSE(window->project().modified());
    QTest::keyClick(window->Mess, Qt::Key_Delete);
    EXPECT_EQ(FragmentCount(), 2);
    EXPECT_EQ(prompts.texts(), (std::vector<QString>{"Удалить фрагмент?", "Удалить фрагмент?"}));

    // Enter, on either key, changes the selected fragment.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        window->dialogAddMode = true;
        const DialogOutcome outcome = WithDialog([&] { QTest::keyClick(window->Mess, key); },
                                                 [](TAddMsg& dialog) { dialog.reject(); });
        EXPECT_TRUE(outcome.shown) << key;
        EXPECT_FALSE(window->dialogAddMode) << key;
    }

    // Space plays and stops.
    QTest::keyClick(window->Mess, Qt::Key_Space);
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(player.played().size(), 1u);
    QTest::keyClick(window->Mess, Qt::Key_Space);
    EXPECT_FALSE(player.playing());

    // Typed into the copyright box, the same keys are text.
    window->Copyright->setFocus();
    QTest::keyClick(window->Copyright, Qt::Key_Space);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(window->Copyright->text(), "Acme ");
}

TEST_F(DesktopWindowTest, GridKeysDoNothingOnAnEmptyImage) {
    ActivateWindow();
    window->Mess->setFocus();
    for (const Qt::Key key : {Qt::Key_Delete, Qt::Key_Return}) {
        const DialogOutcome outcome =
            WithDialog([&] { QTest::keyClick(window->Mess, key); }, [](TAddMsg&) {});
        EXPECT_FALSE(outcome.shown) << key;
    }
    EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace sonabank::test
