#include "ui/main_form.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <optional>
#include <utility>

#include "image/codepage.h"
#include "image/fragment_list.h"
#include "image/grid_rules.h"
#include "playback/raw_export.h"
#include "ui/add_msg_form.h"
#include "ui/name_file.h"
#include "ui/version_info.h"

// The program's images live in this static library; make sure the linker
// keeps them.
static void InitResources() {
    Q_INIT_RESOURCE(sonabank);
}

namespace sonabank {

namespace {

constexpr int kClientWidth = 632;
constexpr int kClientHeight = 448;
constexpr int kToolBarHeight = 29;
constexpr int kGridHeight = 347;
constexpr int kPanelHeight = 53;
constexpr int kStatusHeight = 19;
constexpr int kRowHeight = 18;
constexpr int kTimerIntervalMs = 100;
constexpr int kGlyphSize = 15;
// The glyphs' field colour, drawn transparent so the button face shows.
const QColor kGlyphTransparent(128, 128, 0);

QString FromCore(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QIcon LoadGlyph(const QString& resource) {
    QPixmap pixmap(resource);
    pixmap.setMask(pixmap.createMaskFromColor(kGlyphTransparent, Qt::MaskInColor));
    return QIcon(pixmap);
}

// Paints one grid cell: the number column as a fixed, bold and centred cell,
// the others as plain text indented by 10 pixels.
void MessDrawCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) {
    const bool fixed = index.column() == 0;
    const bool selected = !fixed && option.state.testFlag(QStyle::State_Selected);
    const QPalette& palette = option.palette;
    const QRect& rect = option.rect;
    const QString text = index.data().toString();

    painter->save();
    painter->fillRect(rect, fixed      ? palette.button()
                            : selected ? palette.highlight()
                                       : palette.base());
    painter->setPen(fixed      ? palette.buttonText().color()
                    : selected ? palette.highlightedText().color()
                               : palette.text().color());
    QFont font = option.font;
    font.setBold(fixed);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const int left = fixed ? (2 * rect.left() + rect.width() - metrics.horizontalAdvance(text)) / 2
                           : rect.left() + 10;
    painter->drawText(QPoint(left, rect.top() + 2 + metrics.ascent()), text);
    painter->restore();
}

class MessCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem prepared = option;
        initStyleOption(&prepared, index);
        MessDrawCell(painter, prepared, index);
    }
};

// Puts the export's filter and suffix into the save dialog and the project's
// back on every way out, an input/output error included.
class RawFilterScope {
  public:
    explicit RawFilterScope(FileDialogSettings& dialog) : dialog_(dialog) {
        dialog_.filter = RawFilter();
        dialog_.defaultSuffix = QStringLiteral("raw");
    }
    ~RawFilterScope() {
        dialog_.filter = ProjectFilter();
        dialog_.defaultSuffix = QStringLiteral("bin");
    }
    RawFilterScope(const RawFilterScope&) = delete;
    RawFilterScope& operator=(const RawFilterScope&) = delete;

  private:
    FileDialogSettings& dialog_;
};

// The one local file a drag carries; nothing for several files, a folder or
// anything else.
std::optional<QString> DraggedFile(const QDropEvent& event) {
    const QMimeData* data = event.mimeData();
    if (!data || !data->hasUrls() || !(event.possibleActions() & Qt::CopyAction)) {
        return std::nullopt;
    }
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
    const QString path = urls.front().toLocalFile();
    if (!QFileInfo(path).isFile()) return std::nullopt;
    return path;
}

bool IsProjectFile(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("bin"), Qt::CaseInsensitive) == 0;
}

}  // namespace

