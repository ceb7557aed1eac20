#include <QWidget>

#include "app_fixture.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "quolk_version.h"

namespace {

struct Shown {
    int kind, x, y, width, height;
    Text text;
};

Shown Look(int64_t gadget) {
    return {GadgetType(gadget), static_cast<int>(GadgetX(gadget)), static_cast<int>(GadgetY(gadget)),
            static_cast<int>(GadgetWidth(gadget)), static_cast<int>(GadgetHeight(gadget)), GetGadgetText(gadget)};
}

// The gadget of the window's unnumbered ones that shows this text, or -1.
int64_t UnnumberedWithText(TextView text) {
    int64_t found = -1;
    GadgetTable().ForEach([&](int64_t number, GadgetRecord&) {
        if (number > LastMainGadget && GetGadgetText(number) == text) found = number;
    });
    return found;
}

void ExpectShown(int64_t gadget, const Shown& want) {
    const Shown got = Look(gadget);
    EXPECT_EQ(got.kind, want.kind) << "gadget " << gadget;
    EXPECT_EQ(got.x, want.x) << "gadget " << gadget;
    EXPECT_EQ(got.y, want.y) << "gadget " << gadget;
    EXPECT_EQ(got.width, want.width) << "gadget " << gadget;
    EXPECT_EQ(got.height, want.height) << "gadget " << gadget;
    EXPECT_EQ(TextToUtf8(got.text), TextToUtf8(want.text)) << "gadget " << gadget;
}

using MainWindowTest = AppTest;

TEST_F(MainWindowTest, EveryNumberedGadgetHasItsKindPlaceAndTextAtFirstDisplay) {
    const struct { int64_t gadget; Shown want; } table[] = {
        {5, {GadgetKindButton, 20, 52, 104, 28, u"Browse..."}},
        {7, {GadgetKindText, 180, 56, 500, 20, u"No process selected"}},
        {36, {GadgetKindComboBox, 110, 100, 150, 20, u"Default"}},
        {37, {GadgetKindButton, 260, 96, 66, 24, u"Edit"}},
        {38, {GadgetKindCheckBox, 360, 96, 110, 20, u"Dock Stats"}},
        {39, {GadgetKindComboBox, 460, 98, 120, 20, u"Phys Footprint"}},
        {35, {GadgetKindButton, 558, 160, 28, 28, u"?"}},
        {8, {GadgetKindText, 120, 170, 140, 20, u"--"}},
        {9, {GadgetKindText, 120, 200, 140, 20, u"--"}},
        {10, {GadgetKindText, 300, 200, 140, 20, u"--"}},
        {11, {GadgetKindText, 450, 200, 120, 20, u"--"}},
        {12, {GadgetKindText, 120, 230, 100, 20, u"--"}},
        {13, {GadgetKindText, 340, 230, 200, 20, u"--"}},
        {14, {GadgetKindText, 340, 255, 140, 20, u"--"}},
        {15, {GadgetKindText, 480, 255, 50, 140, u"--"}},
        {16, {GadgetKindText, 120, 255, 140, 20, u"--"}},
        {17, {GadgetKindText, 20, 317, 170, 20, u"\u26AA Streak Warning"}},
        {18, {GadgetKindText, 200, 317, 170, 20, u"\u26AA Growth Limit"}},
        {19, {GadgetKindText, 380, 317, 170, 20, u"\u26AA Status: OK"}},
        {20, {GadgetKindText, 80, 345, 490, 20, u"Ready!"}},
        {21, {GadgetKindCanvas, 20, 410, 560, 140, u""}},
        {22, {GadgetKindButton, 20, 592, 89, 30, u"\u25B6 Start"}},
        {23, {GadgetKindButton, 115, 592, 89, 30, u"\u23F8 Pause"}},
        {24, {GadgetKindButton, 210, 592, 81, 30, u"\u23F9 Stop"}},
        {32, {GadgetKindButton, 315, 592, 111, 28, u"Analyze..."}},
        {25, {GadgetKindCheckBox, 430, 594, 172, 20, u"Output data to CSV"}},
        {26, {GadgetKindTrackBar, 150, 636, 350, 24, u""}},
        {33, {GadgetKindText, 520, 636, 60, 20, u"1000 ms"}},
        {27, {GadgetKindText, 20, 675, 580, 20, u"Status: Ready to monitor"}},
        {34, {GadgetKindButton, 460, 674, 126, 25, u"  Buy Me \u2615  "}},
    };
    for (const auto& row : table) ExpectShown(row.gadget, row.want);
    // Number 6 and the other windows' numbers are not the main window's.
    for (int64_t free : {0, 1, 2, 3, 4, 6, 28, 29, 30, 31, 40}) EXPECT_FALSE(IsGadget(free)) << free;
}

TEST_F(MainWindowTest, StartStatesOfTheControls) {
    const struct { int64_t gadget; bool enabled, visible; int64_t state; } table[] = {
        {22, false, true, 0},  {23, false, true, 0},     {24, false, true, 0}, {32, true, true, 0},
        {37, true, false, 0},  {38, true, true, 1},      {39, true, true, 0},  {36, true, true, 0},
        {26, true, true, 1000}, {25, true, true, 0},     {5, true, true, 0},   {35, true, true, 0},
    };
    for (const auto& row : table) {
        QWidget* view = GadgetID(row.gadget);
        ASSERT_NE(view, nullptr) << row.gadget;
        EXPECT_EQ(view->isEnabled(), row.enabled) << row.gadget;
        EXPECT_EQ(!view->isHidden(), row.visible) << row.gadget;
        EXPECT_EQ(GetGadgetState(row.gadget), row.state) << row.gadget;
    }
    EXPECT_EQ(CountGadgetItems(36), 4);
    EXPECT_EQ(CountGadgetItems(39), 3);
    EXPECT_EQ(TextToUtf8(GetWindowTitle(MainWindow)), QuolkNameAndVersion);
    EXPECT_EQ(WindowWidth(MainWindow), 600);
    EXPECT_EQ(WindowHeight(MainWindow), 720);
    EXPECT_EQ(GadgetID(36)->toolTip().toStdString(),
              "Memory Growth (MB): 200\nNumber of Leak Streaks: 3\nRefresh Interval (ms): 1000");
}

TEST_F(MainWindowTest, UnnumberedFramesAndLabelsSitWhereTheWindowPutsThem) {
    const struct { Shown want; } table[] = {
        {{GadgetKindFrame, 10, 30, 580, 110, u"Process Selection"}},
        {{GadgetKindText, 30, 100, 110, 20, u"App Profile"}},
        {{GadgetKindFrame, 10, 145, 580, 140, u"Current Memory Stats"}},
        {{GadgetKindText, 20, 170, 126, 20, u"Virtual RAM:"}},
        {{GadgetKindText, 20, 200, 149, 20, u"Phys Footprint:"}},
        {{GadgetKindText, 250, 200, 81, 20, u"Delta:"}},
        {{GadgetKindText, 400, 200, 74, 20, u"Peak:"}},
        {{GadgetKindText, 20, 230, 100, 20, u"Threads:"}},
        {{GadgetKindText, 250, 230, 126, 20, u"Page Faults:"}},
        {{GadgetKindText, 250, 255, 104, 20, u"Page-ins:"}},
        {{GadgetKindText, 400, 255, 119, 20, u"COW Faults:"}},
        {{GadgetKindText, 20, 255, 134, 20, u"Last Updated:"}},
        {{GadgetKindFrame, 10, 295, 580, 80, u"Leak Detection Alerts"}},
        {{GadgetKindText, 20, 345, 96, 20, u"Details:"}},
        {{GadgetKindFrame, 10, 385, 580, 180, u"Real-Time Memory Trend"}},
        {{GadgetKindFrame, 10, 575, 580, 90, u""}},
        {{GadgetKindText, 20, 636, 180, 20, u"Refresh Rate (ms):"}},
    };
    for (const auto& row : table) {
        const int64_t gadget = UnnumberedWithText(row.want.text);
        ASSERT_NE(gadget, -1) << TextToUtf8(row.want.text);
        ExpectShown(gadget, row.want);
    }
}

TEST_F(MainWindowTest, InGermanTheWidthRuleSizesByTheGermanTexts) {
    CloseWindow(MainWindow);
    LoadStringTable(u"de");
    ASSERT_TRUE(OpenMainWindow(state));
    // Sized by each text's own length at the English factor.
    for (int64_t gadget : {5, 37, 22, 23, 24, 32, 25, 34})
        EXPECT_EQ(GadgetWidth(gadget), EstimateTextWidth(GetGadgetText(gadget))) << gadget;
    for (TextId textId :
         {TextId::VirtualLabel, TextId::FootprintLabel, TextId::DeltaLabel, TextId::PeakLabel, TextId::PageFaultsLabel,
          TextId::PageInsLabel, TextId::CowFaultsLabel, TextId::LastUpdatedLabel, TextId::DetailsLabel}) {
        const int64_t label = UnnumberedWithText(LookupText(textId));
        ASSERT_NE(label, -1) << static_cast<int>(textId);
        EXPECT_EQ(GadgetWidth(label), EstimateTextWidth(LookupText(textId))) << static_cast<int>(textId);
    }
    EXPECT_EQ(TextToUtf8(GetGadgetText(37)), "Ändern");
    EXPECT_NE(GadgetWidth(37), 66);
    EXPECT_EQ(GadgetX(34), 460);
    EXPECT_EQ(TextToUtf8(GetGadgetText(36)), TextToUtf8(LookupText(TextId::ProfileDefault)));
}

}  // namespace
