// The windows' layout as rules, in each language: every gadget lies inside its window, overlaps no
// sibling and shows its whole text.
// And what the window manager reads of the dialogs over the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QStyleOption>
#include <QTableWidget>
#include <QToolTip>
#include <QWindow>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app_fixture.h"
#include "toolkit/toolkit_fixture.h"
#include "app/custom_profile_dialog.h"
#include "app/monitoring.h"
#include "app/process_picker.h"
#include "app/profiles.h"
#include "app/report_window.h"
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
    if (auto* button = qobject_cast<QAbstractButton*>(view)) {  // a push button or a check box
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool box = qobject_cast<QCheckBox*>(view);
        const auto contents = box ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents;
        return button->style()->subElementRect(contents, &option, button).width();
    }
    if (auto* combo = qobject_cast<QComboBox*>(view)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.frame = true;
        const auto field = QStyle::SC_ComboBoxEditField;
        return combo->style()->subControlRect(QStyle::CC_ComboBox, &option, field, combo).width();
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
    if (g.number <= MaxObjectNumber) return "gadget " + std::to_string(g.number);
    return "gadget \"" + TextToUtf8(GetGadgetText(g.number)) + "\"";
}

// Fails for what breaks the rules in one open window: any gadget of the window (numbered or not)
// outside it, over or touching another but a frame around it, or without a few pixels to spare
// around its text.
void ExpectLaidOut(const std::string& where, int64_t window) {
    std::vector<Placed> gadgets;
    GadgetTable().ForEach([&](int64_t number, GadgetRecord& record) {
        if (record.functions && record.functions->Xo_window == window && record.container)
            gadgets.push_back({number, record.functions->Xo_type, record.container->geometry()});
    });
    for (const Placed& g : gadgets) {
        QWidget* view = GadgetID(g.number);
        EXPECT_TRUE(view->parentWidget()->rect().contains(g.area)) << where << ": " << Name(g) << " leaves the window";
        const int room = TextRoom(view);
        for (const QString& text : ShownTexts(view))
            EXPECT_LE(TextWidth(text, view->font()) + kSpare, room)
                << where << ": " << Name(g) << " cuts " << text.toStdString();
        for (const Placed& other : gadgets) {
            const QRect near = g.area.adjusted(-kSpare, -kSpare, kSpare, kSpare);
            if (other.number <= g.number || !near.intersects(other.area)) continue;
            const bool framed = (g.kind == GadgetKindFrame && g.area.contains(other.area)) ||
                                (other.kind == GadgetKindFrame && other.area.contains(g.area));
            EXPECT_TRUE(framed) << where << ": " << Name(g) << " overlaps " << Name(other);
        }
    }
}

// The text of a popover's label, wrapped at its width, fits its height.
void ExpectWholeText(const std::string& where, QWidget* popover) {
    auto* label = popover ? popover->findChild<QLabel*>() : nullptr;
    EXPECT_TRUE(label && label->heightForWidth(label->contentsRect().width()) <= label->contentsRect().height())
        << where << " is not open or cuts its text";
}

// A report whose cells are as long as the analysis writes them.
const Text kLongCellReport =
    ReportWith(u"Sustained Growth Phase (1h 02m 10s–1h 58m 40s) | 1024.5 MB | +812.3 MB | +0.24 MB/s | "
               u"Memory keeps rising through the whole phase without any release.",
               u"✅ NO EVIDENCE\r\n");

// The mouse resting on the report's first note, cut at its column: the note and the tooltip shown.
std::pair<QString, QString> RestOnTheCutNote() {
    auto* list = qobject_cast<QTableWidget*>(GadgetID(ReportPhaseList));
    const QPoint at = list->visualRect(list->model()->index(0, 4)).center();
    QHelpEvent rest(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &rest);
    return {list->item(0, 4)->text(), QToolTip::text()};
}

// What the window manager reads of a window over the main window: its type, its modality and
// whether the main window is its transient parent (it stays above it and is minimised with it).
std::string Hints(QWidget* window) {
    if (!window) return "not open";
    const QWindow* handle = window->windowHandle();
    return std::to_string(window->windowType()) + " " + std::to_string(window->windowModality()) +
           (handle && handle->transientParent() == WindowID(MainWindow)->windowHandle() ? " over main" : "");
}
std::string Hints(Qt::WindowType type, Qt::WindowModality modality) {
    return std::to_string(type) + " " + std::to_string(modality) + " over main";
}

