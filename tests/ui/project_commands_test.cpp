#include <filesystem>

#include "image/fragment_list.h"
#include "support/fault_injector.h"
#include "window_fixture.h"

namespace sonabank::test {
namespace {

using Answer = Prompts::Answer;
using Icon = Prompts::Icon;

class ProjectTest : public WindowTest {
  protected:
    // A project of one fragment, saved as `name`, with the given copyright.
    QString SavedProject(const std::string& name, const QString& copyright = "Acme") {
        Add({RawFile(name + ".raw", 700), "RB_PCM_22050", "RB_8bit", "Saved"});
        window->Copyright->setText(copyright);
        const QString path = QString::fromStdString(dir.file(name));
        prompts.files.push_back(path);
        window->TB_SaveAsClick();
        return path;
    }

    // A changed, untitled project of one fragment.
    void ChangedProject() {
        Add({RawFile("changed.raw", 100), "RB_PCM_22050", "RB_8bit", "Changed"});
        ASSERT_TRUE(window->project().modified());
    }
};

TEST_F(ProjectTest, SaveAsThenSaveWriteTheWholeImage) {
    const QString path = SavedProject("one.bin", "Acme Ltd");
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].filter, "Файлы проекта (*.bin);;Все файлы (*.*)");
    EXPECT_EQ(prompts.dialogs[0].fileName, "");
    EXPECT_EQ(prompts.dialogs[0].defaultSuffix, "bin");
    EXPECT_TRUE(prompts.dialogs[0].confirmOverwrite);
    EXPECT_EQ(window->projectFileName(), path);
    EXPECT_FALSE(window->project().modified());
    auto saved = ReadFile(path.toStdString());
    ASSERT_EQ(saved.size(), IMAGE_SIZE);
    EXPECT_EQ(std::string(saved.begin() + 500, saved.begin() + 528),
              "Acme Ltd" + std::string(20, ' '));

    // Save goes to the same name without a dialog.
    window->Copyright->setText("Other");
    window->project().SetModified(true);
    window->TB_Save->click();
    EXPECT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_FALSE(window->project().modified());
    saved = ReadFile(path.toStdString());
    EXPECT_EQ(std::string(saved.begin() + 500, saved.begin() + 505), "Other");

    // Save As starts with an empty name, even after an export proposed one.
    prompts.files = {QString::fromStdString(dir.file("x.raw"))};
    window->TB_ExportClick();
    prompts.files = {std::nullopt};
    window->TB_SaveAs->click();
    EXPECT_EQ(prompts.dialogs.back().fileName, "");
    EXPECT_EQ(window->projectFileName(), path);
}

TEST_F(ProjectTest, SavingOverAReadOnlyFileIsRefused) {
    const QString path = SavedProject("locked.bin");
    MakeReadOnly(path.toStdString());
    window->project().SetModified(true);
    for (auto* command : {window->TB_Save, window->TB_SaveAs}) {
        prompts.shown.clear();
        prompts.files = {path};
        command->click();
        ASSERT_EQ(prompts.texts(), std::vector<QString>{"Невозможно создать файл!"});
        EXPECT_EQ(prompts.shown[0].icon, Icon::Error);
        EXPECT_TRUE(window->project().modified());
        EXPECT_EQ(window->projectFileName(), path);
    }
}

TEST_F(ProjectTest, ExportNeverWritesOverTheProjectFile) {
    const QString path = SavedProject("one.bin");
    const auto saved = ReadFile(path.toStdString());
    std::filesystem::create_symlink(path.toStdString(), dir.file("link.bin"));
    for (const QString& target : {path, QString::fromStdString(dir.file("link.bin"))}) {
        prompts.shown.clear();
        prompts.files = {target};
        window->TB_Export->click();
        EXPECT_EQ(prompts.texts(), std::vector<QString>{"Это файл проекта: экспорт его затёр бы!"});
        EXPECT_EQ(ReadFile(path.toStdString()), saved);
    }
}

