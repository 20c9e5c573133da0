#include "app/main_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/dialog_prompt.h"
#include "app/drop_queue.h"
#include "app/folder_tree_ctrl.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"

static void InitAppResources() { Q_INIT_RESOURCE(app_icons); }

namespace fotolume::app {

namespace {

constexpr int kAnimationPeriodMs = 10;

QString IdName(int id) { return QString::number(id); }

}  // namespace

CMainDlg::CMainDlg(MainDlgOptions options, QWidget* parent)
    : QDialog(parent),
      m_lookup(std::move(options.lookup)),
      m_screen(options.screenSize),
      m_title(QStringLiteral("Fotolume")) {
    InitAppResources();
    if (!m_lookup) m_lookup = &DefaultText;
    if (options.prompt) {
        m_prompt = options.prompt;
    } else {
        m_ownPrompt = std::make_unique<CDialogPrompt>(this);
        m_prompt = m_ownPrompt.get();
    }
    if (m_screen.isEmpty()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        m_screen = screen ? screen->size() : QSize(kFullWidth, kFullHeight);
    }

    setWindowTitle(m_title);
    setWindowIcon(QIcon(QStringLiteral(":/icons/fotolume.png")));
    setAcceptDrops(true);
    setSizeGripEnabled(false);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    CreateControls();
    if (!options.computerRoots.isEmpty()) m_tree->SetComputerRoots(options.computerRoots);
    if (!options.desktopFolder.isEmpty() || !options.picturesFolder.isEmpty())
        m_tree->SetSpecialFolders(options.desktopFolder, options.picturesFolder);
    m_tree->BuildRoots();
    ConnectCommands();

    const MainLayout layout = ComputeMainLayout(m_screen, TextHeightT(), m_statusBar->sizeHint().height());
    m_fullSize = layout.window;
    resize(m_fullSize);
    PlaceControls(layout);
    SetStatusIcon(false);
    SetTotals({});
    ApplyTexts();

    // Enter, Escape and the accelerators are looked at before any control sees them.
    qApp->installEventFilter(this);
}

CMainDlg::~CMainDlg() { qApp->removeEventFilter(this); }

QPushButton* CMainDlg::AddButton(int id, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(IdName(id));
    button->setAutoDefault(false);
    button->setDefault(false);
    m_buttons.insert(id, button);
    return button;
}

void CMainDlg::CreateControls() {
    // Group boxes first, so they lie under the controls they frame.
    m_previewGroup = new QGroupBox(this);
    m_previewGroup->setObjectName(IdName(ids::kPreviewGroup));
    m_albumGroup = new QGroupBox(QStringLiteral("Pictures In Preview Album:"), this);
    m_albumGroup->setObjectName(IdName(ids::kAlbumGroup));

    m_tree = new CFolderTreeCtrl(this);
    m_tree->setObjectName(IdName(ids::kFolderTree));

    auto* placeholder = new QFrame(this);
    placeholder->setFrameShape(QFrame::StyledPanel);
    placeholder->resize(505, 355);
    m_preview = placeholder;
    m_preview->setObjectName(IdName(ids::kPreview));

    AddButton(ids::kZoomIn, "+");
    AddButton(ids::kZoomOut, "-");
    AddButton(ids::kRect, "Rect");
    AddButton(ids::kRotateLeft, "RotateL");
    AddButton(ids::kRotateRight, "RotateR");
    AddButton(ids::kAdd, "Add");
    AddButton(ids::kSetting, "Setting");
    AddButton(ids::kSave, "Save");
    AddButton(ids::kSaveAll, "SaveAll");
    AddButton(ids::kSelectAll, "All");
    AddButton(ids::kDelete, "Delete");
    AddButton(ids::kSynchronize, "Synchronize");
    AddButton(ids::kExit, "Exit");

    m_list = new CThumbListCtrl(this);
    m_list->setObjectName(IdName(ids::kAlbumList));

    m_totals = new QLabel(QStringLiteral("Total Pictures:\n 0 / 0"), this);
    m_totals->setObjectName(IdName(ids::kTotals));
    m_totals->setAlignment(Qt::AlignCenter);

    m_progress = new CTextProgressCtrl(this);
    m_progress->setObjectName(IdName(ids::kProgress));

    m_statusIcon = new QLabel(this);
    m_statusIcon->setObjectName(IdName(ids::kStatusIcon));
    m_statusIcon->setAlignment(Qt::AlignCenter);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(IdName(ids::kStatusBar));
    m_statusBar->setSizeGripEnabled(false);
    m_statusLeft = new QLabel(m_statusBar);
    m_statusLeft->setFixedWidth(100);
    m_statusRight = new QLabel(m_statusBar);
    m_statusBar->addWidget(m_statusLeft);
    m_statusBar->addWidget(m_statusRight, 1);

    m_contextMenu = new QMenu(this);
    m_aboutAction = new QAction(this);
    m_contextMenu->addAction(m_aboutAction);
}

void CMainDlg::ConnectCommands() {
    connect(m_aboutAction, &QAction::triggered, this, &CMainDlg::aboutRequested);
    connect(Button(ids::kSynchronize), &QPushButton::clicked, this, &CMainDlg::synchronizeRequested);
    connect(Button(ids::kDelete), &QPushButton::clicked, this, &CMainDlg::deleteRequested);
    connect(Button(ids::kSelectAll), &QPushButton::clicked, this, &CMainDlg::selectAllRequested);
    connect(Button(ids::kAdd), &QPushButton::clicked, this, &CMainDlg::addRequested);
    connect(Button(ids::kSave), &QPushButton::clicked, this, &CMainDlg::saveRequested);
    connect(Button(ids::kSaveAll), &QPushButton::clicked, this, &CMainDlg::saveAllRequested);
    connect(Button(ids::kSetting), &QPushButton::clicked, this, &CMainDlg::settingRequested);
    connect(Button(ids::kExit), &QPushButton::clicked, this, &CMainDlg::RequestLeave);
    connect(Button(ids::kRect), &QPushButton::clicked, this, &CMainDlg::ToggleRect);
    connect(Button(ids::kZoomIn), &QPushButton::clicked, this, [this] {
        if (m_rectOn) Q_EMIT zoomRequested(1);
    });
    connect(Button(ids::kZoomOut), &QPushButton::clicked, this, [this] {
        if (m_rectOn) Q_EMIT zoomRequested(-1);
    });
    connect(Button(ids::kRotateLeft), &QPushButton::clicked, this, [this] { Q_EMIT rotateRequested(true); });
    connect(Button(ids::kRotateRight), &QPushButton::clicked, this, [this] { Q_EMIT rotateRequested(false); });

    connect(m_tree, &CFolderTreeCtrl::pictureChosen, this, &CMainDlg::treePictureChosen);
    connect(m_tree, &CFolderTreeCtrl::addRequested, this, &CMainDlg::treeAddRequested);
    connect(m_list, &CThumbListCtrl::pictureChosen, this, &CMainDlg::albumClicked);
    connect(m_list, &CThumbListCtrl::filesDropped, this, &CMainDlg::OnDrop);
}

QWidget* CMainDlg::Control(int id) const {
    if (id == ids::kPreview) return m_preview;
    return findChild<QWidget*>(IdName(id), Qt::FindDirectChildrenOnly);
}

void CMainDlg::SetPreviewWidget(QWidget* preview) {
    if (!preview || preview == m_preview) return;
    const QRect place = m_preview->geometry();
    const bool enabled = m_preview->isEnabled();
    preview->setParent(this);
    preview->setObjectName(IdName(ids::kPreview));
    preview->setGeometry(place);
    preview->setEnabled(enabled);
    preview->show();
    delete m_preview;
    m_preview = preview;
}

void CMainDlg::SetTextLookup(TextLookup lookup) { m_lookup = lookup ? std::move(lookup) : TextLookup(&DefaultText); }

void CMainDlg::SetTitle(const QString& title) {
    m_title = title;
    QString caption = QStringLiteral("Fotolume");
    caption.replace(QStringLiteral("Fotolume"), title);
    setWindowTitle(caption);
    m_aboutAction->setText(AboutMenuText(m_lookup, m_title));
}

int CMainDlg::TextHeightT() const { return 3 * QFontMetrics(font()).height(); }

void CMainDlg::PlaceControls(const MainLayout& layout) {
    for (auto it = layout.controls.constBegin(); it != layout.controls.constEnd(); ++it) {
        if (QWidget* control = Control(it.key())) control->setGeometry(it.value());
    }
}

void CMainDlg::StartOpening() {
    m_animationDone = false;
    m_animatedSize = QSize(0, 0);
    m_stepWidth = 10;
    m_stepHeight = 15;
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(1, 1);
    move((m_screen.width() - 1) / 2, (m_screen.height() - 1) / 2);
    m_animationTimer.start(kAnimationPeriodMs, this);
}

void CMainDlg::AnimationStep() {
    if (m_animatedSize.width() >= m_fullSize.width()) m_stepWidth = 0;
    if (m_animatedSize.height() >= m_fullSize.height()) m_stepHeight = 0;
    if (m_stepWidth == 0 && m_stepHeight == 0) {
        m_animationTimer.stop();
        m_animationDone = true;
        m_restoreRect = geometry();
        update();
        return;
    }
    m_animatedSize = QSize(std::min(m_animatedSize.width() + m_stepWidth, m_fullSize.width()),
                           std::min(m_animatedSize.height() + m_stepHeight, m_fullSize.height()));
    const QSize shown(std::max(1, m_animatedSize.width()), std::max(1, m_animatedSize.height()));
    resize(shown);
    move((m_screen.width() - shown.width()) / 2, (m_screen.height() - shown.height()) / 2);
}

void CMainDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_animationTimer.timerId()) {
        AnimationStep();
        return;
    }
    QDialog::timerEvent(event);
}

