// The windows' layout as rules, in each language: every gadget the program addresses exists with
// its kind, and every gadget lies inside its window, overlaps no sibling and shows its whole text.
// And what the window manager reads of the dialogs over the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyleOption>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "app/custom_profile_dialog.h"
#include "app/monitoring.h"
#include "app/process_picker.h"
#include "app/profiles.h"
#include "app/report_window.h"
#include "presentation/trend_scale.h"
#include "toolkit/canvas_gadget.h"
#include "toolkit/canvas_raster.h"
#include "toolkit/emoji_text.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/popover.h"

namespace {

// The width a text takes in a font, emoji in the emoji font included.
int TextWidth(const QString& text, const QFont& font) {
    return int(std::ceil(EmojiTextLayout(text, font, 0, 0.0).NaturalSize().width()));
}

// Where a control draws its text, by the style's own rules: inside a button's margins, beside a
// check box's indicator, inside a combo box's field; -1 for a control without text.
int TextRoom(QWidget* view) {
    if (auto* button = qobject_cast<QPushButton*>(view)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
    if (auto* box = qobject_cast<QCheckBox*>(view)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width();
    }
    if (auto* combo = qobject_cast<QComboBox*>(view)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.frame = true;
        return combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
    }
    if (auto* box = qobject_cast<QGroupBox*>(view)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect frame = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, box);
        const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return frame.right() - label.left();
    }
    if (auto* label = qobject_cast<QLabel*>(view)) return label->contentsRect().width() - 2 * label->margin();
    return -1;
}

// The texts a control shows: its own, or every item of a combo box.
std::vector<QString> ShownTexts(QWidget* view) {
    if (auto* combo = qobject_cast<QComboBox*>(view)) {
        std::vector<QString> items;
        for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i));
        return items;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(view)) return {button->text()};
    if (auto* box = qobject_cast<QGroupBox*>(view)) return {box->title()};
    if (auto* label = qobject_cast<QLabel*>(view)) return {label->text()};
    return {};
}

// Texts and neighbours keep this many pixels apart.
constexpr int kSpare = 2;

struct Placed {
    int64_t number;
    int kind;
    QRect area;  // in the window's content
};

std::string Name(const Placed& g) {
    const Text text = GetGadgetText(g.number);
    return "gadget " + (g.number > MaxObjectNumber ? std::string("\"") + TextToUtf8(text) + "\"" : std::to_string(g.number));
}

// What breaks the rules in one open window, sorted: a numbered gadget missing or of another kind,
// and any gadget of the window (numbered or not) outside it, over or touching another but a frame
// around it, or without a few pixels to spare around its text.
std::vector<std::string> LayoutFaults(int64_t window, const std::map<int, std::vector<int64_t>>& numberedByKind) {
    std::vector<std::string> faults;
    for (const auto& [kind, numbers] : numberedByKind)
        for (int64_t number : numbers)
            if (GadgetType(number) != kind) faults.push_back("gadget " + std::to_string(number) + " is not of kind " + std::to_string(kind));
    std::vector<Placed> gadgets;
    GadgetTable().ForEach([&](int64_t number, GadgetRecord& record) {
        if (record.functions && record.functions->Xo_window == window && record.container)
            gadgets.push_back({number, record.functions->Xo_type, record.container->geometry()});
    });
    for (const Placed& g : gadgets) {
        QWidget* view = GadgetID(g.number);
        if (!view->parentWidget()->rect().contains(g.area)) faults.push_back(Name(g) + " leaves the window");
        const int room = TextRoom(view);
        for (const QString& text : ShownTexts(view))
            if (TextWidth(text, view->font()) + kSpare > room) faults.push_back(Name(g) + " cuts \"" + text.toStdString() + "\"");
        for (const Placed& other : gadgets) {
            const QRect near = g.area.adjusted(-kSpare, -kSpare, kSpare, kSpare);
            if (other.number <= g.number || !near.intersects(other.area)) continue;
            const bool framed = (g.kind == GadgetKindFrame && g.area.contains(other.area)) ||
                                (other.kind == GadgetKindFrame && other.area.contains(g.area));
            if (!framed) faults.push_back(std::min(Name(g), Name(other)) + " overlaps " + std::max(Name(g), Name(other)));
        }
    }
    std::sort(faults.begin(), faults.end());
    return faults;
}

