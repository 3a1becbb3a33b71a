// SPDX-License-Identifier: MIT
#include "core/frmabout.h"

#include "core/appinfo.h"
#include "core/convert.h"
#include "core/sysinfo.h"
#include "core/windowset.h"

namespace ponpira::core {

frmAbout::frmAbout(WindowSet& windows, Platform& platform, const frmAboutControls& controls)
    : windows_(windows), platform_(platform), window_(controls.window),
      lblVersion(controls.lblVersion), lblTitle(controls.lblTitle) {}

void frmAbout::Form_Load() {
    window_.setCaption(AppInfo::Title() + u"のﾊﾞｰｼﾞｮﾝ情報");
    const Int16 major = AppInfo::Major;
    const Int16 minor = AppInfo::Minor;
    const Int16 revision = AppInfo::Revision;
    lblVersion.setText(u"ﾊﾞｰｼﾞｮﾝ " + toText(major) + u'.' + toText(minor) + u'.' +
                       toText(revision));
    lblTitle.setText(AppInfo::Title());
}

void frmAbout::cmdOK_Click() {
    windows_.unload(window_);
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::StartSysInfo() {
    sysinfo::startSysInfo(platform_, window_.handle());
}

bool frmAbout::GetKeyValue(RegKey KeyRoot, const std::u16string& KeyName,
                           const std::u16string& SubKeyRef, std::u16string& KeyVal) {
    return sysinfo::getKeyValue(platform_, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

} // namespace ponpira::core
