#pragma once

// The fragment dialog: the RAW file, its sample width, the storage format and
// the description, for adding a fragment or changing the selected one.

#include <QDialog>
#include <optional>

#include "codec/raw_import.h"
#include "image/memory_image.h"
#include "ui/prompts.h"

class QAction;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace sonabank {

class TAddMsg : public QDialog {
    Q_OBJECT

  public:
    // `selectedRow` and `rowCount` are the main window's grid: the fragment a
    // change works on, and the rows (header included) an addition counts.
    TAddMsg(MemoryImage& image, DialogMode mode, int selectedRow, int rowCount, Prompts& prompts,
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
    ImportRequest Request() const;

    MemoryImage& image_;
    DialogMode mode_;
    int selectedRow_;
    int rowCount_;
    Prompts& prompts_;
    std::optional<int> storedRow_;
};

}  // namespace sonabank
