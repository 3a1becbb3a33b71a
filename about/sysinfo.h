// SPDX-License-Identifier: MIT
#pragma once

#include "platform/regcodes.h"

#include <QString>

class QWidget;

namespace ponpira {

class Platform;

// Starting the operating system's system information tool. No widgets here: the About window
// calls these with its platform, and the tests call them with a fake one.
namespace sysinfo {

// Where the operating system records the tool: first its full path, else the folder it is in.
inline const QString toolPathKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
inline const QString toolPathValue = QStringLiteral("PATH");
inline const QString toolFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString toolFolderValue = QStringLiteral("MSINFO");
inline const QString toolFileName = QStringLiteral("\\MSINFO32.EXE");

// Reading is all the launcher does, and an ordinary user may read these keys but not write
// them.
inline constexpr std::uint32_t keyAccess = keyRead;

// The one thing the player is told when the tool cannot be started, whatever the reason.
inline const QString unavailableMessage = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

// Reads one registry value as text into keyVal. True when the key opened and the value was
// read. A text value becomes its text, a number its "&h" form, and a value of any other type
// leaves keyVal as it was; on failure keyVal becomes empty. A value with no data at all throws
// InvalidArgumentError, after the key has been closed.
bool getKeyValue(Platform& platform, RegKey keyRoot, const QString& keyName,
                 const QString& subKeyRef, QString& keyVal);

// Finds the tool through the two registry values and starts it; every failure on the way ends
// in the one message box, shown over parent. Never throws.
void startSysInfo(Platform& platform, QWidget* parent);

} // namespace sysinfo
} // namespace ponpira