class WindowLayout : public AppTest, public testing::WithParamInterface<const char16_t*> {};

// In each language the main window, the picker, the custom profile sheet, the report window and the
// glossary each show every text whole, inside their window, with no two gadgets over each other;
// each is a sheet (the glossary a tool window) over the main window.
TEST_P(WindowLayout, EveryWindowShowsItsWholeTextsApart) {
    CloseWindow(MainWindow);
    LoadStringTable(GetParam());
    ASSERT_TRUE(OpenMainWindow(state));
    ExpectLaidOut("main", MainWindow);
    // The edit button shows with the custom profile only.
    SetGadgetState(GadgetProfileList, ProfileCustom);
    QueueToolkitEvent(EventCodeGadget, MainWindow, GadgetProfileList, EventTypeChange);
    // Each sheet is read, then closed; the glossary is a popover and left to the quit.
    const auto sheet = [&](const char* name, int64_t window, int64_t close) {
        return [&, name, window, close] {
            ExpectLaidOut(name, window);
            EXPECT_EQ(Hints(WindowID(window)), Hints(Qt::Dialog, Qt::WindowModal)) << name;
            PostEvent(EventCodeGadget, window, close);
        };
    };
    const auto click = [](int64_t gadget) { return [gadget] { PostEvent(EventCodeGadget, MainWindow, gadget); }; };
    QString cutCell, cutCellTip;
    RunLoop({click(GadgetBrowse), sheet("picker", PickerWindow, PickerCancel),
             click(GadgetEditProfile), sheet("custom profile", CustomProfileWindow, GadgetCustomCancel),
             [] { ShowAnalysisReport(kLongCellReport, true, u"", MainWindow); },
             [&] { std::tie(cutCell, cutCellTip) = RestOnTheCutNote(); }, sheet("report", ReportWindow, ReportClose),
             click(GadgetGlossary), [&] {
                 QWidget* glossary = PopoverID(state.glossaryPopover->popover);
                 ExpectWholeText("the glossary", glossary);
                 EXPECT_EQ(Hints(glossary), Hints(Qt::Tool, Qt::NonModal)) << "the glossary";
             }});
    EXPECT_EQ(cutCellTip.toStdString(), cutCell.toStdString()) << "a cut cell shows its whole text as its tooltip";
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowLayout, testing::Values(u"en", u"fr", u"de", u"es", u"it"),
                         [](const testing::TestParamInfo<const char16_t*>& info) { return TextToUtf8(info.param); });

using MainWindowTest = AppTest;

// The requesters and the file dialog are Qt's own dialogs, application-modal over the key window
// (the main window's own sheets are the layout test's matter).
TEST_F(MainWindowTest, RequestersAndTheFileDialogAreModalOverTheMainWindow) {
    SetRequesterResponder(nullptr);
    const std::string want = Hints(Qt::Dialog, Qt::ApplicationModal);
    std::string seen;
    const auto read = [&seen](QWidget* dialog) { seen = Hints(dialog), dialog->close(); };
    WhenModalOpens(read);
    ConfirmQuit();
    EXPECT_EQ(seen, want) << "message requester";
    WhenModalOpens(read);
    AnalyzeClicked(state);
    EXPECT_EQ(seen, want) << "file dialog";
}

// The main window waits disabled behind the report: turning to it brings the report back, also
// from being minimised on its own.
TEST_F(MainWindowTest, TheReportComesBackWhenTheUserTurnsToTheMainWindow) {
    bool minimisedAfter = true;
    RunLoop({[] { ShowAnalysisReport(u"report", true, u"", MainWindow); },
             [] {
                 WindowID(ReportWindow)->showMinimized();
                 ASSERT_TRUE(WindowID(ReportWindow)->isMinimized());
                 QueueToolkitEvent(EventCodeActivateWindow, MainWindow, MainWindow, 0);
             },
             [&] {
                 minimisedAfter = WindowID(ReportWindow)->isMinimized();
                 PostEvent(EventCodeGadget, ReportWindow, ReportClose);
             }});
    EXPECT_FALSE(minimisedAfter);
}

}  // namespace