TMain::TMain(SoundPlayer& player, TickSource& ticks, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      prompts_(prompts),
      playback_(player, ticks) {
    InitResources();
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Sonabank"));
    setWindowIcon(QIcon(QStringLiteral(":/images/sonabank.png")));
    // 11 pixels as the layout was drawn for; Liberation Sans (Arial's widths)
    // fits every caption whole at the controls' sizes, where the usual
    // DejaVu Sans cuts the end off the format names.
    QFont formFont(QStringLiteral("Liberation Sans"));
    formFont.setStyleHint(QFont::SansSerif);
    formFont.setPixelSize(11);
    setFont(formFont);
    setFixedSize(kClientWidth, kClientHeight);

    OFD.filter = ProjectFilter();
    SFD.filter = ProjectFilter();
    SFD.defaultSuffix = QStringLiteral("bin");
    SFD.confirmOverwrite = true;

    BuildToolBar();
    BuildGrid();
    BuildPanel();
    BuildStatusBar();
    BuildShortcuts();
    setAcceptDrops(true);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(kTimerIntervalMs);
    ConnectGuarded(Timer, &QTimer::timeout, &TMain::TimerTimer);

    setTabOrder(Copyright, BTN_Add);
    setTabOrder(BTN_Add, BTN_Del);
    setTabOrder(BTN_Del, BB_Play);
    setTabOrder(BB_Play, BTN_Change);
    setTabOrder(BTN_Change, Mess);
    // The window starts where its tab order does.
    Copyright->setFocus();

    playback_.onGlyphChanged = [this](bool showStop) {
        BB_Play->setIcon(showStop ? stopGlyph_ : playGlyph_);
    };
    playback_.onTimerChanged = [this](bool enabled) {
        if (enabled) {
            Timer->start();
        } else {
            Timer->stop();
        }
    };

    FormCreate();
}

TMain::~TMain() {
    // The player may still read the wave that goes with the playback state.
    playback_.Close();
}

void TMain::BuildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, kClientWidth, kToolBarHeight);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);

    auto separator = [this](const char* name) {
        ToolBar1->addSeparator()->setObjectName(QLatin1String(name));
    };
    auto button = [this](const char* name, const char* image, const QString& hint,
                         void (TMain::*handler)()) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QLatin1String(name));
        b->setIcon(QIcon(QStringLiteral(":/images/%1.xpm").arg(QLatin1String(image))));
        b->setToolTip(hint);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(23, 23);
        ToolBar1->addWidget(b);
        ConnectGuarded(b, &QToolButton::clicked, handler);
        return b;
    };
    separator("ToolButton5");
    TB_New = button("TB_New", "new", tr("Новый"), &TMain::TB_NewClick);
    TB_Open = button("TB_Open", "open", tr("Открыть"), &TMain::TB_OpenClick);
    TB_Save = button("TB_Save", "save", tr("Сохранить"), &TMain::TB_SaveClick);
    TB_SaveAs = button("TB_SaveAs", "saveas", QString(), &TMain::TB_SaveAsClick);
    separator("ToolButton2");
    TB_Export = button("TB_Export", "export", tr("Экспорт"), &TMain::TB_ExportClick);
    separator("ToolButton6");
    TB_Exit = button("TB_Exit", "exit", tr("Выход"), &TMain::TB_ExitClick);
}

void TMain::BuildGrid() {
    Mess = new QTableWidget(this);
    Mess->setObjectName(QStringLiteral("Mess"));
    Mess->setGeometry(0, kToolBarHeight, kClientWidth, kGridHeight);
    Mess->setColumnCount(3);
    Mess->setHorizontalHeaderLabels({tr("№"), tr("Описание"), tr("Формат")});
    Mess->setItemDelegate(new MessCellDelegate(Mess));
    Mess->setSelectionBehavior(QAbstractItemView::SelectRows);
    Mess->setSelectionMode(QAbstractItemView::SingleSelection);
    Mess->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid; the row moves with the arrow, Page and Home/End keys.
    Mess->setTabKeyNavigation(false);
    Mess->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Mess->setWordWrap(false);
    Mess->setCornerButtonEnabled(false);

    QHeaderView* header = Mess->horizontalHeader();
    QFont bold = font();
    bold.setBold(true);
    header->setFont(bold);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setFixedHeight(kRowHeight + 1);

    QHeaderView* rows = Mess->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    // The current row is the fragment the commands act on, so it stays the
    // one highlighted row whatever a click on the empty area, a Ctrl+click or
    // a Ctrl+arrow asks of the selection.
    QItemSelectionModel* selection = Mess->selectionModel();
    const auto keepCurrentRowSelected = [this, selection] {
        const int row = Mess->currentRow();
        if (row >= 0 && !(selection->isRowSelected(row) && selection->selectedRows().size() == 1)) {
            Mess->selectRow(row);
        }
    };
    connect(selection, &QItemSelectionModel::selectionChanged, this, keepCurrentRowSelected);
    connect(selection, &QItemSelectionModel::currentRowChanged, this, keepCurrentRowSelected);

    // A double-click anywhere on the grid, its header included, counts.
    Mess->viewport()->installEventFilter(this);
    header->viewport()->installEventFilter(this);
}

