#include <QGroupBox>
#include <QTest>

#include "image/fragment_list.h"
#include "support/audio_tools.h"
#include "window_fixture.h"

namespace sonabank::test {
namespace {

class DialogTest : public ::testing::Test {
  protected:
    DialogTest() { InitImage(image); }

    std::unique_ptr<TAddMsg> Open(DialogMode mode, int row = 1) {
        auto dialog = std::make_unique<TAddMsg>(project, mode, row, prompts);
        dialog->show();
        return dialog;
    }

    void SetDescription(int slot, const std::string& cp1251) {
        WritePaddedText(DescriptionField(image, slot), DESCRIPTION_WIDTH - 1, cp1251);
    }

    Project project;
    MemoryImage& image = project.image();
    FakePrompts prompts;
};

TEST_F(DialogTest, ControlsHaveTheirNamesPlacesAndDefaults) {
    PutFragments(image, 1);
    for (DialogMode mode : {DialogMode::Add, DialogMode::Change}) {
        auto dialog = Open(mode);
        EXPECT_EQ(dialog->windowTitle(), "Добавить звуковой фрагмент");
        EXPECT_EQ(dialog->size(), QSize(443, 155));
        ExpectControls(*dialog, {
                                    {"GroupBox1", {8, 8, 209, 137}, "Имя звукового файла"},
                                    {"NameFile", {8, 24, 185, 21}, ""},
                                    {"RB_PCM_22050", {16, 56, 97, 17}, "PCM 22050 Hz"},
                                    {"RB_PCM_11025", {16, 80, 97, 17}, "PCM 11025 Hz"},
                                    {"RB_ADPCM", {16, 104, 113, 17}, "ADPCM 11025 Hz"},
                                    {"Bevel1", {128, 48, 9, 81}, ""},
                                    {"Panel1", {137, 48, 65, 57}, ""},
                                    {"RB_8bit", {8, 8, 57, 17}, "8 бит"},
                                    {"RB_16bit", {8, 32, 57, 17}, "16 бит"},
                                    {"GroupBox2", {224, 8, 209, 65}, "Описание"},
                                    {"Description", {24, 26, 161, 21}, ""},
                                    {"BTN_OK", {248, 112, 75, 25}, "&OK"},
                                    {"BTN_Cancel", {344, 112, 75, 25}, "&Отмена"},
                                });
        EXPECT_TRUE(dialog->RB_PCM_22050->isChecked());
        EXPECT_TRUE(dialog->RB_8bit->isChecked());
        EXPECT_TRUE(dialog->NameFile->text().isEmpty());
        EXPECT_EQ(dialog->Description->maxLength(), 21);
        EXPECT_TRUE(dialog->BTN_OK->isDefault());

        // The two radio groups are independent.
        dialog->RB_ADPCM->setChecked(true);
        dialog->RB_16bit->setChecked(true);
        EXPECT_TRUE(dialog->RB_ADPCM->isChecked());
        EXPECT_TRUE(dialog->RB_16bit->isChecked());
        EXPECT_FALSE(dialog->RB_PCM_22050->isChecked());

        QWidget* order[] = {dialog->RB_PCM_22050, dialog->RB_ADPCM, dialog->RB_PCM_11025,
                            dialog->NameFile,     dialog->RB_8bit,  dialog->RB_16bit,
                            dialog->Description,  dialog->BTN_OK,   dialog->BTN_Cancel};
        for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
            EXPECT_EQ(NextTabStop(order[i]), order[i + 1]) << i;
        }
    }
}

TEST_F(DialogTest, ChangeOffersTheStoredDescription) {
    PutFragments(image, 3);
    SetDescription(0, "Hello");                      // 16 trailing blanks
    SetDescription(1, "  Two");                      // leading blanks stay
    SetDescription(2, std::string("Cut\0Rest", 8));  // ends at the zero byte
    const struct {
        int row;
        QString offered;
    } cases[] = {{1, "Hello"}, {2, "  Two"}, {3, "Cut"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Open(DialogMode::Change, c.row)->Description->text(), c.offered) << c.row;
        EXPECT_EQ(Open(DialogMode::Add, c.row)->Description->text(), "") << c.row;
    }
}

TEST_F(DialogTest, ChangeWithoutAFileRewritesOnlyTheDescription) {
    PutFragments(image, 1);
    SetDescription(0, "\xCF\xF0\xE8\xE2\xE5\xF2");  // "Привет"
    const MemoryImage before = image;
    auto dialog = Open(DialogMode::Change);
    EXPECT_EQ(dialog->Description->text(), "Привет");
    dialog->Description->setText("  Пока  ");
    dialog->BTN_OK->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->storedRow(), 1);
    EXPECT_EQ(ReadPaddedText(DescriptionField(image, 0), 20), "\xCF\xEE\xEA\xE0");
    for (std::size_t i = 0; i < DESCRIPTION_OFFSET; ++i) ASSERT_EQ(image[i], before[i]) << i;
}

