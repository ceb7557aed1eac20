// Gadgets: numbered controls placed in the current gadget list (the window opened last, or the one
// chosen with UseGadgetList). Gadget numbers are global to the program. Creation returns the
// control as a number for an explicit number, the new handle for AnyNumber, 0 on failure; an
// operation on a number that names no gadget does nothing and reads 0 or "".
#pragma once

#include <cstdint>

#include "runtime/objects.h"  // AnyNumber
#include "runtime/text.h"

class QIcon;
class QWidget;

enum GadgetKind : int {
    GadgetKindButton = 1,
    GadgetKindString = 2,
    GadgetKindText = 3,
    GadgetKindCheckBox = 4,
    GadgetKindFrame = 7,
    GadgetKindComboBox = 8,
    GadgetKindListIcon = 12,
    GadgetKindTrackBar = 17,
    GadgetKindEditor = 22,
    GadgetKindSpin = 26,
    GadgetKindCanvas = 33,
};

enum ButtonFlag : int { ButtonRight = 1, ButtonLeft = 2, ButtonToggle = 4, ButtonDefault = 8 };
enum TextFlag : int { TextRight = 1, TextCenter = 2, TextBorder = 4 };
enum CheckBoxFlag : int { CheckBoxRight = 1, CheckBoxCenter = 2, CheckBoxThreeState = 4 };
enum FrameFlag : int { FrameUntitled = 1, FrameFlat = 3 };
enum ComboBoxFlag : int { ComboBoxLowerCase = 2, ComboBoxUpperCase = 4, ComboBoxImage = 8 };
enum ListIconFlag : int {
    ListIconCheckBoxes = 1,
    ListIconMultiSelect = 2,
    ListIconGridLines = 4,
    ListIconHeaderDragDrop = 16,
    ListIconThreeState = 64,
    ListIconNoHeaders = 128,
};
enum TrackBarFlag : int { TrackBarTicks = 1 };
enum EditorFlag : int { EditorReadOnly = 1, EditorWordWrap = 2 };
enum SpinFlag : int { SpinReadOnly = 4, SpinNumeric = 8 };
enum CanvasFlag : int { CanvasBorder = 1 };

// Check box states.
inline constexpr int64_t CheckBoxChecked = 1;
inline constexpr int64_t CheckBoxUnchecked = 0;
inline constexpr int64_t CheckBoxInbetween = -1;

// List item states (GetGadgetItemState / SetGadgetItemState), combinable.
enum ListItemState : int64_t { ListItemSelected = 1, ListItemChecked = 2, ListItemInbetween = 4 };

// --- Creation ----------------------------------------------------------------------------------

int64_t ButtonGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags = 0);
int64_t StringGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags = 0);
int64_t TextGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags = 0);
int64_t CheckBoxGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags = 0);
int64_t FrameGadget(int64_t number, int x, int y, int width, int height, TextView text, int flags = 0);
int64_t ComboBoxGadget(int64_t number, int x, int y, int width, int height, int flags = 0);
int64_t ListIconGadget(int64_t number, int x, int y, int width, int height, TextView firstColumnTitle,
                       int firstColumnWidth, int flags = 0);
int64_t TrackBarGadget(int64_t number, int x, int y, int width, int height, int minimum, int maximum,
                       int flags = 0);
int64_t EditorGadget(int64_t number, int x, int y, int width, int height, int flags = 0);
int64_t SpinGadget(int64_t number, int x, int y, int width, int height, int minimum, int maximum,
                   int flags = 0);
int64_t CanvasGadget(int64_t number, int x, int y, int width, int height, int flags = 0);

// --- Operations --------------------------------------------------------------------------------

bool IsGadget(int64_t gadget);
int GadgetType(int64_t gadget);
void FreeGadget(int64_t gadget);
QWidget* GadgetID(int64_t gadget);

void SetGadgetText(int64_t gadget, TextView text);
Text GetGadgetText(int64_t gadget);
void SetGadgetState(int64_t gadget, int64_t state);
int64_t GetGadgetState(int64_t gadget);

// Inserts an item (combo box) or a row (list, columns separated by line feeds) at `position`,
// appending for -1 or a position past the end. The item's index, or -1.
int64_t AddGadgetItem(int64_t gadget, int64_t position, TextView text);
int64_t AddGadgetItem(int64_t gadget, int64_t position, TextView text, const QIcon& image);
void RemoveGadgetItem(int64_t gadget, int64_t item);
void ClearGadgetItems(int64_t gadget);
int64_t CountGadgetItems(int64_t gadget);
// The cell text of a list (item -1: the column title); "" outside the rows or columns.
Text GetGadgetItemText(int64_t gadget, int64_t item, int64_t column = 0);
void SetGadgetItemText(int64_t gadget, int64_t item, TextView text, int64_t column = 0);
int64_t GetGadgetItemState(int64_t gadget, int64_t item);
void SetGadgetItemState(int64_t gadget, int64_t item, int64_t state);
int64_t AddGadgetColumn(int64_t gadget, int64_t position, TextView title, int width);

// 1 disables, 0 enables.
void DisableGadget(int64_t gadget, int state);
// 1 hides, 0 shows.
void HideGadget(int64_t gadget, int state);
void GadgetToolTip(int64_t gadget, TextView text);
void SetActiveGadget(int64_t gadget);
int64_t GadgetX(int64_t gadget);
int64_t GadgetY(int64_t gadget);
int64_t GadgetWidth(int64_t gadget);
int64_t GadgetHeight(int64_t gadget);
// Moves and sizes the gadget's outermost widget.
void ResizeGadget(int64_t gadget, int x, int y, int width, int height);

// --- Control details -----------------------------------------------------------------------------

// The grey hint shown in an empty string gadget.
void SetStringGadgetPlaceholder(int64_t gadget, TextView text);
// A smaller font for a button or another control.
void SetGadgetSmallControlSize(int64_t gadget);
// A round button (the "?" help buttons).
void SetButtonCircularBezel(int64_t gadget);
// Rounded corners for a string gadget's or a spin gadget's field.
void SetGadgetRoundedBezel(int64_t gadget);
enum GadgetTextAlignment : int { GadgetAlignLeft = 0, GadgetAlignRight = 1, GadgetAlignCenter = 2 };
// Horizontal alignment of the text of a string, text or spin gadget's field.
void SetGadgetTextAlignment(int64_t gadget, int alignment);
// A track bar's moves by the keyboard and the wheel: an arrow key or a wheel notch moves it by
// `step`, Page Up and Page Down by `pageStep`.
void SetTrackBarSteps(int64_t gadget, int step, int pageStep);
// Shows (1) or never shows (0) a list's horizontal scroll bar.
void SetListHorizontalScrollBar(int64_t gadget, int shown);