TEST_F(ProjectTest, SaveAsksBeforeWritingOverAnotherProgramsChange) {
    const QString path = SavedProject("shared.bin");
    // Another program, such as the command-line tool, saves the file meanwhile.
    auto other = std::get<Project>(Project::FromFile(path.toStdString()));
    other.Describe(1, "Theirs");
    ASSERT_TRUE(other.Save().ok());
    const auto theirs = ReadFile(path.toStdString());

    const QString question =
        "Файл проекта изменён другой программой. Записать поверх её изменений?";
    window->project().SetModified(true);
    prompts.yesNo = {false};
    window->TB_Save->click();
    EXPECT_EQ(prompts.texts(), std::vector<QString>{question});
    EXPECT_EQ(ReadFile(path.toStdString()), theirs);
    EXPECT_TRUE(window->project().modified());

    prompts.yesNo = {true};
    window->TB_Save->click();
    EXPECT_NE(ReadFile(path.toStdString()), theirs);
    EXPECT_FALSE(window->project().modified());

    // The window's own save is no other program's.
    prompts.shown.clear();
    window->project().SetModified(true);
    window->TB_Save->click();
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ProjectTest, OpenShowsTheProjectOrRefusesTheFile) {
    const QString good = SavedProject("good.bin", "Stored  ");
    std::vector<std::uint8_t> bytes = ReadFile(good.toStdString());

    auto longer = bytes;
    longer.resize(IMAGE_SIZE + 100, 0x55);
    WriteFile(dir.file("longer.bin"), longer);
    auto lowerMagic = bytes;
    lowerMagic[MAGIC_OFFSET + 1] = 'f';
    WriteFile(dir.file("magic.bin"), lowerMagic);
    WriteFile(dir.file("short.bin"), std::vector<std::uint8_t>(2632, 0));
    WriteFile(dir.file("cut.bin"), std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 1));
    WriteFile(dir.file("locked.bin"), bytes);
    MakeReadOnly(dir.file("locked.bin"));

    const struct {
        const char* file;
        QString message;
    } refused[] = {
        {"magic.bin", "Неверный формат файла!"},     {"short.bin", "Read beyond end of file."},
        {"cut.bin", "Read beyond end of file."},     {"locked.bin", "Невозможно открыть файл!"},
        {"missing.bin", "Невозможно открыть файл!"},
    };
    window->project().SetModified(false);
    window->TB_NewClick();
    Add({RawFile("mine.raw", 50), "RB_PCM_22050", "RB_8bit", "Mine"});
    window->project().SetModified(false);
    const MemoryImage before = window->image();
    for (const auto& c : refused) {
        prompts.shown.clear();
        prompts.files = {QString::fromStdString(dir.file(c.file))};
        window->TB_Open->click();
        SCOPED_TRACE(c.file);
        ASSERT_EQ(prompts.texts(), std::vector<QString>{c.message});
        EXPECT_EQ(prompts.shown[0].icon, Icon::Error);
        EXPECT_TRUE(window->image() == before);
        EXPECT_EQ(Cell(1, 1).trimmed(), "Mine");
        EXPECT_TRUE(window->projectFileName().isEmpty());
    }

    prompts.shown.clear();
    prompts.files = {QString::fromStdString(dir.file("longer.bin"))};
    window->TB_Open->click();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(prompts.dialogs.back().fileName, "");
    EXPECT_EQ(prompts.dialogs.back().filter, ProjectFilter());
    EXPECT_EQ(window->projectFileName(), QString::fromStdString(dir.file("longer.bin")));
    EXPECT_EQ(Cell(1, 1).trimmed(), "Saved");
    EXPECT_EQ(window->Copyright->text(), "Stored");
    EXPECT_FALSE(window->project().modified());
}

