// The window's file commands with a failure walked over every step of the
// file layer: Save, Save As, Open, the fragment dialog's import, Export, and
// the save that the unsaved-changes question starts. After each failure the
// user has seen the error, and the image, projectModified, projectFileName,
// the copyright box and the files on disk are as they were.

#include <filesystem>
#include <set>

#include "image/fragment_list.h"
#include "playback/wav_render.h"
#include "project/project_file.h"
#include "support/fault_injector.h"
#include "ui/name_file.h"
#include "window_fixture.h"

namespace fs = std::filesystem;

namespace sonabank::test {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

using Answer = Prompts::Answer;
using Icon = Prompts::Icon;
using Bytes = std::vector<std::uint8_t>;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// What the window keeps of a project.
struct WindowState {
    MemoryImage image;
    bool projectModified = false;
    QString projectFileName;
    QString copyright;
    int rows = 0;
    int selected = 0;
    bool operator==(const WindowState&) const = default;
};

// The files of a folder with their contents.
using Folder = std::map<std::string, Bytes>;

Folder FolderOf(const fs::path& dir) {
    Folder files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        files[entry.path().filename()] = ReadFile(entry.path().string());
    }
    return files;
}

class FaultInjectionUi : public WindowTest {
  protected:
    WindowState State() const {
        return {window->image(),           window->project().modified(),  window->projectFileName(),
                window->Copyright->text(), window->Mess->rowCount(), window->SelectedRow()};
    }

    // Puts the window and the folder back as they were, so that every step
    // of a walk starts alike.
    void Restore(const WindowState& state, const Folder& folder) {
        window->image() = state.image;
        window->UpdateMessList();
        window->Mess->selectRow(state.selected - 1);
        window->project().SetModified(state.projectModified);
        window->project().SetFileName(PathForCore(state.projectFileName));
        window->Copyright->setText(state.copyright);
        for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
        for (const auto& [name, bytes] : folder) WriteFile(dir.file(name), bytes);
        prompts.shown.clear();
        prompts.answers.clear();
        prompts.files.clear();
    }

    // A titled project of two fragments, ADPCM then PCM, saved as bank.bin;
    // modified afterwards when `modified`.
    void TitledProject(bool modified) {
        Add({RawFile("one.raw", 1500), "RB_ADPCM", "RB_8bit", "One"});
        Add({RawFile("two.raw", 700, 9), "RB_PCM_11025", "RB_8bit", "Two"});
        window->Copyright->setText("Acme");
        prompts.files.push_back(path("bank.bin"));
        window->TB_SaveAs->click();
        ASSERT_TRUE(prompts.shown.empty());
        ASSERT_EQ(window->projectFileName(), path("bank.bin"));
        if (modified) {
            Add({RawFile("three.raw", 300), "RB_PCM_22050", "RB_8bit", "Three"});
            window->Copyright->setText("Acme 2");
            ASSERT_TRUE(window->project().modified());
        }
    }

    QString path(const std::string& name) const { return QString::fromStdString(dir.file(name)); }

    // Runs `command` for every fault of every walk, each time from the same
    // start after `prepare`, and hands the outcome to `check`. When the
    // command failed, the window is as it was and, unless `writesInPlace`,
    // so is every file.
    void WalkCommand(
        const std::function<void()>& command,
        const std::function<void(const FaultInjector&, FaultAction)>& check,
        const std::function<void()>& prepare = [] {}, bool writesInPlace = false) {
        const WindowState start = State();
        const Folder folder = FolderOf(dir.path());
        for (const FaultWalk& walk : kFaultWalks) {
            WalkFaults(walk.kind, walk.action, [&](const FaultInjector& fault) {
                Restore(start, folder);
                prepare();
                command();
                SCOPED_TRACE(DescribeFault(fault));
                check(fault, walk.action);
                if (fault.fired() && !prompts.texts().empty() &&
                    prompts.shown.back().text ==
                        Text(FaultMessage(*fault.firedOn(), walk.action))) {
                    // Failed: nothing changed, on screen or on disk.
                    EXPECT_EQ(prompts.shown.back().icon, Icon::Error);
                    EXPECT_TRUE(State() == start);
                    if (!writesInPlace) {
                        EXPECT_TRUE(FolderOf(dir.path()) == folder) << "the files on disk changed";
                    }
                }
            });
        }
    }

