#include "app/about_dlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/dialog_units.h"

namespace fotolume::app {

namespace {

const QString kProductName = QStringLiteral("Fotolume");

}  // namespace

CAboutDlg::CAboutDlg(const AboutInfo& info, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("About"));
    const CDialogUnits du(fontMetrics());
    setFixedSize(du.Size(238, 100));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/fotolume.png")).pixmap(32, 32));
    icon->setGeometry(QRect(du.X(11), du.Y(17), 32, 32));

    QLabel* name = AddLabel(about_ids::kProductName, du.Rect(40, 10, 119, 8), kProductName);
    QLabel* notice = AddLabel(about_ids::kNotice, du.Rect(40, 23, 183, 11), {});
    QLabel* flash = AddLabel(about_ids::kFlashSize, du.Rect(40, 41, 183, 11), QStringLiteral("Flash Size:"));
    QLabel* firmware = AddLabel(about_ids::kFirmware, du.Rect(40, 59, 183, 11), QStringLiteral("Firmware Ver:"));
    QLabel* link = AddLabel(about_ids::kCorpLink, du.Rect(40, 74, 183, 11), {});

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::number(about_ids::kOk));
    ok->setGeometry(du.Rect(181, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    link->setText(info.corpLink);
    link->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QString caption = QStringLiteral("About ") + kProductName;
    setWindowTitle(caption.replace(kProductName, info.title));
    name->setText(name->text().replace(kProductName, info.title));
    notice->setText(info.copyRightTips);
    flash->setText(QStringLiteral("Flash Size: %1 KB").arg(info.flashSizeKB));
    firmware->setText(QStringLiteral("Firmware Ver: %1").arg(info.firmwareVersion));
}

QLabel* CAboutDlg::AddLabel(int id, const QRect& rect, const QString& templateText) {
    // Texts come from the settings file: never read them as markup.
    auto* label = new QLabel(templateText, this);
    label->setObjectName(QString::number(id));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(rect);
    return label;
}

QLabel* CAboutDlg::Label(int id) const { return findChild<QLabel*>(QString::number(id), Qt::FindDirectChildrenOnly); }

QString AboutMenuText(const TextLookup& lookup, const QString& title) {
    const QString about = lookup ? lookup("ABOUT_SYSMENU", "About") : QStringLiteral("About");
    return QStringLiteral("%1 %2(&A)...").arg(about, title);
}

}  // namespace fotolume::app
