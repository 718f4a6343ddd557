#pragma once

// The main window: the fragment grid, the toolbar of project commands, the
// Add/Change/Delete/Play buttons, the copyright box and the status bar. The
// image is the only model; every change rebuilds what the window shows.

#include <QIcon>
#include <QString>
#include <QWidget>
#include <functional>

#include "image/memory_image.h"
#include "playback/playback_state.h"
#include "project/project.h"
#include "ui/prompts.h"

class QDragEnterEvent;
class QDropEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableWidget;
class QTimer;
class QToolBar;
class QToolButton;

namespace sonabank {

class TMain : public QWidget {
    Q_OBJECT

  public:
    // The player, the tick source and the prompts must outlive the window.
    TMain(SoundPlayer& player, TickSource& ticks, Prompts& prompts, QWidget* parent = nullptr);
    ~TMain() override;

    // Rebuilds the grid, the buttons, the copyright box and the usage from
    // the image.
    void UpdateMessList();

    // The grid row (1 to 100, the header being row 0) that names the current
    // fragment, and the grid's row count with the header.
    int SelectedRow() const;
    int GridRowCount() const;

    // The project the window edits.
    Project& project() { return project_; }
    MemoryImage& image() { return project_.image(); }
    // The project's file as the user named it; empty while untitled.
    QString projectFileName() const;
    bool dialogAddMode = true;
    const Playback& playback() const { return playback_; }

    // The open and save dialogs, kept for the window's whole life.
    FileDialogSettings OFD;
    FileDialogSettings SFD;

    const QIcon& playGlyph() const { return playGlyph_; }
    const QIcon& stopGlyph() const { return stopGlyph_; }

    QToolBar* ToolBar1;
    QToolButton* TB_New;
    QToolButton* TB_Open;
    QToolButton* TB_Save;
    QToolButton* TB_SaveAs;
    QToolButton* TB_Export;
    QToolButton* TB_Exit;
    QTableWidget* Mess;
    QWidget* Panel1;
    QFrame* Bevel1;
    QLabel* Label2;
    QLineEdit* Copyright;
    QPushButton* BTN_Add;
    QPushButton* BTN_Change;
    QPushButton* BTN_Del;
    QPushButton* BB_Play;
    QStatusBar* StatusBar;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    QTimer* Timer;

    // The handlers, public so that tests can run them as the toolkit would.
    void MessDblClick();
    void BTN_AddClick();
    void BTN_ChangeClick();
    void BTN_DelClick();
    void BB_PlayClick();
    void TimerTimer();
    void TB_NewClick();
    void TB_OpenClick();
    void TB_SaveClick();
    void TB_SaveAsClick();
    void TB_ExportClick();
    void TB_ExitClick();
    // Open's work once a file is chosen (also `sonabank FILE` and a dropped
    // project): the project is read, or the refusal shown and nothing changes.
    void OpenProjectFile(const QString& path);
    // True when the user cancelled and the calling command must stop.
    bool ConfirmSaveChanges();
    void CopyrightKeyPress();

    // Runs a handler the way the toolkit's connections do: an exception ends
    // it in an error box instead of the program.
    void Guarded(const std::function<void()>& handler);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void FormCreate();
    void BuildToolBar();
    void BuildGrid();
    void BuildPanel();
    void BuildStatusBar();
    void BuildShortcuts();
    void SetColumnWidths();
    void SelectRow(int row);
    // Add with the dialog's file name filled in (empty: as the user left it).
    void AddFromFile(const QString& rawFile);
    void ShowFragmentDialog(const QString& rawFile = QString());
    // A file dropped on the window: a project is opened, anything else added.
    void OpenDroppedFile(const QString& path);
    // Keys on the grid that press the buttons below it, and Home and End.
    bool MessKeyPress(const QKeyEvent& key);
    // A rebuild after Add, Change or Delete: the typed copyright stays.
    void RebuildKeepingCopyright();
    // Connected to `signal`, `handler` runs guarded.
    template <typename Sender, typename Signal>
    void ConnectGuarded(Sender* sender, Signal signal, void (TMain::*handler)());
    bool Show(const Outcome& outcome);

    Prompts& prompts_;
    Project project_;
    Playback playback_;
    QIcon playGlyph_;
    QIcon stopGlyph_;
};

}  // namespace sonabank