// The text of a popover's label, wrapped at its width, fits its height.
std::vector<std::string> PopoverFaults(const char* name, QWidget* popover) {
    if (!popover) return {std::string(name) + " is not open"};
    auto* label = popover->findChild<QLabel*>();
    if (label && label->heightForWidth(label->contentsRect().width()) <= label->contentsRect().height()) return {};
    return {std::string(name) + " cuts its text"};
}

// A report whose cells are as long as the analysis writes them.
Text LongCellReport() {
    const Text banner = Text(106, u'=') + u"\r\n", ruler = Text(96, u'-') + u"\r\n";
    return banner + u"  MEMORY PHASE ANALYSIS REPORT\r\n" + banner +
           u"Phase / Time Range | Memory Footprint | Phase Delta | Rate (MB/s) | Behavior Note\r\n" + Text(62, u'-') +
           u"|----\r\n" + u"Sustained Growth Phase (1h 02m 10s–1h 58m 40s) | 1024.5 MB | +812.3 MB | +0.24 MB/s | " +
           u"Memory keeps rising through the whole phase without any release.\r\n\r\n" + ruler +
           u"DIAGNOSTIC VERDICT & EVIDENCE SUMMARY:\r\n" + ruler + u"✅ NO EVIDENCE\r\n" + banner;
}

// What the window manager reads of a window over the main window: its type, its modality and
// whether the main window is its transient parent (it stays above it and is minimised with it).
std::string Hints(QWidget* window) {
    if (!window) return "not open";
    const QWindow* handle = window->windowHandle();
    return std::to_string(window->windowType()) + " " + std::to_string(window->windowModality()) +
           (handle && handle->transientParent() == WindowID(MainWindow)->windowHandle() ? " over main" : "");
}
const std::string kSheet = std::to_string(Qt::Dialog) + " " + std::to_string(Qt::WindowModal) + " over main";

class WindowLayout : public AppTest, public testing::WithParamInterface<const char16_t*> {};

