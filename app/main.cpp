// SPDX-License-Identifier: MIT
#include "app/fonts.h"
#include "app/windows.h"
#include "game/form1.h"
#include "platform/qt/qtplatform.h"

#include <QApplication>
#include <QFont>
#include <cstdio>
#include <cstdlib>

int main(int, char* argv[]) {
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
    // The program takes no command line: Qt's own options (-style, -reverse, ...) would change
    // how it looks and behaves, so Qt sees the program's name alone. The platform plugin can
    // still be chosen the usual way, through QT_QPA_PLATFORM.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("ponpira"));
    // No application display name: Qt would append it to every window's caption.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.ponpira.Ponpira"));
    QApplication::setWindowIcon(ponpira::appIcon());
    // Controls without a font of their own use the classic Japanese UI face at 9 points. Left to
    // fontconfig, a Japanese locale often picks a fixed-width face, and "DEMO" looks typed.
    ponpira::installFontSubstitutions();
    QFont uiFont(ponpira::installedFace(QStringLiteral("ＭＳ Ｐゴシック")));
    uiFont.setPointSize(9);
    QApplication::setFont(uiFont);
    // Hidden windows must not end the program behind the player's back; ending is explicit.
    QApplication::setQuitOnLastWindowClosed(false);

    const auto platform = ponpira::makeSystemPlatform();
    ponpira::Windows windows(*platform);
    windows.form1().show();
    return QApplication::exec();
}