TEST_F(DialogTest, EnterPressesOkAndEscCancels) {
    auto dialog = Open(DialogMode::Add);
    dialog->NameFile->setFocus();
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    ASSERT_EQ(prompts.texts(), std::vector<QString>{"Вы не указали файл со звуковыми данными!"});
    EXPECT_TRUE(dialog->isVisible());

    const MemoryImage before = image;
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->storedRow());
    EXPECT_TRUE(image == before);
}

TEST_F(DialogTest, BrowseFillsTheFileName) {
    auto dialog = Open(DialogMode::Add);
    dialog->NameFile->setText("\"/old place/a.raw\" b");
    prompts.files = {std::nullopt, QString("/sounds/bell one.raw")};
    dialog->NameFileBrowse->trigger();
    EXPECT_EQ(dialog->NameFile->text(), "\"/old place/a.raw\" b");
    dialog->NameFileBrowse->trigger();
    EXPECT_EQ(dialog->NameFile->text(), "/sounds/bell one.raw");
    ASSERT_EQ(prompts.dialogs.size(), 2u);
    EXPECT_EQ(prompts.dialogs[0].title, "Открытие файла");
    EXPECT_EQ(prompts.dialogs[0].filter,
              "Файлы RAW (*.raw);;Звуковые файлы (*.wav *.aif *.aiff *.flac *.ogg *.oga *.opus "
              "*.mp3 *.au *.caf);;Все файлы (*.*)");
    EXPECT_EQ(prompts.dialogs[0].fileName, "/old place/a.raw");
    // The button is no tab stop: its hint names the keys that open it.
    EXPECT_TRUE(dialog->NameFileBrowse->toolTip().contains("F4"))
        << dialog->NameFileBrowse->toolTip().toStdString();
}

TEST_F(DialogTest, AQuotedPathWithBlanksIsImported) {
    TempDir dir;
    const std::string path = dir.file("my bell.raw");
    WriteFile(path, std::vector<std::uint8_t>(300, 0x80));
    auto dialog = Open(DialogMode::Add);
    dialog->NameFile->setText("\"" + QString::fromStdString(path) + "\"");
    dialog->BTN_OK->click();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(dialog->storedRow(), 1);
    EXPECT_EQ(FragmentLength(image, 0), 300u);
    EXPECT_EQ(ReadPaddedText(DescriptionField(image, 0), 20), "my bell.raw");
}

// An audio file is converted for the chosen format whatever the width
// buttons say; a RAW file beside it still goes byte for byte.
TEST_F(DialogTest, AnAudioFileIsConvertedAndARawFileIsNot) {
    TempDir dir;
    const std::string wav = dir.file("bell.raw");  // the name does not decide
    Shell("sox -n -r 44100 -c 2 -b 16 -t wav '" + wav + "' synth 0.5 sine 440");
    const std::string raw = dir.file("bell.wav");
    WriteFile(raw, std::vector<std::uint8_t>(300, 0x80));
    const struct {
        const std::string& path;
        QRadioButton* TAddMsg::*format;
        std::uint32_t length;
    } cases[] = {
        {wav, &TAddMsg::RB_PCM_22050, 11025},
        {wav, &TAddMsg::RB_ADPCM, 2756},
        {raw, &TAddMsg::RB_ADPCM, 150},
    };
    for (const auto& c : cases) {
        auto dialog = Open(DialogMode::Add);
        dialog->NameFile->setText(QString::fromStdString(c.path));
        (dialog.get()->*c.format)->setChecked(true);
        dialog->BTN_OK->click();
        EXPECT_TRUE(prompts.shown.empty());
        ASSERT_TRUE(dialog->storedRow()) << c.path;
        EXPECT_EQ(FragmentLength(image, *dialog->storedRow() - 1), c.length) << c.path;
    }
}

}  // namespace
}  // namespace sonabank::test
