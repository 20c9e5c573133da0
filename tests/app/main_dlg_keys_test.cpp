// Keys, the crop-rectangle toggle and the leaving rules of the main window.
#include "app/folder_tree_ctrl.h"
#include "app/leave_rule.h"
#include "app/main_dlg.h"
#include "app/scripted_prompt.h"
#include "app/thumb_list_ctrl.h"
#include "tests/app/app_harness.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace fotolume::app;

namespace {

const QString kExitPlain = QStringLiteral("Really want to quit?");

class MainWindowKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dlg = std::make_unique<CMainDlg>(fotolume::apptest::WindowOptions(QSize(1280, 1024), &m_prompt));
        m_dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    }

    CScriptedPrompt m_prompt;
    std::unique_ptr<CMainDlg> m_dlg;
};

} // namespace

TEST_F(MainWindowKeys, EnterAndEscapeNeverCloseTheWindow)
{
    QSignalSpy finished(m_dlg.get(), &QDialog::finished);
    QSignalSpy sync(m_dlg.get(), &CMainDlg::synchronizeRequested);
    m_dlg->Button(ids::kSynchronize)->setFocus();
    for (QWidget* target : std::initializer_list<QWidget*>{m_dlg.get(), m_dlg->Button(1001), m_dlg->Tree(), m_dlg->AlbumList()}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(target, Qt::Key_Escape);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(sync.count(), 0); // Enter did not press the focused button either
    EXPECT_TRUE(m_prompt.History().isEmpty());
}

TEST_F(MainWindowKeys, AcceleratorsRunTheirCommandsWhileEnabled)
{
    QSignalSpy sync(m_dlg.get(), &CMainDlg::synchronizeRequested);
    QSignalSpy del(m_dlg.get(), &CMainDlg::deleteRequested);
    QSignalSpy all(m_dlg.get(), &CMainDlg::selectAllRequested);
    QSignalSpy rotate(m_dlg.get(), &CMainDlg::rotateRequested);
    QSignalSpy zoom(m_dlg.get(), &CMainDlg::zoomRequested);

    QWidget* tree = m_dlg->Tree();
    QTest::keyClick(tree, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(m_dlg->AlbumList(), Qt::Key_Delete);
    QTest::keyClick(m_dlg->AlbumList(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(tree, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(tree, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(tree, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(tree, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(tree, Qt::Key_Plus); // the main keyboard's plus is no accelerator
    QTest::keyClick(tree, Qt::Key_S);    // nor is a plain S

    EXPECT_EQ(sync.count(), 1);
    EXPECT_EQ(del.count(), 1);
    EXPECT_EQ(all.count(), 1);
    ASSERT_EQ(rotate.count(), 2);
    EXPECT_TRUE(rotate.at(0).at(0).toBool());
    EXPECT_FALSE(rotate.at(1).at(0).toBool());
    ASSERT_EQ(zoom.count(), 2);
    EXPECT_EQ(zoom.at(0).at(0).toInt(), 1);
    EXPECT_EQ(zoom.at(1).at(0).toInt(), -1);

    // While a worker runs the commands are disabled, from the keyboard too.
    m_dlg->EnableCommands(false);
    QTest::keyClick(tree, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(m_dlg.get(), Qt::Key_Delete);
    QTest::keyClick(m_dlg.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(sync.count(), 1);
    EXPECT_EQ(del.count(), 1);
    EXPECT_EQ(all.count(), 1);
}

TEST_F(MainWindowKeys, RectToggleNeedsAPictureAndGatesTheZoom)
{
    QSignalSpy mode(m_dlg.get(), &CMainDlg::rectModeChanged);
    QSignalSpy zoom(m_dlg.get(), &CMainDlg::zoomRequested);
    QPushButton* rect = m_dlg->Button(ids::kRect);

    QTest::keyClick(m_dlg.get(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(mode.count(), 0);
    EXPECT_TRUE(m_dlg->IsRectOn());
    EXPECT_EQ(rect->text(), QStringLiteral("Clear"));

    m_dlg->SetCurrentPreviewFile(QStringLiteral("/pictures/a.jpg"));
    QTest::keyClick(m_dlg.get(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(mode.count(), 1);
    EXPECT_FALSE(mode.at(0).at(0).toBool());
    EXPECT_EQ(rect->text(), QStringLiteral("Rect"));
    EXPECT_EQ(rect->toolTip(), QStringLiteral("Draw Rect"));

    m_dlg->Button(ids::kZoomIn)->click();
    QTest::keyClick(m_dlg.get(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(zoom.count(), 0);
    // A language change keeps the button in step with the mode.
    m_dlg->ApplyTexts();
    EXPECT_EQ(rect->text(), QStringLiteral("Rect"));

    rect->click();
    EXPECT_TRUE(m_dlg->IsRectOn());
    EXPECT_EQ(rect->text(), QStringLiteral("Clear"));
    EXPECT_EQ(rect->toolTip(), QStringLiteral("Clear Rect"));
    m_dlg->Button(ids::kZoomIn)->click();
    EXPECT_EQ(zoom.count(), 1);
}

TEST_F(MainWindowKeys, CtrlEExitAndCloseAskToLeaveAndOnlyTheAnswerClosesTheWindow)
{
    QSignalSpy leave(m_dlg.get(), &CMainDlg::leaveRequested);
    QTest::keyClick(m_dlg->Tree(), Qt::Key_E, Qt::ControlModifier);
    m_dlg->Button(ids::kExit)->click();
    m_dlg->close();
    EXPECT_EQ(leave.count(), 3);
    EXPECT_TRUE(m_dlg->isVisible());

    m_dlg->CloseAccepted();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Accepted);
    EXPECT_EQ(leave.count(), 3);
}

TEST(LeaveRule, EachStateAsksItsQuestion)
{
    struct Case {
        AppFlags flags;
        bool answerYes;
        LeaveDecision expected;
        const char* asked; // the start of what the user was asked or told; null: nothing
    };
    const AppFlags batch{.isAddingBatch = true}, reading{.isReading = true}, modified{.isModified = true},
        sending{.isSending = true};
    const Case cases[] = {
        {batch, true, LeaveDecision::Ignore, nullptr},
        {reading, true, LeaveDecision::Stay, "Sending data, Please operate after sending finished!"},
        {modified, false, LeaveDecision::Stay, "The pictures in the Preview Album are not synchronized"},
        {modified, true, LeaveDecision::Close, "The pictures in the Preview Album are not synchronized"},
        {AppFlags{}, true, LeaveDecision::Close, "Really want to quit?"},
        {sending, false, LeaveDecision::Stay, "Stop download and quit?\nThe DPF keeps its old album"},
        {sending, true, LeaveDecision::StopAndClose, "Stop download and quit?\nThe DPF keeps its old album"},
    };
    for (const Case& c : cases) {
        CScriptedPrompt prompt;
        c.answerYes ? prompt.QueueYes() : prompt.QueueNo();
        AppFlags flags = c.flags;
        EXPECT_EQ(DecideLeave(flags, prompt, &DefaultText), c.expected) << c.asked;
        if (c.asked)
            EXPECT_TRUE(prompt.Texts().value(0).startsWith(QString::fromUtf8(c.asked))) << c.asked;
        else
            EXPECT_TRUE(prompt.History().isEmpty());
        EXPECT_EQ(flags.isQuitPending, c.expected == LeaveDecision::StopAndClose);
    }
}

TEST_F(MainWindowKeys, DropsReturnTheWindowToItsRectangleAndReportThePaths)
{
    ASSERT_TRUE(fotolume::apptest::OpenAndWaitForLayout(*m_dlg));
    const QRect home = m_dlg->RestoreRect();
    m_dlg->move(home.topLeft() + QPoint(40, 30));

    QSignalSpy dropped(m_dlg.get(), &CMainDlg::filesDropped);
    Q_EMIT m_dlg->AlbumList()->filesDropped({QStringLiteral("/pictures/A.JPG")});
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toStringList(), QStringList{QStringLiteral("/pictures/A.JPG")});
    EXPECT_EQ(m_dlg->geometry(), home);
}

TEST_F(MainWindowKeys, RightClickOnTheWindowSurfaceOpensTheLanguageMenu)
{
    m_dlg->SetLanguageMenu(QStringLiteral("Language"), {{9002, QStringLiteral("English"), true}});
    QMenu* menu = m_dlg->ContextMenu();

    // Over a button: no menu, and nobody is asked.
    const QPoint onButton = m_dlg->Button(ids::kSave)->geometry().center();
    QContextMenuEvent overButton(QContextMenuEvent::Mouse, onButton, m_dlg->mapToGlobal(onButton));
    QCoreApplication::sendEvent(m_dlg.get(), &overButton);
    EXPECT_FALSE(menu->isVisible());

    // Over the preview's frame: the controller is asked, which opens it unless reading or sending.
    QSignalSpy asked(m_dlg.get(), &CMainDlg::contextMenuRequested);
    const QPoint onFrame = m_dlg->Control(ids::kPreviewGroup)->geometry().topLeft() + QPoint(5, 30);
    QContextMenuEvent idle(QContextMenuEvent::Mouse, onFrame, m_dlg->mapToGlobal(onFrame));
    QCoreApplication::sendEvent(m_dlg.get(), &idle);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toPoint(), m_dlg->mapToGlobal(onFrame));
    EXPECT_FALSE(menu->isVisible());
}
