#pragma once

// The fragment dialog: the RAW file, its sample width, the storage format and
// the description, for adding a fragment or changing the selected one.

#include <QDialog>
#include <optional>

#include "project/project.h"
#include "ui/prompts.h"

class QAction;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace sonabank {

// Add stores a new fragment behind the last one; Change replaces the selected
// one, or with no file rewrites only its description.
enum class DialogMode { Add, Change };

class TAddMsg : public QDialog {
    Q_OBJECT

  public:
    // `selectedRow` is the main window's: the fragment a change works on.
    TAddMsg(Project& project, DialogMode mode, int selectedRow, Prompts& prompts,
            QWidget* parent = nullptr);

    // The grid row the stored fragment now occupies; nothing unless an OK
    // succeeded.
    std::optional<int> storedRow() const { return storedRow_; }

    QGroupBox* GroupBox1;
    QLineEdit* NameFile;
    QAction* NameFileBrowse;
    QRadioButton* RB_PCM_22050;
    QRadioButton* RB_PCM_11025;
    QRadioButton* RB_ADPCM;
    QFrame* Bevel1;
    QWidget* Panel1;
    QRadioButton* RB_8bit;
    QRadioButton* RB_16bit;
    QGroupBox* GroupBox2;
    QLineEdit* Description;
    QPushButton* BTN_OK;
    QPushButton* BTN_Cancel;

    void BTN_OKClick();
    void BTN_CancelClick();
    void NameFileBrowseClick();

  private:
    void FormCreate();
    RawFragment Fragment() const;

    Project& project_;
    DialogMode mode_;
    int selectedRow_;
    Prompts& prompts_;
    std::optional<int> storedRow_;
};

}  // namespace sonabank
