// Every application test starts from a fresh state and an open main window in English, with no
// requester answered by a person and no address opened by the desktop.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/help_popover.h"
#include "app/main_window.h"
#include "strings/stringtable.h"
#include "toolkit/desktop_url.h"
#include "toolkit/event_queue.h"
#include "toolkit/requester.h"
#include "toolkit/window.h"

// A report in the analysis's layout: one phase row and the verdict section's lines.
inline Text ReportWith(const Text& phaseRow, const Text& verdict) {
    const Text banner = Text(106, u'=') + u"\r\n", ruler = Text(96, u'-') + u"\r\n";
    return banner + u"  MEMORY PHASE ANALYSIS REPORT\r\n" + banner +
           u"Phase / Time Range | Memory Footprint | Phase Delta | Rate (MB/s) | Behavior Note\r\n" +
           Text(62, u'-') + u"|----\r\n" + phaseRow + u"\r\n\r\n" + ruler +
           u"DIAGNOSTIC VERDICT & EVIDENCE SUMMARY:\r\n" + ruler + verdict + banner;
}

class AppTest : public testing::Test {
protected:
    void SetUp() override {
        CloseWindow(-1);
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        ClearEventQueue();
        LoadStringTable(u"en");
        SetRequesterResponder([this](const RequesterCall& call) { return Answer(call); });
        SetUrlOpener([this](const Text& url) {
            opened.push_back(url);
            return true;
        });
        ASSERT_TRUE(OpenMainWindow(state));
    }
    void TearDown() override {
        SetEventWaitHook(nullptr);
        SetRequesterResponder(nullptr);
        SetUrlOpener(nullptr);
        FreeHelpPopover(state.glossaryPopover);
        state.glossaryPopover = nullptr;
        CloseWindow(-1);
        ClearEventQueue();
    }

    // Answers requesters in order from `answers`; an unexpected requester fails the test and says No.
    RequesterResponse Answer(const RequesterCall& call) {
        asked.push_back(call);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected requester: " << TextToUtf8(call.title);
            return {RequesterNo, u""};
        }
        RequesterResponse response{answers.front(), u""};
        answers.pop_front();
        return response;
    }

    // Runs the main loop with the steps run one by one whenever it waits with an empty queue (a
    // step that queues nothing is followed by the next at once); after the last step it is asked to
    // quit and a Yes is queued for the confirmation. The loop's status, or -1 when it went on after
    // that (a dialog left open ignores the quit): the test fails once and the loop is left.
    int RunLoop(std::vector<std::function<void()>> steps) {
        struct LoopWentOn {};
        size_t next = 0;
        bool quitAsked = false;
        SetEventWaitHook([this, steps, next, quitAsked]() mutable {
            while (next < steps.size() && QueuedEventCount() == 0) steps[next++]();
            if (QueuedEventCount() > 0) return;
            if (quitAsked) throw LoopWentOn{};
            quitAsked = true;
            answers.push_back(RequesterYes);
            PostEvent(EventCodeMenu, -1, MenuItemQuit);
        });
        int status = -1;
        try {
            status = RunMainLoop(state);
        } catch (const LoopWentOn&) {
            ADD_FAILURE() << "the loop went on after quitting was confirmed";
        }
        SetEventWaitHook(nullptr);
        return status;
    }

    AppState state;
    std::deque<int> answers;
    std::vector<RequesterCall> asked;
    std::vector<Text> opened;
};