void TMain::BuildPanel() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, kToolBarHeight + kGridHeight, kClientWidth, kPanelHeight);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(8, 7, 313, 42);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    Label2 = new QLabel(QStringLiteral("Copyright"), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(16, 20);
    Label2->adjustSize();

    Copyright = new QLineEdit(Panel1);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Copyright->setGeometry(72, 16, 233, 21);
    Copyright->setMaxLength(static_cast<int>(COPYRIGHT_WIDTH));
    Copyright->installEventFilter(this);
    // Paste, cut, Delete and undo change the text without a typed character.
    connect(Copyright, &QLineEdit::textEdited, this, [this] { project_.SetModified(true); });
    // A file dropped on the box is meant for the window, not pasted as text.
    Copyright->setAcceptDrops(false);

    auto button = [this](const char* name, const QString& caption, int x,
                         void (TMain::*handler)()) {
        auto* b = new QPushButton(caption, Panel1);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, 15, 75, 25);
        ConnectGuarded(b, &QPushButton::clicked, handler);
        return b;
    };
    BTN_Add = button("BTN_Add", tr("&Добавить"), 328, &TMain::BTN_AddClick);
    BTN_Change = button("BTN_Change", tr("&Изменить"), 416, &TMain::BTN_ChangeClick);
    BTN_Del = button("BTN_Del", tr("&Удалить"), 504, &TMain::BTN_DelClick);
    BB_Play = button("BB_Play", QString(), 587, &TMain::BB_PlayClick);
    BB_Play->setGeometry(587, 15, 25, 25);
    BB_Play->setIconSize(QSize(kGlyphSize, kGlyphSize));
}

void TMain::BuildStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(150);
    StatusPanel0->setAlignment(Qt::AlignCenter);
    StatusPanel1 = new QLabel(StatusBar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1, 1);
}

void TMain::BuildShortcuts() {
    const std::pair<QKeySequence, QAbstractButton*> bindings[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), TB_New},
        {QKeySequence(Qt::CTRL | Qt::Key_O), TB_Open},
        {QKeySequence(Qt::CTRL | Qt::Key_S), TB_Save},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), TB_SaveAs},
        {QKeySequence(Qt::CTRL | Qt::Key_E), TB_Export},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), TB_Exit},
    };
    for (const auto& [keys, button] : bindings) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    }
    Mess->installEventFilter(this);
}

void TMain::FormCreate() {
    playGlyph_ = LoadGlyph(QStringLiteral(":/images/play.xpm"));
    stopGlyph_ = LoadGlyph(QStringLiteral(":/images/stop.xpm"));
    UpdateMessList();
    StatusPanel1->setText(QStringLiteral("   Program version: ") +
                          FromCore(GetVersionInfoValue("FileVersion")));
}

void TMain::SetColumnWidths() {
    Mess->setColumnWidth(0, 26);
    Mess->setColumnWidth(1, frameGeometry().width() - 164);
    Mess->setColumnWidth(2, 110);
}

int TMain::SelectedRow() const {
    return std::max(1, Mess->currentRow() + 1);
}

int TMain::GridRowCount() const {
    return Mess->rowCount() + 1;
}

void TMain::SelectRow(int row) {
    Mess->selectRow(std::clamp(row, 1, Mess->rowCount()) - 1);
}

