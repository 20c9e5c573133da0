// CAboutDlg, the About box: product title, notice, flash size, firmware version and the maker's address.
#pragma once

#include <QDialog>
#include <QString>

#include "app/text_lookup.h"

class QLabel;

namespace fotolume::app {

// What the About box shows, filled in by the window when it opens.
struct AboutInfo {
    QString title = QStringLiteral("Fotolume");  // the product title (Titlename)
    QString corpLink;                            // the maker's web address (CorpLink)
    QString copyRightTips;                       // the notice line (CopyRightTips); may be empty
    int flashSizeKB = 0;                         // 0 while no frame has been read
    QString firmwareVersion;
};

// Control ids of the About box.
namespace about_ids {
constexpr int kOk = 1;
constexpr int kFlashSize = 1047;
constexpr int kFirmware = 1048;
constexpr int kCorpLink = 1050;
constexpr int kProductName = 1064;
constexpr int kNotice = 1066;
}  // namespace about_ids

// The About box: product title, notice, flash size, firmware version and the
// maker's address. Every text is shown as plain text.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(const AboutInfo& info, QWidget* parent = nullptr);

    QLabel* Label(int id) const;

private:
    QLabel* AddLabel(int id, const QRect& rect, const QString& templateText);
};

// The window menu's entry for the About box: "<ABOUT_SYSMENU> <title>(&A)...".
QString AboutMenuText(const TextLookup& lookup, const QString& title);

}  // namespace fotolume::app
