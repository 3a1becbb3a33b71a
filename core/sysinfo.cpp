// SPDX-License-Identifier: MIT
#include "core/sysinfo.h"

#include "core/appinfo.h"
#include "core/convert.h"
#include "core/errors.h"
#include "core/platform.h"
#include "core/regvalue.h"

#include <exception>

namespace ponpira::sysinfo {

namespace {

// Closes an opened key on every way out of getKeyValue, the thrown error included.
class KeyCloser {
  public:
    explicit KeyCloser(Platform& platform) : platform_(platform) {}
    ~KeyCloser() {
        if (key != 0)
            platform_.regCloseKey(key);
    }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

    RegKey key = 0;

  private:
    Platform& platform_;
};

} // namespace

bool getKeyValue(Platform& platform, RegKey keyRoot, const std::u16string& keyName,
                 const std::u16string& subKeyRef, std::u16string& keyVal) {
    KeyCloser keyHandle(platform);
    RegKey opened = 0;
    if (platform.regOpenKey(keyRoot, keyName, keyAccess, opened) != errorSuccess) {
        keyVal.clear();
        return false;
    }
    keyHandle.key = opened;

    std::string valueBuffer(regValueBufferSize, '\0');
    std::uint32_t valueType = 0;
    std::uint32_t dataSize = std::uint32_t(regValueBufferSize);
    const std::int32_t status =
        platform.regQueryValue(keyHandle.key, subKeyRef, valueType, valueBuffer, dataSize);

    const auto* bytes = reinterpret_cast<const unsigned char*>(valueBuffer.data());
    const RegValueRead read =
        keepValueBytes(status, valueType, {bytes, valueBuffer.size()}, dataSize);
    switch (read.use) {
    case RegValueUse::Failed:
        keyVal.clear();
        return false;
    case RegValueUse::NoData:
        throw InvalidArgumentError();
    case RegValueUse::Text:
        keyVal = platform.fromAnsi(read.bytes);
        return true;
    case RegValueUse::Number:
        keyVal = fromAscii(numberText(read.bytes));
        return true;
    case RegValueUse::Keep:
        return true;
    }
    return true;
}

namespace {

// The two lookups in their order, the file search for the second, and the start. False for
// every way that does not end in a started tool.
bool findAndStartTool(Platform& platform) {
    std::u16string toolPath;
    try {
        if (!getKeyValue(platform, hkeyLocalMachine, toolPathKey, toolPathValue, toolPath)) {
            if (!getKeyValue(platform, hkeyLocalMachine, toolFolderKey, toolFolderValue, toolPath))
                return false;
            // Joined as recorded: a folder that ends in a separator gives a doubled one,
            // which Windows accepts.
            if (!platform.fileExists(toolPath + toolFileName))
                return false;
            toolPath += toolFileName;
        }
        // The first value is trusted without a look at the disk: a wrong path fails here.
        return platform.startProgram(toolPath);
    } catch (const std::exception&) {
        // Whatever went wrong, the player learns only that the tool is not available.
        return false;
    }
}

} // namespace

void startSysInfo(Platform& platform, void* parent) {
    if (!findAndStartTool(platform))
        platform.messageBox(parent, unavailableMessage, AppInfo::Title());
}

} // namespace ponpira::sysinfo
