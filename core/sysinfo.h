// SPDX-License-Identifier: MIT
#pragma once

#include "core/regcodes.h"

#include <string>

namespace ponpira {

class Platform;

// Starting the operating system's system information tool. The About window calls these with
// its platform, and the tests call them with a fake one.
namespace sysinfo {

// Where the operating system records the tool: first its full path, else the folder it is in.
inline const std::u16string toolPathKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline const std::u16string toolPathValue = u"PATH";
inline const std::u16string toolFolderKey = u"SOFTWARE\\Microsoft\\Shared Tools Location";
inline const std::u16string toolFolderValue = u"MSINFO";
inline const std::u16string toolFileName = u"\\MSINFO32.EXE";

// Reading is all the launcher does, and an ordinary user may read these keys but not write
// them.
inline constexpr std::uint32_t keyAccess = keyRead;

// The one thing the player is told when the tool cannot be started, whatever the reason.
inline const std::u16string unavailableMessage = u"現時点ではｼｽﾃﾑ情報を使用できません";

// Reads one registry value as text into keyVal. True when the key opened and the value was
// read. A text value becomes its text, a number its "&h" form, and a value of any other type
// leaves keyVal as it was; on failure keyVal becomes empty. A value with no data at all throws
// InvalidArgumentError, after the key has been closed.
bool getKeyValue(Platform& platform, RegKey keyRoot, const std::u16string& keyName,
                 const std::u16string& subKeyRef, std::u16string& keyVal);

// Finds the tool through the two registry values and starts it; every failure on the way ends
// in the one message box, owned by parent. Never throws.
void startSysInfo(Platform& platform, void* parent);

} // namespace sysinfo
} // namespace ponpira
