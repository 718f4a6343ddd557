#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QStatusBar>
#include <QStyleOption>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <optional>

#include "image/fragment_list.h"
#include "playback/wav_render.h"
#include "io/byte_stream.h"
#include "support/fault_injector.h"
#include "version.h"
#include "window_fixture.h"

namespace sonabank::test {
namespace {

using Icon = Prompts::Icon;

TEST_F(WindowTest, FreshWindowShowsOneEmptyRowNumberedZero) {
    EXPECT_EQ(window->windowTitle(), "Sonabank");
    EXPECT_EQ(window->size(), QSize(632, 448));
    EXPECT_EQ(window->Mess->rowCount(), 1);
    EXPECT_EQ(Cell(1, 0), "0");
    EXPECT_EQ(Cell(1, 1), "");
    EXPECT_EQ(Cell(1, 2), "");
    EXPECT_TRUE(window->BTN_Add->isEnabled());
    EXPECT_FALSE(window->BTN_Change->isEnabled());
    EXPECT_FALSE(window->BTN_Del->isEnabled());
    EXPECT_EQ(window->StatusPanel0->text(), "Занято памяти: 0%");
    EXPECT_EQ(window->StatusPanel1->text(), "   Program version: " SONABANK_VERSION);
    EXPECT_EQ(window->Copyright->text(), "");
    EXPECT_EQ(window->BB_Play->icon().cacheKey(), window->playGlyph().cacheKey());
    EXPECT_FALSE(window->Timer->isActive());
    EXPECT_FALSE(window->project().modified());
    EXPECT_TRUE(window->projectFileName().isEmpty());

    QHeaderView* header = window->Mess->horizontalHeader();
    EXPECT_EQ(window->Mess->model()->headerData(0, Qt::Horizontal).toString(), "№");
    EXPECT_EQ(window->Mess->model()->headerData(1, Qt::Horizontal).toString(), "Описание");
    EXPECT_EQ(window->Mess->model()->headerData(2, Qt::Horizontal).toString(), "Формат");
    EXPECT_TRUE(header->font().bold());
    EXPECT_EQ(window->Mess->columnWidth(0), 26);
    EXPECT_EQ(window->Mess->columnWidth(1), window->frameGeometry().width() - 164);
    EXPECT_EQ(window->Mess->columnWidth(2), 110);
    EXPECT_EQ(window->Mess->rowHeight(0), 18);
}

TEST_F(WindowTest, ControlsHaveTheirNamesPlacesAndTexts) {
    ExpectControls(*window, {
                                {"ToolBar1", {0, 0, 632, 29}, ""},
                                {"Mess", {0, 29, 632, 347}, ""},
                                {"Panel1", {0, 376, 632, 53}, ""},
                                {"StatusBar", {0, 429, 632, 19}, ""},
                                {"Bevel1", {8, 7, 313, 42}, ""},
                                {"Copyright", {72, 16, 233, 21}, ""},
                                {"BTN_Add", {328, 15, 75, 25}, "&Добавить"},
                                {"BTN_Change", {416, 15, 75, 25}, "&Изменить"},
                                {"BTN_Del", {504, 15, 75, 25}, "&Удалить"},
                                {"BB_Play", {587, 15, 25, 25}, ""},
                            });
    EXPECT_EQ(window->Copyright->maxLength(), 28);

    const struct {
        const char* name;
        QString hint;
    } tools[] = {{"TB_New", "Новый"}, {"TB_Open", "Открыть"},   {"TB_Save", "Сохранить"},
                 {"TB_SaveAs", ""},   {"TB_Export", "Экспорт"}, {"TB_Exit", "Выход"}};
    for (const auto& t : tools) {
        auto* button = window->findChild<QToolButton*>(t.name);
        ASSERT_NE(button, nullptr) << t.name;
        EXPECT_EQ(button->toolTip(), t.hint) << t.name;
        EXPECT_FALSE(button->icon().isNull()) << t.name;
    }

    // Tab order: Copyright, Add, Delete, Play, Change, then the grid.
    PutFragments(window->image(), 1);
    window->UpdateMessList();
    QWidget* expected[] = {window->Copyright, window->BTN_Add,    window->BTN_Del,
                           window->BB_Play,   window->BTN_Change, window->Mess};
    for (std::size_t i = 0; i + 1 < std::size(expected); ++i) {
        EXPECT_EQ(NextTabStop(expected[i]), expected[i + 1]) << i;
    }
}

// The width a caption takes and the width its control leaves it, as the
// style lays the control out; nothing for a widget without a caption.
struct CaptionFit {
    QString text;
    int need;
    int room;
};

std::optional<CaptionFit> FitOf(const QWidget& widget) {
    const QStyle& style = *widget.style();
    const QFontMetrics metrics = widget.fontMetrics();
    auto fit = [&](const QString& caption, int room) {
        QString text = caption;
        text.remove(u'&');  // the access letter's mark is not drawn
        return CaptionFit{caption, metrics.horizontalAdvance(text), room};
    };
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget);
        button && !button->text().isEmpty()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto contents = qobject_cast<const QRadioButton*>(button)
                                  ? QStyle::SE_RadioButtonContents
                                  : QStyle::SE_PushButtonContents;
        return fit(button->text(), style.subElementRect(contents, &option, button).width());
    }
    if (auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.textAlignment = group->alignment();
        const QRect label =
            style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        return fit(group->title(), group->width() - label.left());
    }
    if (auto* label = qobject_cast<const QLabel*>(&widget); label && !label->text().isEmpty()) {
        return fit(label->text(), label->contentsRect().width());
    }
    return std::nullopt;
}