void TMain::UpdateMessList() {
    const int selected = SelectedRow();
    SetColumnWidths();

    const MemoryImage& image = project_.image();
    const FragmentList list = ListFragments(image);
    const int rowCount = sonabank::GridRowCount(list);
    Mess->setRowCount(rowCount - 1);
    auto setCell = [this](int row, int column, const QString& text) {
        QTableWidgetItem* item = Mess->item(row - 1, column);
        if (!item) {
            item = new QTableWidgetItem;
            Mess->setItem(row - 1, column, item);
        }
        item->setText(text);
    };
    for (int row = 1; row < rowCount; ++row) setCell(row, 0, QString::number(row - 1));
    for (const FragmentRow& fragment : list.rows) {
        setCell(fragment.row, 1, FromCore(Cp1251ToUtf8(fragment.description)));
        // Format code 3 has no name: the cell keeps what it showed before.
        if (fragment.formatName) setCell(fragment.row, 2, FromCore(*fragment.formatName));
    }
    if (list.count() == 0) {
        setCell(1, 1, QString());
        setCell(1, 2, QString());
    }
    SelectRow(selected);

    BTN_Change->setEnabled(list.count() > 0);
    BTN_Del->setEnabled(list.count() > 0);
    BB_Play->setIcon(playGlyph_);
    Copyright->setText(FromCore(CopyrightBoxText(image)));
    StatusPanel0->setText(FromCore(UsageText(UsagePercent(image))));
}

void TMain::RebuildKeepingCopyright() {
    const QString typed = Copyright->text();
    UpdateMessList();
    Copyright->setText(typed);
}

QString TMain::projectFileName() const {
    return QFile::decodeName(QByteArray::fromStdString(project_.fileName()));
}

void TMain::Guarded(const std::function<void()>& handler) {
    RunGuarded(prompts_, this, handler);
}

template <typename Sender, typename Signal>
void TMain::ConnectGuarded(Sender* sender, Signal signal, void (TMain::*handler)()) {
    connect(sender, signal, this, GuardedSlot(prompts_, this, handler));
}

bool TMain::Show(const Outcome& outcome) {
    return ShowOutcome(prompts_, this, outcome);
}

void TMain::MessDblClick() {
    if (BTN_Change->isEnabled()) BTN_ChangeClick();
}

void TMain::BTN_AddClick() {
    AddFromFile(QString());
}

void TMain::AddFromFile(const QString& rawFile) {
    if (const auto refusal = project_.AddRefusal()) {
        ShowRefusal(prompts_, this, *refusal);
        return;
    }
    dialogAddMode = true;
    ShowFragmentDialog(rawFile);
}

void TMain::BTN_ChangeClick() {
    dialogAddMode = false;
    ShowFragmentDialog();
}

void TMain::ShowFragmentDialog(const QString& rawFile) {
    TAddMsg dialog(project_, dialogAddMode ? DialogMode::Add : DialogMode::Change, SelectedRow(),
                   prompts_, this);
    dialog.NameFile->setText(rawFile);
    dialog.exec();
    const std::optional<int> stored = dialog.storedRow();
    RebuildKeepingCopyright();
    if (stored) SelectRow(*stored);
}

void TMain::BTN_DelClick() {
    if (!prompts_.AskYesNo(this, tr("Удалить фрагмент?"))) return;
    project_.Delete(SelectedRow());
    RebuildKeepingCopyright();
}

void TMain::BB_PlayClick() {
    playback_.Press(project_.image(), SelectedRow(), project_.workspace());
}

void TMain::TimerTimer() {
    playback_.TimerTick();
}

bool TMain::ConfirmSaveChanges() {
    if (!project_.modified()) return false;
    switch (prompts_.AskYesNoCancel(this, tr("Сохранить проект?"))) {
        case Prompts::Answer::Cancel:
            return true;
        case Prompts::Answer::Yes:
            TB_SaveClick();
            // A cancelled or failed save must not let the changes go.
            return project_.modified();
        case Prompts::Answer::No:
            break;
    }
    return false;
}

