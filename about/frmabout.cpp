#include "about/frmabout.h"

#include "app/appinfo.h"
#include "app/fonts.h"

namespace ponpira {

frmAbout::frmAbout(WindowSet& windows, Platform& platform, QWidget* parent)
    : QDialog(parent), windows_(windows), platform_(platform) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(AppInfo::Title() + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(appIcon());
    (void)windows_;
    (void)platform_;
}

} // namespace ponpira