TEST_F(WindowTest, EveryCaptionOfBothWindowsFitsItsControl) {
    TAddMsg dialog(window->project(), DialogMode::Add, 1, prompts, window.get());
    dialog.show();
    for (const QWidget* form :
         {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(&dialog)}) {
        int captions = 0;
        for (const QWidget* widget : form->findChildren<QWidget*>()) {
            if (widget->window() != form) continue;
            if (const auto caption = FitOf(*widget)) {
                ++captions;
                EXPECT_LE(caption->need, caption->room)
                    << widget->objectName().toStdString() << " \"" << caption->text.toStdString()
                    << "\"";
            }
        }
        EXPECT_GE(captions, 5) << form->objectName().toStdString();
    }
    // The label sits left of the box it names.
    EXPECT_LT(window->Label2->geometry().right(), window->Copyright->x());
}

TEST_F(WindowTest, UsageFollowsTheStoredPages) {
    // 21,600 bytes take 41 pages: 21,648 of 2,160,048 bytes is 1 per cent.
    Add({RawFile("a.raw", 21600)});
    EXPECT_EQ(window->StatusPanel0->text(), "Занято памяти: 1%");
    Reopen();
    Add({RawFile("b.raw", 528)});
    EXPECT_EQ(window->StatusPanel0->text(), "Занято памяти: 0%");
}