void CMainDlg::ApplyLayout() {
    const bool narrow = m_screen.width() < kWideScreenWidth;
    const QSize before = size();
    const MainLayout layout = ComputeMainLayout(m_screen, TextHeightT(), m_statusBar->sizeHint().height());
    setFixedSize(layout.window);
    move(ComputeLayoutPosition(m_screen, before, narrow));
    PlaceControls(layout);
    SetStatusIcon(m_iconAttached);
    // The bar moves to the new bottom edge; what it says (a read may have ended already) stays.
    const QString status = StatusText();
    RecreateStatusBar();
    ShowStatus(status);
    m_layoutDone = true;
    update();
    m_restoreRect = geometry();
}

void CMainDlg::paintEvent(QPaintEvent* event) {
    if (m_animationDone && !m_layoutDone) ApplyLayout();
    QDialog::paintEvent(event);
}

void CMainDlg::RestoreWindowRect() {
    if (m_restoreRect.isValid()) setGeometry(m_restoreRect);
}

void CMainDlg::BringToFront() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void CMainDlg::EnableCommands(bool on) {
    m_tree->setEnabled(on);
    m_list->setEnabled(on);
    m_preview->setEnabled(on);
    for (auto it = m_buttons.constBegin(); it != m_buttons.constEnd(); ++it) {
        if (it.key() != ids::kExit) it.value()->setEnabled(on);
    }
}

