#pragma once

// A main window wired to fakes, and the steps the widget tests take through
// it the way a user would.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <initializer_list>
#include <memory>

#include "fake_prompts.h"
#include "image/memory_image.h"
#include "support/fake_sound.h"
#include "support/temp_dir.h"
#include "ui/add_msg_form.h"
#include "ui/main_form.h"

namespace sonabank::test {

// The widget that Tab moves to from `widget`.
inline QWidget* NextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
}

// A control as a window lays it out: its name, place and caption.
struct ControlLayout {
    const char* name;
    QRect geometry;
    QString text;  // a button's or a group's caption
};

// Every control of the table is found under `root` by its name, in its place,
// with its caption.
inline void ExpectControls(const QWidget& root, std::initializer_list<ControlLayout> controls) {
    for (const auto& c : controls) {
        auto* widget = root.findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), c.text) << c.name;
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            EXPECT_EQ(group->title(), c.text) << c.name;
        }
    }
}

struct DialogOutcome {
    bool shown = false;
    bool stayedOpen = false;
};

// Runs `open`, which is to show the fragment dialog modally, and `act` on the
// dialog while it is shown. A dialog that `act` left open is cancelled.
inline DialogOutcome WithDialog(const std::function<void()>& open,
                                const std::function<void(TAddMsg&)>& act) {
    DialogOutcome outcome;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TAddMsg*>(QApplication::activeModalWidget());
        if (!dialog) return;
        outcome.shown = true;
        act(*dialog);
        outcome.stayedOpen = dialog->isVisible();
        if (outcome.stayedOpen) dialog->reject();
    });
    open();
    // Runs the check above even when no dialog came up.
    QCoreApplication::processEvents();
    return outcome;
}

// Fills in the dialog and presses OK.
struct DialogEntry {
    QString file;
    const char* format = "RB_PCM_22050";
    const char* width = "RB_8bit";
    QString description = {};
};

inline void FillAndPressOk(TAddMsg& dialog, const DialogEntry& entry) {
    dialog.NameFile->setText(entry.file);
    dialog.findChild<QRadioButton*>(entry.format)->setChecked(true);
    dialog.findChild<QRadioButton*>(entry.width)->setChecked(true);
    dialog.Description->setText(entry.description);
    dialog.BTN_OK->click();
}

// Puts `count` one-page PCM fragments into the image directly.
inline void PutFragments(MemoryImage& image, int count) {
    for (int slot = 0; slot < count; ++slot) {
        SetEntryWord(image, slot, static_cast<std::uint16_t>((2u << 14) | (HEADER_PAGES + slot)));
        SetFragmentLength(image, slot, 100);
    }
}

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() { Reopen(); }

    // A fresh window over the same fakes, as a new start of the program.
    void Reopen() {
        window = std::make_unique<TMain>(player, ticks, prompts);
        window->show();
    }

    QString Cell(int row, int column) const {
        QTableWidgetItem* item = window->Mess->item(row - 1, column);
        return item ? item->text() : QString();
    }

    // A RAW file of `size` bytes counting up from `first`.
    QString RawFile(const std::string& name, std::size_t size, std::uint8_t first = 0) const {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
        WriteFile(dir.file(name), bytes);
        return QString::fromStdString(dir.file(name));
    }

    DialogOutcome Add(const DialogEntry& entry) {
        return WithDialog([this] { window->BTN_Add->click(); },
                          [&](TAddMsg& dialog) { FillAndPressOk(dialog, entry); });
    }

    TempDir dir;
    FakeSoundPlayer player;
    FakeTickSource ticks{1000};
    FakePrompts prompts;
    std::unique_ptr<TMain> window;
};

}  // namespace sonabank::test
