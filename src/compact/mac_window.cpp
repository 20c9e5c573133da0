#include "compact/mac_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QThread>
#include <QTreeWidget>

#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/compact_widgets.h"
#include "compact/file_browser.h"
#include "compact/mac_prompt.h"
#include "compose/picture_loader.h"
#include "device/comm_usb.h"
#include "device/process_flash.h"

namespace fotolume::compact {

namespace {
constexpr int kFieldLimit = 20;  // bytes a number field takes
}  // namespace

QString ControlName(const char* signature, int number) {
    return QString::fromLatin1(signature) + QString::number(number);
}

int DrawEventType() {
    static const int type = QEvent::registerEventType();
    return type;
}

CMacWindow::CMacWindow(IMacPrompt* prompt, QWidget* parent) : QMainWindow(parent) {
    if (!prompt) {
        m_ownPrompt = std::make_unique<CDialogMacPrompt>(this);
        prompt = m_ownPrompt.get();
    }
    m_prompt = prompt;
    gmyPrompt = prompt;
    gmyView = this;
    m_quit = [] { QCoreApplication::exit(0); };
    BuildInterface();
}

CMacWindow::~CMacWindow() {
    // A worker may still report to the window; it ends before the window goes.
    JoinWorker();
    if (gmyView == this) gmyView = nullptr;
    if (gmyPrompt == m_prompt) gmyPrompt = nullptr;
}

bool CMacWindow::AttachHandlers() {
    auto find = [this](auto*& member, const char* signature, int number) {
        member = findChild<std::remove_reference_t<decltype(*member)>*>(ControlName(signature, number));
        return member != nullptr;
    };
    QPushButton *del = nullptr, *add = nullptr, *open = nullptr, *save = nullptr;
    CFrameOverlay* overlay = nullptr;
    // The wiring order of start-up; a missing control leaves the rest unwired.
    if (!find(del, "delp", 0)) return false;
    connect(del, &QPushButton::clicked, this, [] { MyDelButtonHandler(); });
    if (!find(m_download, "load", 0)) return false;
    connect(m_download, &QPushButton::clicked, this, [] { MyDownLoadButtonHandler(); });
    if (!find(m_rotate, "rota", 0) || !find(m_scale, "scal", 1) || !find(m_translateX, "trns", 10) ||
        !find(m_translateY, "trns", 11)) {
        return false;
    }
    if (!find(add, "slet", 0)) return false;
    connect(add, &QPushButton::clicked, this, [] { MyAddButtonHandler(); });
    if (!find(open, "open", 0)) return false;
    if (!find(m_view, "mVue", 130) || !find(overlay, "rect", 130) || !find(m_preview, "prev", 0)) return false;
    if (!find(m_deleteAll, "dela", 0)) return false;
    connect(m_deleteAll, &QCheckBox::clicked, this, [](bool on) { gmyDeleteAll = on ? 1 : 0; });
    if (!find(m_fit, "suts", 0)) return false;
    if (!find(save, "upld", 0)) return false;
    connect(save, &QPushButton::clicked, this, [] { MyUpLoadButtonHandler(); });
    if (!find(m_browser, "CLVW", 0) || !find(m_album, "pict", 0) || !find(m_notes, "devl", 0) ||
        !find(m_totals, "TOPI", 0) || !find(m_current, "CUPI", 0) || !find(m_progress, "dnpr", 0)) {
        return false;
    }

    connect(m_rotate, &QSpinBox::valueChanged, this, [this](int degrees) {
        m_view->Transform().SetRotation(degrees);
        m_view->update();
    });
    connect(m_scale, &QSpinBox::valueChanged, this, &CMacWindow::OnScale);
    connect(m_translateX, &QSpinBox::valueChanged, this, [this](int x) {
        m_view->Transform().SetTranslateX(x);
        m_view->update();
    });
    connect(m_translateY, &QSpinBox::valueChanged, this, [this](int y) {
        m_view->Transform().SetTranslateY(y);
        m_view->update();
    });
    connect(m_fit, &QCheckBox::clicked, this, [this](bool on) {
        m_scale->SetValueQuietly(m_view->Transform().SetFitSizeForLcd(on));
        UpdateTranslateRanges();
        m_view->update();
    });
    connect(m_view, &CPictureView::FrameChanged, this, &CMacWindow::SyncDrawRect);
    connect(m_browser, &QTreeWidget::itemSelectionChanged, this, &CMacWindow::OnBrowserSelection);
    connect(m_album, &QTreeWidget::itemSelectionChanged, this, &CMacWindow::OnAlbumSelection);

    m_commandGroup = {m_deleteAll, m_fit, open, m_download, m_translateX, m_translateY, save, del, add,
                      m_rotate, m_scale, m_browser, m_album};
    SyncDrawRect();
    return true;
}

void CMacWindow::ListVolumes(const QStringList& roots, const QStringList& frameDevices) {
    if (m_browser) m_browser->ListVolumes(roots, frameDevices);
}

void CMacWindow::WatchDevice(int fd) {
    delete m_notifier;
    m_notifier = nullptr;
    if (fd < 0) return;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [] {
        if (device) device->HandleNotification();
    });
}

