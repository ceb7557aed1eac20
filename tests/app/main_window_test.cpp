// The main window's layout as rules, in each language: every gadget the program addresses exists
// with its kind, and every gadget lies inside the window, overlaps no sibling and shows its whole
// text. LayoutFaults checks any one window, so that the dialogs can be held to the same rules.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOption>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app_fixture.h"
#include "quolk_version.h"
#include "toolkit/emoji_text.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"

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
// and any gadget of the window (numbered or not) outside it, over another but a frame around it,
// or too narrow for its text.
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
            if (TextWidth(text, view->font()) > room) faults.push_back(Name(g) + " cuts \"" + text.toStdString() + "\"");
        for (const Placed& other : gadgets) {
            if (other.number <= g.number || !g.area.intersects(other.area)) continue;
            const bool framed = (g.kind == GadgetKindFrame && g.area.contains(other.area)) ||
                                (other.kind == GadgetKindFrame && other.area.contains(g.area));
            if (!framed) faults.push_back(std::min(Name(g), Name(other)) + " overlaps " + std::max(Name(g), Name(other)));
        }
    }
    std::sort(faults.begin(), faults.end());
    return faults;
}

// The faults each language's main window has today; fixing the layout empties its list.
const std::map<std::u16string, std::vector<std::string>> KnownFaults = {
    {u"en",
     {"gadget \"\" overlaps gadget 25", "gadget \"App Profile\" overlaps gadget 36",
      "gadget \"COW Faults:\" overlaps gadget 14", "gadget \"COW Faults:\" overlaps gadget 15",
      "gadget \"Current Memory Stats\" overlaps gadget 15", "gadget \"Delta:\" overlaps gadget 10",
      "gadget \"Delta:\" overlaps gadget 9", "gadget \"Details:\" overlaps gadget 20",
      "gadget \"Last Updated:\" overlaps gadget 16", "gadget \"Leak Detection Alerts\" overlaps gadget 15",
      "gadget \"Page Faults:\" overlaps gadget 13", "gadget \"Page-ins:\" overlaps gadget 14",
      "gadget \"Page-ins:\" overlaps gadget 16", "gadget \"Peak:\" overlaps gadget 10",
      "gadget \"Peak:\" overlaps gadget 11", "gadget \"Phys Footprint:\" overlaps gadget 9",
      "gadget \"Process Selection\" overlaps gadget 7", "gadget \"Real-Time Memory Trend\" overlaps gadget 15",
      "gadget \"Refresh Rate (ms):\" overlaps gadget 26", "gadget \"Virtual RAM:\" overlaps gadget 8",
      "gadget 15 overlaps gadget 19", "gadget 15 overlaps gadget 20", "gadget 25 leaves the window",
      "gadget 27 overlaps gadget 34", "gadget 38 overlaps gadget 39", "gadget 7 leaves the window"}},
};

class MainWindowLayout : public AppTest, public testing::WithParamInterface<const char16_t*> {};

TEST_P(MainWindowLayout, EveryGadgetHasItsKindAndPlaceAndShowsItsWholeText) {
    CloseWindow(MainWindow);
    LoadStringTable(GetParam());
    ASSERT_TRUE(OpenMainWindow(state));
    EXPECT_EQ(LayoutFaults(MainWindow, {
        {GadgetKindButton, {GadgetBrowse, GadgetEditProfile, GadgetGlossary, GadgetStart, GadgetPause, GadgetStop,
                            GadgetAnalyze, GadgetBuyMe}},
        {GadgetKindText, {GadgetTargetName, GadgetVirtual, GadgetFootprint, GadgetDelta, GadgetPeak, GadgetThreads,
                          GadgetPageFaults, GadgetPageIns, GadgetCowFaults, GadgetLastUpdated, GadgetStreakAlert,
                          GadgetGrowthAlert, GadgetAlertStatus, GadgetAlertDetails, GadgetStatusLine, GadgetRefreshLabel}},
        {GadgetKindComboBox, {GadgetProfileList, GadgetDockStatList}},
        {GadgetKindCheckBox, {GadgetDockStats, GadgetCsvOutput}},
        {GadgetKindCanvas, {GadgetTrendGraph}},
        {GadgetKindTrackBar, {GadgetRefreshSlider}},
    }), KnownFaults.at(GetParam()));
}

// The other languages join once their layouts hold.
INSTANTIATE_TEST_SUITE_P(Languages, MainWindowLayout, testing::Values(u"en"),
                         [](const testing::TestParamInfo<const char16_t*>& info) { return TextToUtf8(info.param); });

using MainWindowTest = AppTest;

TEST_F(MainWindowTest, OpensReadyToChooseATarget) {
    const struct { int64_t gadget; bool enabled, visible; int64_t state; } table[] = {
        {GadgetStart, false, true, 0}, {GadgetPause, false, true, 0}, {GadgetStop, false, true, 0},
        {GadgetAnalyze, true, true, 0}, {GadgetEditProfile, true, false, 0}, {GadgetDockStats, true, true, 1},
        {GadgetRefreshSlider, true, true, 1000}, {GadgetCsvOutput, true, true, 0}, {GadgetBrowse, true, true, 0},
    };
    for (const auto& row : table) {
        QWidget* view = GadgetID(row.gadget);
        ASSERT_NE(view, nullptr) << row.gadget;
        EXPECT_EQ(std::tuple(view->isEnabled(), !view->isHidden(), GetGadgetState(row.gadget)),
                  std::tuple(row.enabled, row.visible, row.state)) << row.gadget;
    }
    EXPECT_EQ(CountGadgetItems(GadgetProfileList), 4);
    EXPECT_EQ(CountGadgetItems(GadgetDockStatList), 3);
    EXPECT_EQ(TextToUtf8(GetWindowTitle(MainWindow)), QuolkNameAndVersion);
    EXPECT_EQ(GadgetID(GadgetProfileList)->toolTip().toStdString(),
              "Memory Growth (MB): 200\nNumber of Leak Streaks: 3\nRefresh Interval (ms): 1000");
}


}  // namespace