    // Whether the command ended in the error the fault stands for.
    bool FailedWith(const FaultInjector& fault, FaultAction action,
                    std::vector<QString> before = {}) const {
        before.push_back(Text(FaultMessage(*fault.firedOn(), action)));
        return prompts.texts() == before;
    }
};

TEST_F(FaultInjectionUi, SaveAndSaveAsChangeNothingWhenTheFileLayerFails) {
    TitledProject(true);
    const struct {
        const char* name;
        QToolButton* button;
        bool titled;
        QString answer;  // the save dialog's answer; empty: no dialog
        QString target;
    } cases[] = {
        {"Save", window->TB_Save, true, {}, path("bank.bin")},
        {"Save As over the project", window->TB_SaveAs, true, path("bank.bin"), path("bank.bin")},
        {"Save As under a new name", window->TB_SaveAs, true, path("new.bin"), path("new.bin")},
        {"Save of an untitled project", window->TB_Save, false, path("new.bin"), path("new.bin")},
    };
    const WindowState initial = State();
    const Folder files = FolderOf(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Restore(initial, files);
        if (!c.titled) window->project().SetFileName("");
        WalkCommand([&] { c.button->click(); },
                    [&](const FaultInjector& fault, FaultAction action) {
                        if (fault.fired()) {
                            EXPECT_TRUE(FailedWith(fault, action));
                            return;
                        }
                        EXPECT_TRUE(prompts.shown.empty());
                        EXPECT_FALSE(window->project().modified());
                        EXPECT_EQ(window->projectFileName(), c.target);
                        const Bytes saved = ReadFile(c.target.toStdString());
                        EXPECT_TRUE(std::ranges::equal(saved, window->image().bytes()));
                        EXPECT_EQ(std::string(saved.begin() + COPYRIGHT_OFFSET,
                                              saved.begin() + COPYRIGHT_OFFSET + 6),
                                  "Acme 2");
                    },
                    [&] {
                        if (!c.answer.isEmpty()) prompts.files.push_back(c.answer);
                    });
    }
}

TEST_F(FaultInjectionUi, OpenChangesNothingWhenTheFileLayerFails) {
    // Another project on disk; the window holds unsaved changes the user
    // chose not to keep only if the open succeeds.
    MemoryImage stored;
    InitImage(stored);
    PutFragments(stored, 3);
    ASSERT_EQ(SaveProject(dir.file("other.bin"), stored, "Other"), std::nullopt);
    WritePaddedText(CopyrightField(stored), COPYRIGHT_WIDTH - 1, "Other");
    TitledProject(true);

    WalkCommand([&] { window->TB_Open->click(); },
                [&](const FaultInjector& fault, FaultAction action) {
                    if (fault.fired()) {
                        EXPECT_TRUE(FailedWith(fault, action, {"Сохранить проект?"}));
                        return;
                    }
                    EXPECT_EQ(prompts.texts(), std::vector<QString>{"Сохранить проект?"});
                    EXPECT_TRUE(window->image() == stored);
                    EXPECT_EQ(window->projectFileName(), path("other.bin"));
                    EXPECT_FALSE(window->project().modified());
                    EXPECT_EQ(window->Copyright->text(), "Other");
                    EXPECT_EQ(window->Mess->rowCount(), 3);
                },
                [&] {
                    prompts.answers.push_back(Answer::No);
                    prompts.files.push_back(path("other.bin"));
                });
}