TEST_F(WindowTest, AddStoresEachFormatAndWidth) {
    const struct {
        const char* format;
        const char* width;
        std::size_t fileSize;
        QString formatName;
        std::uint32_t length;
    } cases[] = {
        {"RB_PCM_22050", "RB_8bit", 1000, "PCM 22050 Hz", 1000},
        {"RB_PCM_11025", "RB_8bit", 1000, "PCM 11025 Hz", 1000},
        {"RB_ADPCM", "RB_8bit", 1001, "ADPCM 11025 Hz", 500},
        {"RB_PCM_22050", "RB_16bit", 1001, "PCM 22050 Hz", 500},
        {"RB_PCM_11025", "RB_16bit", 1000, "PCM 11025 Hz", 500},
        {"RB_ADPCM", "RB_16bit", 2113, "ADPCM 11025 Hz", 528},
    };
    int row = 0;
    for (const auto& c : cases) {
        ++row;
        const QString file = RawFile("s" + std::to_string(row) + ".raw", c.fileSize);
        const DialogOutcome outcome = Add({file, c.format, c.width, "  Sound  "});
        SCOPED_TRACE(row);
        EXPECT_TRUE(outcome.shown);
        EXPECT_FALSE(outcome.stayedOpen);
        EXPECT_EQ(window->Mess->rowCount(), row);
        EXPECT_EQ(window->SelectedRow(), row);
        EXPECT_EQ(Cell(row, 0), QString::number(row - 1));
        EXPECT_EQ(Cell(row, 1).trimmed(), "Sound");
        EXPECT_EQ(Cell(row, 2), c.formatName);
        EXPECT_EQ(FragmentLength(window->image(), row - 1), c.length);
        EXPECT_TRUE(window->project().modified());
        EXPECT_TRUE(window->BTN_Change->isEnabled());
        EXPECT_TRUE(window->BTN_Del->isEnabled());
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(WindowTest, AddRefusalsKeepTheDialogOpenWithItsEntries) {
    const QString big = RawFile("big.raw", DATA_CAPACITY + 1);
    const struct {
        DialogEntry entry;
        QString message;
        Icon icon;
    } cases[] = {
        {{"   "}, "Вы не указали файл со звуковыми данными!", Icon::Warning},
        {{QString::fromStdString(dir.file("missing.raw"))},
         "Невозможно открыть файл!",
         Icon::Error},
        {{big, "RB_PCM_11025", "RB_8bit", "Big"}, "Файл слишком велик!", Icon::Warning},
        {{RawFile("one.raw", 1), "RB_PCM_22050", "RB_16bit", "Half"},
         "Файл не содержит звуковых данных!",
         Icon::Warning},
    };
    for (const auto& c : cases) {
        prompts.shown.clear();
        DialogEntry seen;
        const DialogOutcome outcome = WithDialog(
            [this] { window->BTN_Add->click(); },
            [&](TAddMsg& dialog) {
                FillAndPressOk(dialog, c.entry);
                seen.file = dialog.NameFile->text();
                seen.description = dialog.Description->text();
                EXPECT_TRUE(dialog.findChild<QRadioButton*>(c.entry.format)->isChecked());
                EXPECT_TRUE(dialog.findChild<QRadioButton*>(c.entry.width)->isChecked());
            });
        SCOPED_TRACE(c.message.toStdString());
        EXPECT_TRUE(outcome.stayedOpen);
        EXPECT_EQ(seen.file, c.entry.file);
        EXPECT_EQ(seen.description, c.entry.description);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, c.message);
        EXPECT_EQ(prompts.shown[0].icon, c.icon);
        EXPECT_FALSE(window->project().modified());
        EXPECT_EQ(window->Mess->rowCount(), 1);
    }
}

TEST_F(WindowTest, AddStopsAtNinetyNineFragments) {
    PutFragments(window->image(), 98);
    window->UpdateMessList();
    EXPECT_EQ(Cell(98, 0), "97");
    EXPECT_TRUE(WithDialog([this] { window->BTN_Add->click(); }, [](TAddMsg&) {}).shown);
    EXPECT_TRUE(prompts.shown.empty());

    Add({RawFile("last.raw", 10)});
    EXPECT_EQ(window->Mess->rowCount(), 99);
    EXPECT_EQ(window->SelectedRow(), 99);

    EXPECT_FALSE(WithDialog([this] { window->BTN_Add->click(); }, [](TAddMsg&) {}).shown);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Больше нет места!");
    EXPECT_EQ(prompts.shown[0].icon, Icon::Warning);
}

TEST_F(WindowTest, ChangeWithAndWithoutAFile) {
    Add({RawFile("one.raw", 600), "RB_PCM_22050", "RB_8bit", "First"});
    Add({RawFile("two.raw", 100), "RB_PCM_22050", "RB_8bit", "Second"});
    window->project().SetModified(false);
    window->Mess->selectRow(0);

    // Without a file only the description changes; the box offers the old
    // one without its trailing blanks, and the formats start at their defaults.
    const DialogOutcome outcome = WithDialog([this] { window->BTN_Change->click(); },
                                             [](TAddMsg& dialog) {
                                                 EXPECT_EQ(dialog.Description->text(), "First");
                                                 EXPECT_TRUE(dialog.RB_PCM_22050->isChecked());
                                                 EXPECT_TRUE(dialog.RB_8bit->isChecked());
                                                 EXPECT_TRUE(dialog.NameFile->text().isEmpty());
                                                 dialog.Description->setText("  Renamed ");
                                                 dialog.BTN_OK->click();
                                             });
    EXPECT_FALSE(outcome.stayedOpen);
    EXPECT_EQ(Cell(1, 1).trimmed(), "Renamed");
    EXPECT_EQ(FragmentLength(window->image(), 0), 600u);
    EXPECT_TRUE(window->project().modified());

    // With a file the fragment is replaced and the one behind it moves up.
    WithDialog([this] { window->BTN_Change->click(); },
               [&](TAddMsg& dialog) {
                   FillAndPressOk(dialog, {RawFile("three.raw", 100), "RB_ADPCM", "RB_8bit", ""});
               });
    EXPECT_EQ(Cell(1, 1).trimmed(), "three.raw");
    EXPECT_EQ(Cell(1, 2), "ADPCM 11025 Hz");
    EXPECT_EQ(FragmentLength(window->image(), 0), 50u);
    EXPECT_EQ(StartPage(window->image(), 1), 6);
    EXPECT_EQ(window->SelectedRow(), 1);
}

TEST_F(WindowTest, DoubleClickChangesOnlyWhenThereIsAFragment) {
    QTest::mouseDClick(window->Mess->viewport(), Qt::LeftButton, {}, QPoint(50, 5));
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompts.shown.empty());

    Add({RawFile("one.raw", 10), "RB_PCM_22050", "RB_8bit", "Name"});
    QString offered;
    const DialogOutcome outcome = WithDialog(
        [this] {
            QTest::mouseDClick(window->Mess->horizontalHeader()->viewport(), Qt::LeftButton, {},
                               QPoint(50, 5));
        },
        [&](TAddMsg& dialog) { offered = dialog.Description->text(); });
    EXPECT_TRUE(outcome.shown);
    EXPECT_EQ(offered, "Name");
}

