#include "app/fonts.h"
#include "app/windows.h"
#include "game/form1.h"
#include "platform/platform.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt would abort with several lines about plugins; one clear line is enough.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM")) {
        std::fputs("ponpira: no display found (DISPLAY and WAYLAND_DISPLAY are unset); "
                   "start it from a desktop session.\n",
                   stderr);
        return 1;
    }
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ponpira"));
    QApplication::setApplicationDisplayName(QStringLiteral("ポンピラ"));
    QApplication::setWindowIcon(ponpira::appIcon());
    // Hidden windows must not end the program behind the player's back; ending is explicit.
    QApplication::setQuitOnLastWindowClosed(false);

    const auto platform = ponpira::makeSystemPlatform();
    ponpira::Windows windows(*platform);
    windows.form1().show();
    return QApplication::exec();
}