void CMacWindow::OnQuit() {
    if (!QuitApplication()) return;
    delete m_notifier;
    m_notifier = nullptr;
    device.reset();
    if (m_quit) m_quit();
}

void CMacWindow::closeEvent(QCloseEvent* event) {
    // The close box asks to quit; the window itself never closes.
    event->ignore();
    OnQuit();
}

bool CMacWindow::event(QEvent* event) {
    if (event->type() != DrawEventType()) return QMainWindow::event(event);
    // A frame removed meanwhile keeps the controls off.
    if (FrameConnected() && m_PtrPF) SetControlPanlEnable(true);
    SetDownLoadPrcess(0);
    RedrawViews();
    return true;
}

void CMacWindow::OnWindowThread(std::function<void()> fn) {
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void CMacWindow::SetNotes(const std::string& text) {
    OnWindowThread([this, text] {
        const QString shown = QString::fromStdString(text);
        if (m_notes) m_notes->setText(shown);
        Q_EMIT NotesShown(shown);
    });
}

void CMacWindow::SetDownLoadPrcess(int percent) {
    OnWindowThread([this, percent] {
        if (m_progress) m_progress->setValue(std::clamp(percent, 0, 100));
        update();
    });
}

void CMacWindow::SetPicNumInfo(const std::string& totals, const std::string& current) {
    OnWindowThread([this, totals = totals.substr(0, kFieldLimit), current = current.substr(0, kFieldLimit)] {
        if (m_totals) m_totals->setText(QString::fromStdString(totals));
        if (m_current) m_current->setText(QString::fromStdString(current));
    });
}

void CMacWindow::SetControlPanlEnable(bool on) {
    OnWindowThread([this, on] {
        for (QWidget* control : m_commandGroup) control->setEnabled(on);
        if (m_download && !m_downloadBlocked.isEmpty()) m_download->setEnabled(false);
    });
}

void CMacWindow::InvalidateMyWindow() {
    // Posted behind every queued update of the worker, so it is handled after them.
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(DrawEventType())));
}

void CMacWindow::ShowAlbumList(AlbumListing listing, AlbumListAfter after) {
    OnWindowThread([this, listing = std::move(listing), after] {
        if (!m_album) return;
        const int count = static_cast<int>(listing.names.size());
        {
            const QSignalBlocker blocker(m_album);
            m_album->clear();
            for (int i = 0; i < count; ++i) {
                auto* item = new QTreeWidgetItem(m_album, {QString::fromStdString(listing.names[size_t(i)])});
                item->setData(0, Qt::UserRole, i + 1);
            }
            // The current picture stays highlighted and in the small preview; none current, none shown.
            const bool current = listing.current >= 1 && listing.current <= count;
            if (current) {
                QTreeWidgetItem* item = m_album->topLevelItem(listing.current - 1);
                m_album->setCurrentItem(item);
                item->setSelected(true);
            }
            if (m_preview) {
                m_preview->SetPicturePath(current ? QString::fromStdString(listing.files[size_t(listing.current - 1)])
                                                  : QString());
            }
        }
        if (count == 0) return;
        QTreeWidgetItem* last = m_album->topLevelItem(count - 1);
        if (after == AlbumListAfter::kScrollToLast) m_album->scrollToItem(last);
        if (after == AlbumListAfter::kSelectLast) {
            m_album->setCurrentItem(last);
            last->setSelected(true);
        }
    });
}

void CMacWindow::ReleasePreviewImages() {
    OnWindowThread([this] {
        if (m_preview) m_preview->SetPicturePath({});
        if (m_view) m_view->ClearPicture();
    });
}

void CMacWindow::SetPanelFrame(int width, int height) {
    OnWindowThread([this, width, height] {
        if (!m_view) return;
        m_view->Transform().SetPanelSize(width, height);
        m_preview->SetPanel(m_view->Transform().PanelSize());
        SyncDrawRect();
        // The picture the browser still highlights is composed for this panel.
        ShowBrowserSelection();
        RedrawViews();
    });
}

void CMacWindow::SetDownloadBlocked(const std::string& reason) {
    OnWindowThread([this, reason = QString::fromStdString(reason)] {
        m_downloadBlocked = reason;
        if (!m_download) return;
        m_download->setToolTip(reason);
        if (!reason.isEmpty()) m_download->setEnabled(false);
    });
}

void CMacWindow::ClearDeleteAll() {
    OnWindowThread([this] {
        if (m_deleteAll) m_deleteAll->setChecked(false);
    });
}

void CMacWindow::RedrawViews() {
    OnWindowThread([this] {
        if (m_view) m_view->update();
        for (QWidget* child : m_view ? m_view->findChildren<QWidget*>() : QList<QWidget*>()) child->update();
        if (m_preview) m_preview->update();
    });
}