TEST_F(WindowTest, DeleteAsksFirst) {
    Add({RawFile("one.raw", 10)});
    Add({RawFile("two.raw", 10)});
    window->project().SetModified(false);
    window->Mess->selectRow(0);
    const MemoryImage before = window->image();

    prompts.yesNo = {false};
    window->BTN_Del->click();
    EXPECT_EQ(prompts.shown.back().text, "Удалить фрагмент?");
    EXPECT_EQ(prompts.shown.back().icon, Icon::Question);
    EXPECT_TRUE(window->image() == before);
    EXPECT_FALSE(window->project().modified());

    prompts.yesNo = {true, true};
    window->BTN_Del->click();
    EXPECT_EQ(window->Mess->rowCount(), 1);
    EXPECT_EQ(Cell(1, 1).trimmed(), "two.raw");
    EXPECT_TRUE(window->project().modified());

    window->BTN_Del->click();
    EXPECT_EQ(window->Mess->rowCount(), 1);
    EXPECT_EQ(Cell(1, 1), "");
    EXPECT_FALSE(window->BTN_Change->isEnabled());
    EXPECT_FALSE(window->BTN_Del->isEnabled());
}

TEST_F(WindowTest, PlayAndStopFollowTheButtonTheTimerAndTheClosing) {
    // Nothing to play in an empty image.
    window->BB_Play->click();
    EXPECT_TRUE(player.played().empty());
    EXPECT_FALSE(window->Timer->isActive());

    Add({RawFile("tone.raw", 22050)});
    const auto isStop = [this] {
        return window->BB_Play->icon().cacheKey() == window->stopGlyph().cacheKey();
    };
    window->BB_Play->click();
    ASSERT_EQ(player.played().size(), 1u);
    EXPECT_EQ(player.played()[0].size(), 22050u + WAV_HEADER_SIZE);
    EXPECT_TRUE(isStop());
    EXPECT_TRUE(window->Timer->isActive());
    EXPECT_EQ(window->Timer->interval(), 100);

    ticks.Advance(1000);
    window->TimerTimer();
    EXPECT_TRUE(isStop());
    ticks.Advance(1);  // 1001 ms: the deadline
    window->TimerTimer();
    EXPECT_FALSE(isStop());
    EXPECT_FALSE(window->Timer->isActive());
    EXPECT_FALSE(player.playing());

    // The button stops what plays.
    window->BB_Play->click();
    window->BB_Play->click();
    EXPECT_FALSE(isStop());
    EXPECT_EQ(player.stopCount(), 2);

    // A rebuild shows Play while the sound goes on; closing stops it.
    window->BB_Play->click();
    window->UpdateMessList();
    EXPECT_FALSE(isStop());
    EXPECT_TRUE(player.playing());
    window->project().SetModified(false);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(window->Timer->isActive());
    EXPECT_TRUE(player.waveUntouchedUntilStop());
}

