// SPDX-License-Identifier: MIT
// The bare Qt Widgets program that start-up and memory are measured against: the game's main()
// with the game taken out.
#include "floorwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    FloorWindow window;
    window.show();
    return QApplication::exec();
}
