#include "app/dialog_prompt.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace fotolume::app {

namespace {

// A save dialog whose names typed without an extension take the one of the
// chosen filter ("jpg files (*.JPG)" gives ".JPG"), else the default one;
// the overwrite question then asks about the name really written.
class CSaveFileDialog : public QFileDialog {
public:
    CSaveFileDialog(QWidget* owner, QString defaultExtension)
        : QFileDialog(owner), m_defaultExtension(std::move(defaultExtension)) {}

protected:
    void accept() override {
        static const QRegularExpression firstPattern(QStringLiteral("\\*\\.(\\w+)"));
        const QRegularExpressionMatch match = firstPattern.match(selectedNameFilter());
        setDefaultSuffix(match.hasMatch() ? match.captured(1) : m_defaultExtension);
        QFileDialog::accept();
    }

private:
    QString m_defaultExtension;
};

}  // namespace

CDialogPrompt::CDialogPrompt(QWidget* owner) : m_owner(owner) {}

QString CDialogPrompt::Caption(const QString& caption) const {
    if (!caption.isEmpty()) return caption;
    if (m_owner) return m_owner->window()->windowTitle();
    return QCoreApplication::applicationName();
}

void CDialogPrompt::Message(const QString& text, const QString& caption, Icon icon) {
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
        case Icon::None:
            break;
        case Icon::Information:
            boxIcon = QMessageBox::Information;
            break;
        case Icon::Exclamation:
            boxIcon = QMessageBox::Warning;
            break;
        case Icon::Error:
            boxIcon = QMessageBox::Critical;
            break;
    }
    QMessageBox box(boxIcon, Caption(caption), text, QMessageBox::Ok, m_owner);
    box.exec();
}

bool CDialogPrompt::AskYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Question, Caption({}), text, QMessageBox::Yes | QMessageBox::No, m_owner);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

IPrompt::Answer CDialogPrompt::AskYesNoCancel(const QString& text) {
    QMessageBox box(QMessageBox::Question, Caption({}), text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    m_owner);
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

QString CDialogPrompt::AskSaveFile(const SaveFileRequest& request) {
    CSaveFileDialog dialog(m_owner, request.defaultExtension);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    if (!request.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString CDialogPrompt::AskFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(m_owner, title, QString());
}

std::optional<QColor> CDialogPrompt::AskColor(const QColor& initial) {
    QColorDialog dialog(initial, m_owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedColor();
}

}  // namespace fotolume::app