TEST_F(WindowTest, CopyrightEditsMarkTheProjectAndSurviveRebuilds) {
    Add({RawFile("one.raw", 10)});
    window->project().SetModified(false);

    // Typing marks the project, even a key that changes nothing.
    window->Copyright->setFocus();
    QTest::keyClick(window->Copyright, Qt::Key_Backspace);
    EXPECT_TRUE(window->project().modified());
    window->project().SetModified(false);

    // A change without a typed character (a paste with the mouse's menu)
    // marks it too; the program's own refills do not.
    window->Copyright->setText("Acme");
    EXPECT_FALSE(window->project().modified());
    QApplication::clipboard()->setText("Фирма ☺");
    window->Copyright->selectAll();
    window->Copyright->paste();
    EXPECT_EQ(window->Copyright->text(), "Фирма ☺");
    EXPECT_TRUE(window->project().modified());

    // The typed text outlives the rebuilds after Add, Change and Delete.
    Add({RawFile("two.raw", 10)});
    EXPECT_EQ(window->Copyright->text(), "Фирма ☺");
    prompts.yesNo = {true};
    window->BTN_Del->click();
    EXPECT_EQ(window->Copyright->text(), "Фирма ☺");

    // What code page 1251 cannot hold is saved as "?".
    prompts.files = {QString::fromStdString(dir.file("p.bin"))};
    window->TB_SaveClick();
    const auto saved = ReadFile(dir.file("p.bin"));
    const std::string field(saved.begin() + COPYRIGHT_OFFSET,
                            saved.begin() + COPYRIGHT_OFFSET + COPYRIGHT_WIDTH);
    EXPECT_EQ(field, "\xD4\xE8\xF0\xEC\xE0 ?" + std::string(21, ' '));
}

// Export borrows the save dialog with the RAW filter and gives the project
// filter back however it ends.
TEST_F(WindowTest, ExportRestoresTheProjectFilterOnEveryWayOut) {
    window->TB_ExportClick();  // no fragment: nothing happens
    EXPECT_TRUE(prompts.dialogs.empty());

    Add({RawFile("tone.raw", 1000, 7), "RB_PCM_11025", "RB_8bit", "Bell"});
    Add({RawFile("adpcm.raw", 1000), "RB_ADPCM", "RB_8bit", "Beep"});
    window->Mess->selectRow(0);

    const std::string good = dir.file("bell.raw");
    const struct {
        std::optional<QString> answer;
        bool shortWrite;
        std::vector<QString> messages;
    } cases[] = {
        {std::nullopt, false, {}},
        {QString::fromStdString(dir.file("no/such/folder/x.raw")),
         false,
         {"Невозможно создать файл!"}},
        {QString::fromStdString(dir.file("short.raw")), true, {"Disk full."}},
        {QString::fromStdString(good), false, {}},
    };
    for (const auto& c : cases) {
        prompts.shown.clear();
        prompts.dialogs.clear();
        prompts.files = {c.answer};
        std::optional<FaultInjector> fault;
        if (c.shortWrite) fault.emplace(FileOp::Write, 1, FaultAction::Short);
        window->TB_Export->click();
        fault.reset();
        ASSERT_EQ(prompts.dialogs.size(), 1u);
        EXPECT_EQ(prompts.dialogs[0].filter, RawFilter());
        EXPECT_EQ(prompts.dialogs[0].fileName, "Bell (PCM 11025 Hz)");
        EXPECT_EQ(prompts.texts(), c.messages);
        for (const auto& shown : prompts.shown) EXPECT_EQ(shown.icon, Icon::Error);
        EXPECT_EQ(window->SFD.filter, ProjectFilter());
        EXPECT_EQ(window->SFD.defaultSuffix, "bin");
    }
    const auto exported = ReadFile(good);
    ASSERT_EQ(exported.size(), 1000u);
    EXPECT_EQ(exported[0], 7);
    EXPECT_EQ(exported[999], static_cast<std::uint8_t>(7 + 999));
    EXPECT_TRUE(window->projectFileName().isEmpty());

    // An ADPCM fragment comes out decoded, two samples per stored byte.
    window->Mess->selectRow(1);
    prompts.files = {QString::fromStdString(dir.file("beep.raw"))};
    window->TB_ExportClick();
    EXPECT_EQ(prompts.dialogs.back().fileName, "Beep (ADPCM 11025 Hz)");
    EXPECT_EQ(ReadFile(dir.file("beep.raw")).size(), 1000u);
}

}  // namespace
}  // namespace sonabank::test