// In each language the main window, the picker, the custom profile sheet, the report window and the
// glossary each show every text whole, inside their window, with no two gadgets over each other;
// each is a sheet (the glossary a tool window) over the main window.
TEST_P(WindowLayout, EveryWindowShowsItsWholeTextsApart) {
    CloseWindow(MainWindow);
    LoadStringTable(GetParam());
    ASSERT_TRUE(OpenMainWindow(state));
    std::map<std::string, std::vector<std::string>> faults;
    std::map<std::string, std::string> hints;
    faults["main"] = LayoutFaults(MainWindow, {
        {GadgetKindButton, {GadgetBrowse, GadgetEditProfile, GadgetGlossary, GadgetStart, GadgetPause, GadgetStop,
                            GadgetAnalyze, GadgetBuyMe}},
        {GadgetKindText, {GadgetTargetName, GadgetVirtual, GadgetFootprint, GadgetDelta, GadgetPeak, GadgetThreads,
                          GadgetPageFaults, GadgetPageIns, GadgetCowFaults, GadgetLastUpdated, GadgetStreakAlert,
                          GadgetGrowthAlert, GadgetAlertStatus, GadgetAlertDetails, GadgetStatusLine, GadgetRefreshLabel}},
        {GadgetKindComboBox, {GadgetProfileList, GadgetDockStatList}},
        {GadgetKindCheckBox, {GadgetDockStats, GadgetCsvOutput}},
        {GadgetKindCanvas, {GadgetTrendGraph}},
        {GadgetKindTrackBar, {GadgetRefreshSlider}},
    });
    // The graph's background, grid and legend are drawn before any session.
    const CanvasBuffer* graph = CanvasBufferOfGadget(GadgetTrendGraph);
    ASSERT_TRUE(graph && !graph->pixels.empty());
    EXPECT_EQ(RGB(graph->pixels[4], graph->pixels[5], graph->pixels[6]), TrendBackground);
    // The edit button shows with the custom profile only.
    SetGadgetState(GadgetProfileList, ProfileCustom);
    QueueToolkitEvent(EventCodeGadget, MainWindow, GadgetProfileList, EventTypeChange);
    QString cutCell, cutCellTip;
    RunLoop({[] { PostEvent(EventCodeGadget, MainWindow, GadgetBrowse); },
             [&] {
                 faults["picker"] = LayoutFaults(PickerWindow, {});
                 hints["picker"] = Hints(WindowID(PickerWindow));
                 PostEvent(EventCodeGadget, PickerWindow, PickerCancel);
             },
             [] { PostEvent(EventCodeGadget, MainWindow, GadgetEditProfile); },
             [&] {
                 faults["custom profile"] = LayoutFaults(CustomProfileWindow, {});
                 hints["custom profile"] = Hints(WindowID(CustomProfileWindow));
                 PostEvent(EventCodeGadget, CustomProfileWindow, GadgetCustomCancel);
             },
             [] { ShowAnalysisReport(LongCellReport(), true, u"", MainWindow); },
             [&] {
                 faults["report"] = LayoutFaults(ReportWindow, {});
                 hints["report"] = Hints(WindowID(ReportWindow));
                 // The mouse resting on the cut note.
                 auto* list = qobject_cast<QTableWidget*>(GadgetID(ReportPhaseList));
                 const QPoint at = list->visualRect(list->model()->index(0, 4)).center();
                 QHelpEvent rest(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
                 QCoreApplication::sendEvent(list->viewport(), &rest);
                 cutCell = list->item(0, 4)->text();
                 cutCellTip = QToolTip::text();
                 PostEvent(EventCodeGadget, ReportWindow, ReportClose);
             },
             [] { PostEvent(EventCodeGadget, MainWindow, GadgetGlossary); },
             [&] {
                 faults["glossary"] = PopoverFaults("the glossary", PopoverID(state.glossaryPopover->popover));
                 hints["glossary"] = Hints(PopoverID(state.glossaryPopover->popover));
             }});
    const std::string tool = std::to_string(Qt::Tool) + " " + std::to_string(Qt::NonModal) + " over main";
    EXPECT_EQ(hints, (std::map<std::string, std::string>{
                         {"picker", kSheet}, {"custom profile", kSheet}, {"report", kSheet}, {"glossary", tool}}));
    for (const auto& [window, found] : faults)
        for (const std::string& fault : found) ADD_FAILURE() << window << ": " << fault;
    EXPECT_EQ(cutCellTip.toStdString(), cutCell.toStdString()) << "a cut cell shows its whole text as its tooltip";
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowLayout, testing::Values(u"en", u"fr", u"de", u"es", u"it"),
                         [](const testing::TestParamInfo<const char16_t*>& info) { return TextToUtf8(info.param); });

using MainWindowTest = AppTest;

// Reads the hints of the requester or file dialog that opens next, then closes it.
void ReadModalDialog(std::string& seen, int attempts = 300) {
    QTimer::singleShot(10, [&seen, attempts] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            seen = Hints(dialog);
            dialog->close();
        } else if (attempts > 0) {
            ReadModalDialog(seen, attempts - 1);
        }
    });
}

// The requesters and the file dialog are Qt's own dialogs, application-modal over the key window
// (the main window's own sheets are the layout test's matter).
TEST_F(MainWindowTest, RequestersAndTheFileDialogAreModalOverTheMainWindow) {
    SetRequesterResponder(nullptr);
    const std::string want = std::to_string(Qt::Dialog) + " " + std::to_string(Qt::ApplicationModal) + " over main";
    std::string asked;
    ReadModalDialog(asked);
    ConfirmQuit();
    EXPECT_EQ(asked, want) << "message requester";
    asked.clear();
    ReadModalDialog(asked);
    AnalyzeClicked(state);
    EXPECT_EQ(asked, want) << "file dialog";
}

// The main window waits disabled behind the report: turning to it brings the report back, also
// from being minimised on its own.
TEST_F(MainWindowTest, TheReportComesBackWhenTheUserTurnsToTheMainWindow) {
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
