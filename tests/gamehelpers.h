// SPDX-License-Identifier: MIT
#pragma once

#include "app/timer.h"
#include "app/windows.h"
#include "fakeplatform.h"
#include "game/form1.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

// A whole program's windows on a fake platform, driven the way a player drives them.
struct Game {
    FakePlatform platform;
    int quits = 0;
    ponpira::Windows windows{platform, [this] { ++quits; }};
    ponpira::Form1& form = windows.form1();

    Game() { form.show(); }

    template <typename T = QWidget> T* find(const char* name) const {
        auto* w = form.findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no child named %s", name);
        return w;
    }
    QString caption(const char* label) const { return find<QLabel>(label)->text(); }
    QPushButton* button() const { return find<QPushButton>("Command1"); }
    ponpira::Timer* timer(const char* name) const { return find<ponpira::Timer>(name); }

    void choose(const char* item) { find<QAction>(item)->trigger(); }
    void click(int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(button(), Qt::LeftButton);
    }
    // A tick as the running timer would deliver it.
    void tick(const char* name, int times = 1) {
        for (int i = 0; i < times && timer(name)->isEnabled(); ++i)
            Q_EMIT timer(name)->tick();
    }
    // Steps "c", "t" and "d", each with an optional count, click the button, tick the seconds
    // and tick the demo's clicks; any other word chooses the menu item of that name.
    void play(const QString& steps) {
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
            bool counted = true;
            const int times = step.size() == 1 ? 1 : step.mid(1).toInt(&counted);
            const qsizetype which = counted ? QStringLiteral("ctd").indexOf(step[0]) : -1;
            if (which == 0)
                click(times);
            else if (which > 0)
                tick(which == 1 ? "Timer1" : "Timer2", times);
            else
                choose(qPrintable(step));
        }
    }
};
