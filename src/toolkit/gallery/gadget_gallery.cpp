// One window with a gadget of every kind and a loop that shows each event it receives: a quick
// look at how the toolkit's controls appear and what they report. Quit (Ctrl+Q) or the close
// button ends it.
#include "runtime/text.h"
#include "toolkit/application.h"
#include "toolkit/drawing.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/menu.h"
#include "toolkit/requester.h"
#include "toolkit/timer.h"
#include "toolkit/window.h"

namespace {

enum Gadget : int64_t {
    PressButton = 1,
    ToggleButton,
    SearchField,
    Label,
    Check,
    Combo,
    List,
    Slider,
    SliderValue,
    Editor,
    Spin,
    Canvas,
    Status,
    Ticks,
    Play,
    Coffee,
    Lights,
};

void DrawCanvas() {
    if (!StartDrawing(CanvasOutput(Canvas))) return;
    Box(0, 0, 280, 120, RGB(250, 250, 250));
    for (int x = 0; x < 280; x += 20) LineXY(x, 0, x, 119, RGB(225, 225, 230));
    for (int y = 0; y < 120; y += 20) LineXY(0, y, 279, y, RGB(225, 225, 230));
    const int points[] = {100, 96, 90, 92, 70, 60, 64, 40, 44, 30, 34, 20, 24, 22};
    for (int i = 0; i + 1 < 14; ++i) LineXY(i * 20, points[i], (i + 1) * 20, points[i + 1], RGB(0, 110, 220));
    Box(200, 70, 60, 30, RGB(230, 60, 60));
    DrawingMode(DrawingModeTransparent);
    DrawText(8, 4, u"Canvas: boxes, lines, text", RGB(30, 30, 30));
    DrawText(8, 96, u"12:00 \u26AA \U0001F534 \u2615", RGB(30, 30, 30));
    StopDrawing();
}

void CreateGadgets() {
    FrameGadget(AnyNumber, 10, 10, 620, 170, u"Buttons and fields \u23F8 \u23F9");
    ButtonGadget(PressButton, 20, 36, 120, 25, u"Press me", ButtonDefault);
    ButtonGadget(ToggleButton, 150, 36, 120, 30, u"Toggle", ButtonToggle);
    const int64_t help = ButtonGadget(AnyNumber, 280, 36, 28, 28, u"?");
    SetGadgetSmallControlSize(help);
    SetButtonCircularBezel(help);
    StringGadget(SearchField, 320, 38, 290, 24, u"");
    SetStringGadgetPlaceholder(SearchField, u"Type an app or process name");
    SetGadgetRoundedBezel(SearchField);
    TextGadget(Label, 20, 80, 240, 20, u"A text gadget (not selectable)");
    CheckBoxGadget(Check, 280, 78, 160, 20, u"Three-state check", CheckBoxThreeState);
    ComboBoxGadget(Combo, 450, 78, 160, 24);
    for (const char16_t* item : {u"Default", u"Menu Bar", u"File Converter", u"Custom"})
        AddGadgetItem(Combo, -1, item);
    TextGadget(AnyNumber, 20, 120, 90, 20, u"Track bar:");
    TrackBarGadget(Slider, 110, 116, 300, 28, 0, 10, TrackBarTicks);
    SetGadgetState(Slider, 4);
    TextGadget(SliderValue, 420, 120, 40, 20, u"4");
    TextGadget(AnyNumber, 470, 120, 40, 20, u"Spin:");
    SpinGadget(Spin, 510, 116, 100, 25, 500, 5000, SpinNumeric);
    SetGadgetState(Spin, 1000);
    ListIconGadget(List, 10, 190, 620, 150, u"PID", 80, ListIconGridLines);
    AddGadgetColumn(List, 1, u"Process Name", 190);
    AddGadgetColumn(List, 2, u"Path", 330);
    AddGadgetItem(List, -1, u"1\nsystemd\n/usr/lib/systemd/systemd");
    AddGadgetItem(List, -1, u"812\nXvfb\n/usr/bin/Xvfb");
    AddGadgetItem(List, -1, u"4242\ngadget_gallery");
    AddGadgetItem(List, -1, u"4243\n\U0001F525 <b>hot</b> & \u2615");
    EditorGadget(Editor, 10, 350, 330, 120, EditorWordWrap);
    SetGadgetText(Editor, u"An editor gadget.\r\nType here: every change is an event of type 768.");
    CanvasGadget(Canvas, 350, 350, 280, 120);
    TextGadget(Ticks, 10, 480, 200, 20, u"Timer ticks: 0");
    // Emoji beside text and digits: each in colour, the digits in the text font.
    ButtonGadget(Play, 220, 476, 100, 25, u"\u25B6 Start");
    ButtonGadget(Coffee, 330, 476, 110, 25, u"  Buy Me \u2615  ");
    GadgetToolTip(Coffee, u"Coffee \u2615 & <b>thanks</b>");
    TextGadget(Lights, 450, 480, 180, 20, u"\u26AA 12:00 \U0001F7E2 \u26A0\uFE0F \u2713");
    TextGadget(Status, 10, 505, 620, 20, u"Waiting for events", TextBorder);
}

Text Describe(int32_t event) {
    Text text = u"Event " + Str(event) + u", window " + Str(EventWindow()) + u", object " + Str(EventGadget());
    if (event == EventCodeGadget) text += u", type " + Str(EventType());
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    InitToolkit(argc, argv, u"Gadget Gallery", u"gadget-gallery");
    if (!OpenWindow(0, 100, 100, 640, 530, u"Gadget Gallery", 0x64)) return 1;
    CreateMenu(0, WindowID(0));
    MenuItem(MenuItemAbout, u"");
    CreateGadgets();
    DrawCanvas();
    AddWindowTimer(0, 1, 1000);
    int64_t ticks = 0;
    for (;;) {
        const int32_t event = WaitWindowEvent();
        if (event == -1) continue;
        if (event == EventCodeTimer) {
            SetGadgetText(Ticks, u"Timer ticks: " + Str(++ticks));
            continue;  // the status line shows the user's events
        }
        SetGadgetText(Status, Describe(event));
        if (event == EventCodeCloseWindow || (event == EventCodeMenu && EventMenu() == MenuItemQuit)) {
            if (MessageRequester(u"Gadget Gallery", u"Are you sure you want to quit Quolk?", RequesterYesNo) ==
                RequesterYes)
                break;
            continue;
        }
        if (event == EventCodeMenu && EventMenu() == MenuItemAbout)
            MessageRequester(u"Gadget Gallery \u2705",
                             u"Every gadget kind of the Quolk toolkit. \u26A0\uFE0F Emoji \U0001F534 \U0001F7E2 "
                             u"\u26AA \u2615 \u25B6 \u23F8 \u23F9 \u274C come from the colour emoji font, wherever "
                             u"they appear: labels, buttons, lists, tooltips, requesters and the canvas.",
                             RequesterInfo);
        if (event == EventCodeGadget && EventGadget() == Slider)
            SetGadgetText(SliderValue, Str(GetGadgetState(Slider)));
    }
    EndToolkit();
    return 0;
}