// Every command that would drop changes asks first; Cancel, and a Yes whose
// save did not happen, stop it.
TEST_F(ProjectTest, TheSaveQuestionGuardsNewOpenAndClosing) {
    enum class Command { New, Open, Close };
    enum class Reply { Cancel, No, YesSaved, YesDialogCancelled, YesSaveRefused, YesWriteFailed };
    const struct {
        Reply reply;
        bool goesOn;
    } replies[] = {{Reply::Cancel, false},         {Reply::No, true},
                   {Reply::YesSaved, true},        {Reply::YesDialogCancelled, false},
                   {Reply::YesSaveRefused, false}, {Reply::YesWriteFailed, false}};
    const std::string locked = dir.file("locked.bin");
    WriteFile(locked, {});
    MakeReadOnly(locked);

    for (Command command : {Command::New, Command::Open, Command::Close}) {
        for (const auto& r : replies) {
            SCOPED_TRACE(static_cast<int>(command) * 10 + static_cast<int>(r.reply));
            Reopen();
            prompts = FakePrompts();
            ChangedProject();
            switch (r.reply) {
                case Reply::Cancel:
                    prompts.answers = {Answer::Cancel};
                    break;
                case Reply::No:
                    prompts.answers = {Answer::No};
                    break;
                case Reply::YesSaved:
                    prompts.answers = {Answer::Yes};
                    prompts.files = {QString::fromStdString(dir.file("saved.bin"))};
                    break;
                case Reply::YesDialogCancelled:
                    prompts.answers = {Answer::Yes};
                    prompts.files = {std::nullopt};
                    break;
                case Reply::YesSaveRefused:
                    window->project().SetFileName(locked);
                    prompts.answers = {Answer::Yes};
                    break;
                case Reply::YesWriteFailed:
                    window->project().SetFileName(dir.file("saved.bin"));
                    prompts.answers = {Answer::Yes};
                    break;
            }
            std::optional<FaultInjector> fault;
            if (r.reply == Reply::YesWriteFailed) {
                fault.emplace(FileOp::Write, 1, FaultAction::Short);
            }
            // Open's own dialog is cancelled once it comes.
            if (command == Command::Open && r.goesOn) prompts.files.push_back(std::nullopt);
            // The save dialog of an untitled project comes before Open's own.
            const std::size_t dialogsBefore =
                r.reply == Reply::YesSaved || r.reply == Reply::YesDialogCancelled ? 1 : 0;

            bool wentOn = false;
            switch (command) {
                case Command::New:
                    window->TB_New->click();
                    wentOn = window->Mess->rowCount() == 1 && Cell(1, 1).isEmpty();
                    break;
                case Command::Open:
                    window->TB_Open->click();
                    wentOn = prompts.dialogs.size() > dialogsBefore;
                    break;
                case Command::Close:
                    window->TB_Exit->click();
                    wentOn = !window->isVisible();
                    break;
            }
            fault.reset();
            EXPECT_EQ(prompts.shown.front().text, "Сохранить проект?");
            if (r.reply == Reply::YesWriteFailed) {
                EXPECT_EQ(prompts.shown.back().text, "Disk full.");
            }
            EXPECT_EQ(prompts.shown.front().icon, Icon::Question);
            EXPECT_EQ(wentOn, r.goesOn);
            EXPECT_TRUE(prompts.answers.empty());
            EXPECT_TRUE(prompts.files.empty());
            if (!r.goesOn) {
                EXPECT_TRUE(window->project().modified());
                EXPECT_EQ(Cell(1, 1).trimmed(), "Changed");
            }
        }
    }
}

TEST_F(ProjectTest, NewAndClosingAskNothingWithoutChanges) {
    ChangedProject();
    prompts.answers = {Answer::No};
    window->TB_New->click();
    EXPECT_FALSE(window->project().modified());
    EXPECT_TRUE(window->projectFileName().isEmpty());
    EXPECT_EQ(window->StatusPanel0->text(), "Занято памяти: 0%");
    EXPECT_FALSE(window->BTN_Change->isEnabled());

    prompts.shown.clear();
    window->TB_New->click();
    window->TB_Exit->click();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ProjectTest, NoKeepsTheProjectMarkedAfterACancelledOpen) {
    ChangedProject();
    prompts.answers = {Answer::No, Answer::Cancel};
    prompts.files = {std::nullopt};
    window->TB_Open->click();
    EXPECT_TRUE(window->project().modified());
    window->TB_New->click();
    EXPECT_EQ(prompts.texts(), (std::vector<QString>{"Сохранить проект?", "Сохранить проект?"}));
    EXPECT_EQ(Cell(1, 1).trimmed(), "Changed");
}

}  // namespace
}  // namespace sonabank::test
