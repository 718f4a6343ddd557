#include "ui/add_msg_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "image/grid_rules.h"
#include "ui/name_file.h"

namespace sonabank {

namespace {

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry) {
    auto* radio = new QRadioButton(caption, parent);
    radio->setObjectName(QLatin1String(name));
    radio->setGeometry(geometry);
    return radio;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int x) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, 112, 75, 25);
    return button;
}

}  // namespace

TAddMsg::TAddMsg(Project& project, DialogMode mode, int selectedRow, Prompts& prompts,
                 QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      project_(project),
      mode_(mode),
      selectedRow_(selectedRow),
      prompts_(prompts) {
    // Nothing a handler throws may cross the event loop.
    const auto guarded = [this](void (TAddMsg::*handler)()) {
        return GuardedSlot(prompts_, this, handler);
    };

    setObjectName(QStringLiteral("AddMsg"));
    setWindowTitle(tr("Добавить звуковой фрагмент"));
    if (parent) setFont(parent->font());
    setFixedSize(443, 155);

    GroupBox1 = new QGroupBox(tr("Имя звукового файла"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 209, 137);

    NameFile = new QLineEdit(GroupBox1);
    NameFile->setObjectName(QStringLiteral("NameFile"));
    NameFile->setGeometry(8, 24, 185, 21);
    NameFileBrowse = NameFile->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                         QLineEdit::TrailingPosition);
    NameFileBrowse->setObjectName(QStringLiteral("NameFileBrowse"));
    connect(NameFileBrowse, &QAction::triggered, this, guarded(&TAddMsg::NameFileBrowseClick));
    // The button stays out of the tab order; the keys that open a combo or
    // file box open it from the name box.
    const QList<QKeySequence> browseKeys = {QKeySequence(Qt::Key_F4),
                                            QKeySequence(Qt::ALT | Qt::Key_Down)};
    NameFileBrowse->setShortcuts(browseKeys);
    NameFileBrowse->setShortcutContext(Qt::WidgetShortcut);
    QStringList keyNames;
    for (const QKeySequence& keys : browseKeys) keyNames << keys.toString(QKeySequence::NativeText);
    NameFileBrowse->setToolTip(tr("Выбрать файл (%1)").arg(keyNames.join(QStringLiteral(", "))));

    RB_PCM_22050 = MakeRadio(GroupBox1, "RB_PCM_22050", tr("PCM 22050 Hz"), {16, 56, 97, 17});
    RB_PCM_11025 = MakeRadio(GroupBox1, "RB_PCM_11025", tr("PCM 11025 Hz"), {16, 80, 97, 17});
    RB_ADPCM = MakeRadio(GroupBox1, "RB_ADPCM", tr("ADPCM 11025 Hz"), {16, 104, 113, 17});
    RB_PCM_22050->setChecked(true);
    // Each group is one tab stop, the arrow keys moving inside it. Without
    // groups of their own Qt counts the width buttons, which sit further down
    // under GroupBox1, into the format buttons' group, and Tab passes them by.
    auto* formats = new QButtonGroup(this);
    for (QRadioButton* radio : {RB_PCM_22050, RB_PCM_11025, RB_ADPCM}) formats->addButton(radio);

    Bevel1 = new QFrame(GroupBox1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(128, 48, 9, 81);
    Bevel1->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    // The line runs along the right edge, next to the width buttons.
    Bevel1->setFrameRect(QRect(7, 0, 2, 81));

    // The width buttons sit on their own panel, so they form a group of
    // their own, independent of the format buttons.
    Panel1 = new QWidget(GroupBox1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(137, 48, 65, 57);
    RB_8bit = MakeRadio(Panel1, "RB_8bit", tr("8 бит"), {8, 8, 57, 17});
    RB_16bit = MakeRadio(Panel1, "RB_16bit", tr("16 бит"), {8, 32, 57, 17});
    RB_8bit->setChecked(true);
    auto* widths = new QButtonGroup(this);
    for (QRadioButton* radio : {RB_8bit, RB_16bit}) widths->addButton(radio);

    GroupBox2 = new QGroupBox(tr("Описание"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(224, 8, 209, 65);
    Description = new QLineEdit(GroupBox2);
    Description->setObjectName(QStringLiteral("Description"));
    Description->setGeometry(24, 26, 161, 21);
    Description->setMaxLength(static_cast<int>(DESCRIPTION_WIDTH));

    BTN_OK = MakeButton(this, "BTN_OK", tr("&OK"), 248);
    BTN_OK->setDefault(true);
    connect(BTN_OK, &QPushButton::clicked, this, guarded(&TAddMsg::BTN_OKClick));
    // Esc and the title bar's close button reject the dialog like Cancel.
    BTN_Cancel = MakeButton(this, "BTN_Cancel", tr("&Отмена"), 344);
    connect(BTN_Cancel, &QPushButton::clicked, this, guarded(&TAddMsg::BTN_CancelClick));

    setTabOrder(RB_PCM_22050, RB_ADPCM);
    setTabOrder(RB_ADPCM, RB_PCM_11025);
    setTabOrder(RB_PCM_11025, NameFile);
    setTabOrder(NameFile, RB_8bit);
    setTabOrder(RB_8bit, RB_16bit);
    setTabOrder(RB_16bit, Description);
    setTabOrder(Description, BTN_OK);
    setTabOrder(BTN_OK, BTN_Cancel);

    FormCreate();
}

void TAddMsg::FormCreate() {
    if (mode_ == DialogMode::Change) {
        Description->setText(QString::fromStdString(ChangePrefill(project_.image(), selectedRow_)));
    }
}

RawFragment TAddMsg::Fragment() const {
    RawFragment fragment;
    fragment.path = PathForCore(NameFileToPath(NameFile->text()));
    fragment.width = RB_16bit->isChecked() ? SourceWidth::Bits16 : SourceWidth::Bits8;
    fragment.format = RB_ADPCM->isChecked()       ? SoundFormat::ADPCM_11025
                      : RB_PCM_11025->isChecked() ? SoundFormat::PCM_11025
                                                  : SoundFormat::PCM_22050;
    fragment.description = Description->text().toStdString();
    return fragment;
}

void TAddMsg::BTN_OKClick() {
    const RawFragment fragment = Fragment();
    const Outcome outcome = mode_ == DialogMode::Add ? project_.Add(fragment)
                                                     : project_.Change(selectedRow_, fragment);
    // A refusal or an error keeps the dialog open with every entry as it was.
    if (!ShowOutcome(prompts_, this, outcome)) return;
    storedRow_ = outcome.row;
    accept();
}

void TAddMsg::BTN_CancelClick() {
    reject();
}

void TAddMsg::NameFileBrowseClick() {
    FileDialogSettings settings;
    settings.title = tr("Открытие файла");
    settings.filter = SoundFileFilter();
    settings.fileName = NameFileToPath(NameFile->text());
    if (const std::optional<QString> path = prompts_.OpenFile(this, settings)) {
        NameFile->setText(*path);
    }
}

}  // namespace sonabank
