#include "compact/mac_prompt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <utility>

#include "compact/compact_globals.h"

namespace fotolume::compact {

bool CDialogMacPrompt::AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                                   const QString& cancelText) {
    QMessageBox box(QMessageBox::Information, message, message, QMessageBox::NoButton, m_parent);
    box.setInformativeText(explanation);
    QPushButton* ok = box.addButton(okText, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(cancelText, QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok;
}

QString CDialogMacPrompt::AskFolder(const QString& title, const QString& actionText) {
    QFileDialog dialog(m_parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, actionText);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void CDialogMacPrompt::Tell(const QString& message, const QString& explanation) {
    QMessageBox box(QMessageBox::Warning, message, message, QMessageBox::NoButton, m_parent);
    box.setInformativeText(explanation);
    box.addButton(QString::fromStdString(LookupText("OK_BUTTON", "OK")), QMessageBox::AcceptRole);
    box.exec();
}

void CScriptedMacPrompt::WhileOpen() {
    if (m_whileAsking) std::exchange(m_whileAsking, nullptr)();
    if (!QCoreApplication::instance()) return;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

bool CScriptedMacPrompt::AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                                     const QString& cancelText) {
    m_asked << message + QLatin1Char('|') + explanation + QLatin1Char('|') + okText + QLatin1Char('|') + cancelText;
    WhileOpen();
    if (m_answers.empty()) return false;
    const bool ok = m_answers.front();
    m_answers.pop_front();
    return ok;
}

QString CScriptedMacPrompt::AskFolder(const QString& title, const QString& actionText) {
    m_asked << QStringLiteral("folder:") + title + QLatin1Char('|') + actionText;
    WhileOpen();
    if (m_folders.empty()) return {};
    QString folder = m_folders.front();
    m_folders.pop_front();
    return folder;
}

void CScriptedMacPrompt::Tell(const QString& message, const QString& explanation) {
    m_asked << QStringLiteral("tell:") + message + QLatin1Char('|') + explanation;
    if (m_echo) std::fprintf(stderr, "MacFotolume: %s\n", qPrintable(QString(explanation).replace(u'\n', u' ')));
    WhileOpen();
}

}  // namespace fotolume::compact
