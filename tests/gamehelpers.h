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
        for (int i = 0; i < times; ++i) {
            if (!timer(name)->isEnabled())
                return;
            Q_EMIT timer(name)->tick();
        }
    }
    // Plays space-separated steps: "c", "t" and "d", each with an optional count, click the
    // button, tick the seconds (Timer1) and tick the demo's clicks (Timer2); any other word
    // chooses the menu item of that name.
    void play(const QString& steps) {
        for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
            bool counted = step.size() == 1;
            const int times = counted ? 1 : step.mid(1).toInt(&counted);
            if (counted && step[0] == u'c')
                click(times);
            else if (counted && step[0] == u't')
                tick("Timer1", times);
            else if (counted && step[0] == u'd')
                tick("Timer2", times);
            else
                choose(qPrintable(step));
        }
    }
};