TEST_F(FaultInjectionUi, AFailedImportKeepsTheDialogOpenAndTheProjectAsItWas) {
    TitledProject(false);
    ASSERT_FALSE(window->project().modified());
    // Five blocks of 16-bit samples for ADPCM and a few bytes more.
    const QString source = RawFile("source.raw", 5 * 2112 + 3);
    const struct {
        const char* name;
        QPushButton* button;
        DialogMode mode;
        int row;
    } cases[] = {
        {"Add", window->BTN_Add, DialogMode::Add, 3},
        {"Change of the first of two", window->BTN_Change, DialogMode::Change, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->Mess->selectRow(c.row == 1 ? 0 : 1);
        Project stored;
        stored.image() = window->image();
        const RawFragment fragment{PathForCore(source), SourceWidth::Bits16,
                                   SoundFormat::ADPCM_11025, "Bell"};
        ASSERT_TRUE((c.mode == DialogMode::Add ? stored.Add(fragment)
                                               : stored.Change(window->SelectedRow(), fragment))
                        .ok());
        const MemoryImage expected = stored.image();

        DialogOutcome outcome;
        WalkCommand(
            [&] {
                outcome =
                    WithDialog([&] { c.button->click(); },
                               [&](TAddMsg& dialog) {
                                   FillAndPressOk(dialog, {source, "RB_ADPCM", "RB_16bit", "Bell"});
                               });
            },
            [&](const FaultInjector& fault, FaultAction action) {
                ASSERT_TRUE(outcome.shown);
                // A short read is followed by another read for the rest of the block.
                if (fault.fired() && action == FaultAction::Fail) {
                    EXPECT_TRUE(FailedWith(fault, action));
                    EXPECT_TRUE(outcome.stayedOpen);
                    return;
                }
                EXPECT_TRUE(prompts.shown.empty());
                EXPECT_FALSE(outcome.stayedOpen);
                EXPECT_TRUE(window->image() == expected);
                EXPECT_TRUE(window->project().modified());
                EXPECT_EQ(window->projectFileName(), path("bank.bin"));
            });
    }
}

TEST_F(FaultInjectionUi, ExportTellsOfEveryFailureAndLeavesTheProjectAlone) {
    TitledProject(true);
    for (const int row : {1, 2}) {
        SCOPED_TRACE("row " + std::to_string(row));
        window->Mess->selectRow(row - 1);
        const auto samples = FragmentSamples(window->image(), row, workspace);
        const Bytes expected(samples.begin(), samples.end());
        WalkCommand(
            [&] { window->TB_Export->click(); },
            [&](const FaultInjector& fault, FaultAction action) {
                EXPECT_EQ(window->SFD.filter, ProjectFilter());
                if (fault.fired()) {
                    EXPECT_EQ(prompts.texts(),
                              std::vector<QString>{Text(FaultMessage(*fault.firedOn(), action))});
                    EXPECT_EQ(prompts.shown.back().icon, Icon::Error);
                    // The export writes in place: the part written stays.
                    const Bytes written = ReadFile(dir.file("out.raw"));
                    EXPECT_TRUE(written.size() < expected.size() ||
                                *fault.firedOn() == FileOp::Close);
                    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
                    return;
                }
                EXPECT_TRUE(prompts.shown.empty());
                EXPECT_TRUE(ReadFile(dir.file("out.raw")) == expected);
                EXPECT_TRUE(window->project().modified());
                EXPECT_EQ(window->projectFileName(), path("bank.bin"));
            },
            [&] {
                prompts.files.push_back(path("out.raw"));
                WriteFile(dir.file("out.raw"), {});
            },
            true);
    }
}

// Yes in the unsaved-changes question saves first; a save that fails stops
// New and the closing of the window, so the changes are not lost.
TEST_F(FaultInjectionUi, AFailedSaveInTheQuestionStopsNewAndClosing) {
    TitledProject(true);
    const struct {
        const char* name;
        std::function<void()> command;
        std::function<bool()> wentOn;
    } cases[] = {
        {"New", [&] { window->TB_New->click(); },
         [&] { return ListFragments(window->image()).count() == 0; }},
        {"closing", [&] { window->close(); }, [&] { return !window->isVisible(); }},
    };
    const WindowState initial = State();
    const Folder files = FolderOf(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Restore(initial, files);
        WalkCommand(
            c.command,
            [&](const FaultInjector& fault, FaultAction action) {
                if (fault.fired()) {
                    EXPECT_TRUE(FailedWith(fault, action, {"Сохранить проект?"}));
                    EXPECT_FALSE(c.wentOn());
                    return;
                }
                EXPECT_EQ(prompts.texts(), std::vector<QString>{"Сохранить проект?"});
                EXPECT_TRUE(c.wentOn());
                EXPECT_FALSE(window->project().modified());
            },
            [&] {
                window->show();
                prompts.answers.push_back(Answer::Yes);
            });
    }
}

}  // namespace
}  // namespace sonabank::test
