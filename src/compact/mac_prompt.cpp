#include "mac_prompt.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

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

bool CScriptedMacPrompt::AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                                     const QString& cancelText) {
    m_asked << message + QLatin1Char('|') + explanation + QLatin1Char('|') + okText + QLatin1Char('|') + cancelText;
    if (m_whileAsking) std::exchange(m_whileAsking, nullptr)();
    if (m_answers.empty()) return false;
    const bool ok = m_answers.front();
    m_answers.pop_front();
    return ok;
}

QString CScriptedMacPrompt::AskFolder(const QString& title, const QString& actionText) {
    m_asked << QStringLiteral("folder:") + title + QLatin1Char('|') + actionText;
    if (m_folders.empty()) return {};
    QString folder = m_folders.front();
    m_folders.pop_front();
    return folder;
}

}  // namespace fotolume::compact
