// The window's interface: which controls exist, under which identifiers, and where they sit.
#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "compact/compact_globals.h"
#include "compact/compact_widgets.h"
#include "compact/file_browser.h"
#include "compact/mac_window.h"

namespace fotolume::compact {

namespace {

template <typename T>
T* Named(T* widget, const char* signature, int number) {
    widget->setObjectName(ControlName(signature, number));
    return widget;
}

QString Text(const char* key, const char* def) { return QString::fromStdString(LookupText(key, def)); }

}  // namespace

void CMacWindow::BuildInterface() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* grid = new QGridLayout(central);

    auto* browser = Named(new CFileBrowser(central), "CLVW", 0);
    browser->setMinimumWidth(240);
    grid->addWidget(browser, 0, 0, 3, 1);

    auto* view = Named(new CPictureView(central), "mVue", 130);
    Named(new CFrameOverlay(view), "rect", 130);
    grid->addWidget(view, 0, 1);

    auto* album = Named(new QTreeWidget(central), "pict", 0);
    album->setColumnCount(1);
    album->setHeaderLabels({QStringLiteral("NAME")});
    album->setRootIsDecorated(false);
    album->setSelectionMode(QAbstractItemView::SingleSelection);
    album->setFixedWidth(200);
    auto* preview = Named(new CSmallPreview(central), "prev", 0);
    preview->setFixedSize(200, 150);
    auto* right = new QVBoxLayout;
    right->addWidget(album, 1);
    right->addWidget(preview);
    grid->addLayout(right, 0, 2);

    // The composition controls under the picture view.
    auto* arrows = new QHBoxLayout;
    auto addArrows = [&](const char* labelSig, const char* sig, int number, int minimum, int maximum) {
        arrows->addWidget(Named(new QLabel(central), labelSig, 0));
        auto* control = Named(new CLittleArrows(central), sig, number);
        control->setRange(minimum, maximum);
        control->setKeyboardTracking(false);
        arrows->addWidget(control);
    };
    addArrows("rote", "rota", 0, -180, 180);
    addArrows("scle", "scal", 1, 1, compose::CCompactTransform::kScaleValueCap);
    addArrows("trax", "trns", 10, 0, 0);
    addArrows("tray", "trns", 11, 0, 0);
    arrows->addWidget(Named(new QCheckBox(central), "suts", 0));
    arrows->addStretch(1);
    grid->addLayout(arrows, 1, 1, 1, 2);

    auto* commands = new QHBoxLayout;
    commands->addWidget(Named(new QPushButton(central), "slet", 0));
    commands->addWidget(Named(new QPushButton(central), "delp", 0));
    commands->addWidget(Named(new QCheckBox(central), "dela", 0));
    commands->addWidget(Named(new QPushButton(central), "load", 0));
    commands->addWidget(Named(new QPushButton(central), "upld", 0));
    // A button that reacts to nothing; kept for its place in the command group.
    auto* open = Named(new QPushButton(central), "open", 0);
    open->setVisible(false);
    commands->addWidget(open);
    commands->addStretch(1);
    grid->addLayout(commands, 2, 1, 1, 2);

    auto* status = new QHBoxLayout;
    status->addWidget(Named(new QLabel(central), "noti", 0));
    auto* notes = Named(new QLabel(central), "devl", 0);
    notes->setMinimumWidth(280);
    status->addWidget(notes, 1);
    status->addWidget(Named(new QLabel(central), "TOTA", 0));
    status->addWidget(Named(new QLabel(central), "TOPI", 0));
    status->addWidget(Named(new QLabel(central), "CURR", 0));
    status->addWidget(Named(new QLabel(central), "CUPI", 0));
    auto* progress = Named(new QProgressBar(central), "dnpr", 0);
    progress->setRange(0, 100);
    progress->setValue(0);
    status->addWidget(progress);
    grid->addLayout(status, 3, 0, 1, 3);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("file"));
    QAction* quit = file->addAction(QStringLiteral("&Quit"));
    quit->setObjectName(QStringLiteral("quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &CMacWindow::OnQuit);
    // The new-document command is taken and does nothing: the window has no document to make.
    auto* newCommand = new QAction(this);
    newCommand->setObjectName(QStringLiteral("new "));
    newCommand->setShortcut(QKeySequence::New);
    addAction(newCommand);
}

void CMacWindow::ApplyTexts() {
    setWindowTitle(Text("WINDOW_TITLE", "MacFotolume"));
    struct Caption {
        const char* signature;
        int number;
        const char* key;
        const char* def;
    };
    static const Caption kCaptions[] = {
        {"slet", 0, "Add", "Add"},
        {"delp", 0, "Delete", "Delete"},
        {"dela", 0, "Delete_All", "Delete All"},
        {"load", 0, "DownLoad", "DownLoad"},
        {"upld", 0, "Save_All", "Save ALL"},
        {"suts", 0, "Fit_Size_For_LCD", "Fit size for LCD"},
        {"rote", 0, "Rotate", "Rotate"},
        {"scle", 0, "Scale:", "Scale"},
        {"trax", 0, "Translate_X", "Translate: X:"},
        {"tray", 0, "Translate_Y", "Translate: Y:"},
        {"noti", 0, "Information:", "Information:"},
        {"TOTA", 0, "Total Picture", "Total Pictures"},
        {"CURR", 0, "Current", "Current:"},
    };
    for (const Caption& caption : kCaptions) {
        QWidget* control = findChild<QWidget*>(ControlName(caption.signature, caption.number));
        if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(Text(caption.key, caption.def));
        if (auto* label = qobject_cast<QLabel*>(control)) label->setText(Text(caption.key, caption.def));
    }
    if (auto* album = findChild<QTreeWidget*>(ControlName("pict", 0))) album->setHeaderLabels({Text("NAME", "NAME")});
    // The menu keeps its keyboard mnemonic in every language.
    if (auto* file = findChild<QMenu*>(QStringLiteral("file"))) {
        file->setTitle(QLatin1Char('&') + Text("MENU_FILE", "File"));
    }
    if (auto* quit = findChild<QAction*>(QStringLiteral("quit"))) quit->setText(QLatin1Char('&') + Text("MENU_QUIT", "Quit"));
}

}  // namespace fotolume::compact
