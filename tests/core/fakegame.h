// SPDX-License-Identifier: MIT
#pragma once

#include "core/controls.h"
#include "core/form1.h"
#include "core/form2.h"
#include "core/frmabout.h"
#include "core/guard.h"
#include "core/windowset.h"
#include "fakeplatform.h"

#include <memory>
#include <sstream>

// Plain controls, timers and windows that hold what the rules set.
struct FakeControl : ponpira::core::Control {
    explicit FakeControl(std::u16string caption = {}, bool on = true)
        : text_(std::move(caption)), enabled(on) {}
    std::u16string text_;
    bool enabled, visible = true;
    int points = 9;

    void setText(const std::u16string& t) override { text_ = t; }
    std::u16string text() const override { return text_; }
    void setEnabled(bool on) override { enabled = on; }
    bool isEnabled() const override { return enabled; }
    void setVisible(bool on) override { visible = on; }
    bool isVisible() const override { return visible; }
    void setFontSize(int p) override { points = p; }
    int fontSize() const override { return points; }
};

struct FakeTimer : ponpira::core::Timer {
    bool enabled = false;
    void setEnabled(bool on) override { enabled = on; }
    bool isEnabled() const override { return enabled; }
    int interval() const override { return 0; }
};

struct FakeWindow : ponpira::core::Window {
    std::u16string caption;
    bool shown = false;
    void* handle() override { return this; }
    void setCaption(const std::u16string& c) override { caption = c; }
    void hide() override { shown = false; }
};

struct FakeForm2 {
    FakeWindow window;
    FakeControl Label6, Label7, Label13, Text1, Text2, Text3, Text4, Text5;
    ponpira::core::Form2 rules;
    FakeForm2(ponpira::core::WindowSet& set, ponpira::Platform& platform)
        : rules(set, platform,
                {window, Label6, Label7, Label13, Text1, Text2, Text3, Text4, Text5}) {}
};

struct FakeAbout {
    FakeWindow window;
    FakeControl lblVersion, lblTitle;
    ponpira::core::frmAbout rules;
    FakeAbout(ponpira::core::WindowSet& set, ponpira::Platform& platform)
        : rules(set, platform, {window, lblVersion, lblTitle}) {
        rules.Form_Load();
    }
};

// A whole program's rules on fake controls, driven the way a player drives the windows: every
// handler through the guard, as the front ends call them.
struct FakeGame : ponpira::core::WindowSet {
    FakePlatform platform;
    FakeWindow window;
    FakeControl Command1{u"タイムを選択してからこのボタンをマウスで連打してください", false};
    FakeControl Label1, Label3, Label5;
    FakeTimer Timer1, Timer2;
    ponpira::core::Form1 form{
        *this, platform, {window, Command1, Label1, Label3, Label5, Timer1, Timer2}};
    std::unique_ptr<FakeForm2> result;
    std::unique_ptr<FakeAbout> about;
    std::vector<std::unique_ptr<FakeAbout>> unloaded; // kept: a handler may unload its window
    int ends = 0;

    ponpira::core::Form2& form2() override {
        if (!result)
            result = std::make_unique<FakeForm2>(*this, platform);
        return result->rules;
    }
    ponpira::core::frmAbout& aboutWindow() override {
        if (!about)
            about = std::make_unique<FakeAbout>(*this, platform);
        return about->rules;
    }
    std::u16string form1Label5Caption() override { return Label5.text(); }
    void show(ponpira::core::Window& w) override { static_cast<FakeWindow&>(w).shown = true; }
    void unload(ponpira::core::Window& w) override {
        if (about && &w == &about->window)
            unloaded.push_back(std::move(about));
    }
    void end() override { ++ends; }

    template <typename Rules>
    void run(Rules& rules, void (Rules::*handler)(), ponpira::core::Timer* timer = nullptr) {
        ponpira::runHandler(
            platform, [this] { return static_cast<void*>(&window); },
            [&rules, handler] { (rules.*handler)(); }, timer);
    }

    // Steps "c", "t" and "d", each with an optional count, click the button, tick the seconds
    // and tick the demo's clicks (each only while it could happen); "ok" presses the result
    // window's 送信; any other word is the menu item of that name.
    void play(const std::string& steps) {
        using F = ponpira::core::Form1;
        using H = void (F::*)();
        const std::pair<const char*, H> items[] = {
            {"short", &F::short_Click}, {"regular", &F::regular_Click}, {"long", &F::long_Click},
            {"reset", &F::reset_Click}, {"demo", &F::demo_Click},       {"send", &F::send_Click},
            {"about", &F::about_Click}, {"end", &F::end_Click}};
        std::istringstream words(steps);
        for (std::string step; words >> step;) {
            const std::string count = step.substr(1);
            if (std::string_view("ctd").find(step[0]) == std::string_view::npos ||
                count.find_first_not_of("0123456789") != std::string::npos) {
                for (const auto& [name, handler] : items)
                    if (step == name)
                        run(form, handler);
                if (step == "ok")
                    run(result->rules, &ponpira::core::Form2::Command1_Click);
                continue;
            }
            for (int i = count.empty() ? 1 : std::stoi(count); i > 0; --i) {
                if (step[0] == 'c' && Command1.enabled)
                    run(form, &F::Command1_Click);
                else if (step[0] == 't' && Timer1.enabled)
                    run(form, &F::Timer1_Timer, &Timer1);
                else if (step[0] == 'd' && Timer2.enabled)
                    run(form, &F::Timer2_Timer, &Timer2);
            }
        }
    }
};