void CMacWindow::ShowPicture(const QImage& picture, int browserIndex) {
    OnWindowThread([this, picture, browserIndex] {
        const QRectF frame = m_view->Transform().DrawRect();
        m_view->SetPicture(picture);
        m_view->Transform().SetDrawRect(frame);
        AfterPictureSelected();
        m_currentBrowserItem = browserIndex;
    });
}

void CMacWindow::MarkNotPicture(int browserIndex) {
    OnWindowThread([this, browserIndex] { m_browser->MarkNotPicture(browserIndex); });
}

void CMacWindow::AdvanceBrowser() {
    OnWindowThread([this] {
        const int next = m_browser->NextPictureAfter(m_currentBrowserItem);
        if (next >= 0) m_browser->SelectOnly(next);
    });
}

void CMacWindow::Ask(std::function<void()> question) {
    OnWindowThread([this, question = std::move(question)]() mutable {
        m_waitingQuestions.push_back(std::move(question));
        // Questions never stack: one handed over while another is open (its box runs the event loop)
        // comes up once that one is answered.
        if (m_questionOpen) return;
        m_questionOpen = true;
        while (!m_waitingQuestions.empty()) {
            std::function<void()> next = std::move(m_waitingQuestions.front());
            m_waitingQuestions.pop_front();
            next();
        }
        m_questionOpen = false;
    });
}

void CMacWindow::CarryOutPending() { QCoreApplication::sendPostedEvents(this); }

QImage CMacWindow::ComposedPicture() const { return m_view ? m_view->ComposedPicture() : QImage(); }

compose::CCompactTransform CMacWindow::Transform() const {
    return m_view ? m_view->Transform() : compose::CCompactTransform();
}

std::vector<int> CMacWindow::SelectedPictureItems() const {
    return m_browser ? m_browser->SelectedPictureItems() : std::vector<int>();
}

std::string CMacWindow::BrowserItemPath(int browserIndex) const {
    return m_browser->Item(browserIndex).path.toStdString();
}

bool CMacWindow::LoadIntoView(int browserIndex) {
    const QImage picture = compose::LoadSourcePicture(m_browser->Item(browserIndex).path);
    if (picture.isNull()) {
        m_browser->MarkNotPicture(browserIndex);
        SetNotes(LookupText("CANNOT_PROCESS_TIPS", "Couldn't Process!"));
        return false;
    }
    m_view->SetPicture(picture);
    AfterPictureSelected();
    m_currentBrowserItem = browserIndex;
    return true;
}

void CMacWindow::OnBrowserSelection() {
    if (gmyIsTransferData) return;
    ShowBrowserSelection();
}

void CMacWindow::ShowBrowserSelection() {
    if (!m_browser || !m_view) return;
    const int index = m_browser->SelectedFileForView();
    if (index >= 0 && m_browser->Item(index).possiblyPicture && LoadIntoView(index)) return;
    m_view->ClearPicture();
}

// The controls follow a newly selected picture: no turn, no shift, fitted to the panel.
void CMacWindow::AfterPictureSelected() {
    const compose::CCompactTransform& transform = m_view->Transform();
    m_rotate->SetValueQuietly(0);
    m_fit->setChecked(true);
    m_scale->SetValueQuietly(transform.ScaleValue());
    UpdateTranslateRanges();
    m_translateX->SetValueQuietly(0);
    m_translateY->SetValueQuietly(0);
    SyncDrawRect();
}

void CMacWindow::OnScale(int value) {
    const int shown = m_view->Transform().SetScaleValue(value);
    if (shown != value) m_scale->SetValueQuietly(shown);
    UpdateTranslateRanges();
    m_view->update();
}

void CMacWindow::UpdateTranslateRanges() {
    const compose::CCompactTransform& transform = m_view->Transform();
    m_translateX->SetRangeQuietly(-transform.TranslateRangeX(), transform.TranslateRangeX());
    m_translateY->SetRangeQuietly(-transform.TranslateRangeY(), transform.TranslateRangeY());
    m_translateX->SetValueQuietly(transform.TranslateX());
    m_translateY->SetValueQuietly(transform.TranslateY());
}

void CMacWindow::SyncDrawRect() {
    if (!m_view) return;
    const QRectF frame = m_view->Transform().DrawRect();
    gmyDrawrect = {static_cast<float>(frame.x()), static_cast<float>(frame.y()), static_cast<float>(frame.width()),
                   static_cast<float>(frame.height())};
}

void CMacWindow::OnAlbumSelection() {
    const QList<QTreeWidgetItem*> selected = m_album->selectedItems();
    if (!gmyPictureData) return;
    if (selected.isEmpty()) {
        // Nothing highlighted, nothing current: Delete then takes the last picture, as it says.
        gmyCurrentSelectItem = 0;
        UpdateInfo();
        m_preview->SetPicturePath({});
        return;
    }
    const int k = selected.constFirst()->data(0, Qt::UserRole).toInt();
    if (k < 1 || k > gmyPictureData->count) return;
    gmyCurrentSelectItem = k;
    UpdateInfo();
    m_preview->SetPicturePath(QString::fromStdString(GetNode(*gmyPictureData, k)->file));
}

}  // namespace fotolume::compact
