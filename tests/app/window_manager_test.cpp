// What the desktop's window manager reads of every window Quolk opens over its main window: the
// main window as transient parent (so the window stays above it and is minimised with it), the
// window type and the modality. Read offscreen from the windows' own platform handles.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <string>

#include "app/custom_profile_dialog.h"
#include "app/monitoring.h"
#include "app/process_picker.h"
#include "app/profiles.h"
#include "app/report_window.h"
#include "app_fixture.h"
#include "toolkit/gadget.h"
#include "toolkit/popover.h"

namespace {

using WindowManagerTest = AppTest;

struct Hints {
    Qt::WindowType type;
    Qt::WindowModality modality;
    bool transientForMain;
    bool operator==(const Hints&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Hints& h) {
    return out << "type " << h.type << ", modality " << h.modality << ", transient for main " << h.transientForMain;
}

Hints HintsOf(QWidget* window) {
    if (!window) return {};
    const QWindow* handle = window->windowHandle();
    return {window->windowType(), window->windowModality(),
            handle && handle->transientParent() == WindowID(MainWindow)->windowHandle()};
}

// Reads the hints of the requester or file dialog that opens next, then closes it.
void ReadModalDialog(Hints& seen, int attempts = 300) {
    QTimer::singleShot(10, [&seen, attempts] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            seen = HintsOf(dialog);
            dialog->close();
        } else if (attempts > 0) {
            ReadModalDialog(seen, attempts - 1);
        }
    });
}

void Click(int64_t window, int64_t gadget) { QueueToolkitEvent(EventCodeGadget, window, gadget, EventTypeLeftClick); }

TEST_F(WindowManagerTest, EveryWindowOverTheMainWindowIsItsTransientWithItsTypeAndModality) {
    const Hints sheet{Qt::Dialog, Qt::WindowModal, true};
    struct Row {
        const char* what;
        std::function<void()> open;        // queues what opens the window
        std::function<QWidget*()> window;  // the window once open
        std::function<void()> close;
        Hints want;
    };
    const Row rows[] = {
        {"picker", [] { Click(MainWindow, GadgetBrowse); }, [] { return WindowID(PickerWindow); },
         [] { PostEvent(EventCodeGadget, PickerWindow, PickerCancel); }, sheet},
        {"custom profile sheet",
         [] {
             SetGadgetState(GadgetProfileList, ProfileCustom);
             QueueToolkitEvent(EventCodeGadget, MainWindow, GadgetProfileList, EventTypeChange);
             Click(MainWindow, GadgetEditProfile);
         },
         [] { return WindowID(CustomProfileWindow); },
         [] { PostEvent(EventCodeGadget, CustomProfileWindow, GadgetCustomCancel); }, sheet},
        {"report", [] { ShowAnalysisReport(u"report", true, u"", MainWindow); }, [] { return WindowID(ReportWindow); },
         [] { PostEvent(EventCodeGadget, ReportWindow, ReportClose); }, sheet},
        {"glossary", [] { Click(MainWindow, GadgetGlossary); },
         [this] { return state.glossaryPopover ? PopoverID(state.glossaryPopover->popover) : nullptr; },
         [] { Click(MainWindow, GadgetGlossary); }, {Qt::Tool, Qt::NonModal, true}},
    };
    std::vector<Hints> seen(std::size(rows));
    std::vector<std::function<void()>> steps;
    for (size_t i = 0; i < std::size(rows); ++i) {
        steps.push_back(rows[i].open);
        steps.push_back([&, i] { seen[i] = HintsOf(rows[i].window()); rows[i].close(); });
    }
    RunLoop(steps);
    for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(seen[i], rows[i].want) << rows[i].what;
    // The requesters and the file dialog are Qt's own dialogs, over the key window.
    SetRequesterResponder(nullptr);
    const Hints requester{Qt::Dialog, Qt::ApplicationModal, true};
    Hints asked{};
    ReadModalDialog(asked);
    ConfirmQuit();
    EXPECT_EQ(asked, requester) << "message requester";
    asked = {};
    ReadModalDialog(asked);
    AnalyzeClicked(state);
    EXPECT_EQ(asked, requester) << "file dialog";
}

// The main window waits disabled behind the report: turning to it brings the report back, also
// from being minimised on its own.
TEST_F(WindowManagerTest, TheReportComesBackWhenTheUserTurnsToTheMainWindow) {
    bool minimisedBefore = false, minimisedAfter = true;
    RunLoop({
        [] { ShowAnalysisReport(u"report", true, u"", MainWindow); },
        [&] {
            WindowID(ReportWindow)->showMinimized();
            minimisedBefore = WindowID(ReportWindow)->isMinimized();
            QueueToolkitEvent(EventCodeActivateWindow, MainWindow, MainWindow, 0);
        },
        [&] {
            minimisedAfter = WindowID(ReportWindow)->isMinimized();
            PostEvent(EventCodeGadget, ReportWindow, ReportClose);
        },
    });
    EXPECT_TRUE(minimisedBefore);
    EXPECT_FALSE(minimisedAfter);
}

}  // namespace