void CMainDlg::EnableEditing(bool on) {
    for (int id : {ids::kAdd, ids::kDelete, ids::kSynchronize, ids::kSetting}) Button(id)->setEnabled(on);
}

void CMainDlg::ToggleRect() {
    if (m_currentPreviewFile.isEmpty()) return;
    m_rectOn = !m_rectOn;
    Q_EMIT rectModeChanged(m_rectOn);
    SetRectTexts();
}

void CMainDlg::RequestLeave() { Q_EMIT leaveRequested(); }

void CMainDlg::CloseAccepted() {
    m_closing = true;
    accept();
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        event->accept();
        return;
    }
    event->ignore();
    RequestLeave();
}

void CMainDlg::TriggerCommand(int id) {
    // A shortcut acts only when its button does; a disabled command stays
    // disabled from the keyboard too.
    QPushButton* button = Button(id);
    if (button && button->isEnabled()) button->click();
}

bool CMainDlg::TranslateKey(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);

    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return true;
    struct Accelerator {
        int key;
        Qt::KeyboardModifiers mods;
        bool keypad;
        int id;
    };
    static const Accelerator table[] = {
        {Qt::Key_S, Qt::ControlModifier, false, ids::kSynchronize},
        {Qt::Key_Delete, Qt::NoModifier, false, ids::kDelete},
        {Qt::Key_A, Qt::ControlModifier, false, ids::kSelectAll},
        {Qt::Key_E, Qt::ControlModifier, false, ids::kExit},
        {Qt::Key_R, Qt::ControlModifier, false, ids::kRect},
        {Qt::Key_Plus, Qt::NoModifier, true, ids::kZoomIn},
        {Qt::Key_Minus, Qt::NoModifier, true, ids::kZoomOut},
        {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier, false, ids::kRotateLeft},
        {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, false, ids::kRotateRight},
    };
    for (const Accelerator& accel : table) {
        if (accel.key == key && accel.mods == mods && (!accel.keypad || keypad)) {
            TriggerCommand(accel.id);
            return true;
        }
    }
    return false;
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        return TranslateKey(static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

void CMainDlg::PopupContextMenu(const QPoint& globalPos) { m_contextMenu->popup(globalPos); }

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Only the window's own surface opens the menu: its frames, labels and
    // the preview, not the buttons, the tree or the list.
    QWidget* hit = childAt(event->pos());
    for (QWidget* up = hit; up && up != this; up = up->parentWidget()) {
        if (qobject_cast<QPushButton*>(up) || up == m_tree || up == m_list || up == m_progress || up == m_statusBar) {
            event->ignore();
            return;
        }
    }
    Q_EMIT contextMenuRequested(event->globalPos());
    event->accept();
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedPaths(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    OnDrop(paths);
}

void CMainDlg::OnDrop(const QStringList& paths) {
    RestoreWindowRect();
    Q_EMIT filesDropped(paths);
}

}  // namespace fotolume::app