void TMain::TB_NewClick() {
    if (ConfirmSaveChanges()) return;
    project_.New();
    UpdateMessList();
}

void TMain::TB_OpenClick() {
    if (ConfirmSaveChanges()) return;
    OFD.fileName.clear();
    const std::optional<QString> path = prompts_.OpenFile(this, OFD);
    if (path) OpenProjectFile(*path);
}

void TMain::OpenProjectFile(const QString& path) {
    if (Show(project_.Open(PathForCore(path)))) UpdateMessList();
}

void TMain::OpenDroppedFile(const QString& path) {
    if (!IsProjectFile(path)) {
        AddFromFile(path);
        return;
    }
    if (ConfirmSaveChanges()) return;
    OpenProjectFile(path);
}

void TMain::TB_SaveClick() {
    if (project_.fileName().empty()) {
        TB_SaveAsClick();
        return;
    }
    if (project_.ChangedOnDisk() &&
        !prompts_.AskYesNo(
            this, tr("Файл проекта изменён другой программой. Записать поверх её изменений?"))) {
        return;
    }
    Show(project_.Save(Copyright->text().toStdString()));
}

void TMain::TB_SaveAsClick() {
    SFD.fileName.clear();
    const std::optional<QString> path = prompts_.SaveFile(this, SFD);
    if (!path) return;
    Show(project_.SaveAs(PathForCore(*path), Copyright->text().toStdString()));
}

void TMain::TB_ExportClick() {
    if (!BTN_Change->isEnabled()) return;
    const int row = SelectedRow();
    SFD.fileName = FromCore(SuggestedExportName(project_.image(), row));
    const RawFilterScope rawFilter(SFD);
    const std::optional<QString> path = prompts_.SaveFile(this, SFD);
    if (!path) return;
    Show(project_.Export(row, PathForCore(*path)));
}

void TMain::TB_ExitClick() {
    close();
}

void TMain::CopyrightKeyPress() {
    project_.SetModified(true);
}

void TMain::closeEvent(QCloseEvent* event) {
    // A save that ended in an exception keeps the window open.
    bool stay = true;
    Guarded([&] { stay = ConfirmSaveChanges(); });
    if (stay) {
        event->ignore();
        return;
    }
    playback_.Close();
    event->accept();
}

void TMain::showEvent(QShowEvent* event) {
    // The outer width is known only once the window has its frame.
    SetColumnWidths();
    QWidget::showEvent(event);
}

void TMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DraggedFile(*event)) return;
    // Copy, never Move: a file manager deletes the source after a move.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TMain::dropEvent(QDropEvent* event) {
    const std::optional<QString> path = DraggedFile(*event);
    if (!path) return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The drag source waits for the drop to finish; the save question and the
    // fragment dialog come after it has.
    QTimer::singleShot(0, this,
                       [this, file = *path] { Guarded([&] { OpenDroppedFile(file); }); });
}

bool TMain::MessKeyPress(const QKeyEvent& key) {
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    QAbstractButton* button = nullptr;
    switch (key.key()) {
        case Qt::Key_Delete:
            button = BTN_Del;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            button = BTN_Change;
            break;
        case Qt::Key_Space:
            button = BB_Play;
            break;
        case Qt::Key_Home:
        case Qt::Key_End:
            // Rows are selected whole, so these go to the first and last row.
            SelectRow(key.key() == Qt::Key_Home ? 1 : Mess->rowCount());
            return true;
        default:
            return false;
    }
    // A held key presses its button once.
    if (!key.isAutoRepeat()) button->click();
    return true;
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Mess && event->type() == QEvent::KeyPress &&
        MessKeyPress(*static_cast<QKeyEvent*>(event))) {
        return true;
    }
    if (watched == Copyright && event->type() == QEvent::KeyPress &&
        !static_cast<QKeyEvent*>(event)->text().isEmpty()) {
        CopyrightKeyPress();
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               (watched == Mess->viewport() || watched == Mess->horizontalHeader()->viewport())) {
        Guarded([this] { MessDblClick(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace sonabank
