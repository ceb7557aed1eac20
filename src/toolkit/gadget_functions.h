// The toolkit's side of gadgets: the record behind a gadget number and the base class of the
// per-kind functions, one virtual per gadget operation. Each kind overrides what it does
// differently; the base gives the behaviour every control shares.
#pragma once

#include <cstdint>
#include <memory>

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include "runtime/objects.h"
#include "runtime/text.h"

class QFocusEvent;

class XoGadgetFunctions {
public:
    XoGadgetFunctions() = default;
    XoGadgetFunctions(const XoGadgetFunctions&) = delete;
    XoGadgetFunctions& operator=(const XoGadgetFunctions&) = delete;
    virtual ~XoGadgetFunctions() = default;

    virtual void Setup(int64_t gadget, int type, QWidget* view, QWidget* container, int flags);
    // Queues a gadget event of this gadget and its window.
    virtual void SendEvent(int64_t eventType);
    // The control's action: a gadget event of type 0.
    virtual void EventHandler();
    virtual void FreeGadget();
    virtual void ActivateGadget();
    virtual void GadgetToolTip(TextView text);
    virtual void HideGadget(int state);
    virtual void DisableGadget(int state);
    virtual int64_t GadgetX(int mode);
    virtual int64_t GadgetY(int mode);
    virtual int64_t GadgetWidth();
    virtual int64_t GadgetHeight();
    virtual void ResizeGadget(int x, int y, int width, int height);
    virtual int64_t AddGadgetItem(int64_t position, TextView text, const QIcon& image, int flags);
    virtual void RemoveGadgetItem(int64_t item);
    virtual void ClearGadgetItems();
    virtual int64_t CountGadgetItems();
    virtual int64_t AddGadgetColumn(int64_t position, TextView title, int width);
    virtual void SetGadgetState(int64_t state);
    virtual int64_t GetGadgetState();
    virtual void SetGadgetItemState(int64_t item, int64_t state);
    virtual int64_t GetGadgetItemState(int64_t item);
    virtual void SetGadgetText(TextView text);
    virtual Text GetGadgetText();
    virtual void SetGadgetItemText(int64_t item, TextView text, int64_t column);
    virtual Text GetGadgetItemText(int64_t item, int64_t column);

    int64_t Xo_gadget = -1;
    int64_t Xo_window = -1;
    int Xo_type = 0;
    int Xo_flags = 0;
    QWidget* Xo_view = nullptr;
    QPointer<QWidget> Xo_container;
};

// The gadget's control, kind, flags and window are kept by its functions (Setup).
struct GadgetRecord {
    QPointer<QWidget> container;      // the outermost widget placed in the window
    std::unique_ptr<XoGadgetFunctions> functions;

    GadgetRecord() = default;
    GadgetRecord(const GadgetRecord&) = delete;
    GadgetRecord& operator=(const GadgetRecord&) = delete;
    ~GadgetRecord();
};

ObjectTable<GadgetRecord>& GadgetTable();
// The functions of a living gadget, or nullptr.
XoGadgetFunctions* FindGadgetFunctions(int64_t gadget);

// Registers a new gadget in the current gadget list: frees a gadget living under the number,
// places the container at (x, y, width, height) in the list's content and sets the functions up.
// The result as the creation functions return it: the control as a number, the handle for
// AnyNumber, 0 when there is no gadget list (the widgets are then deleted).
int64_t RegisterGadget(int64_t number, int type, int x, int y, int width, int height, QWidget* view,
                       QWidget* container, int flags, std::unique_ptr<XoGadgetFunctions> functions);

// The content widget gadgets are created in; nullptr when no window is the current gadget list.
QWidget* GadgetParent();

// A text control's focus change as a gadget event of its functions (none: nothing is sent): got
// focus 256, lost focus 512. The window's own activation and a pop-up move no focus between the
// program's controls and send nothing.
void SendFocusEvent(XoGadgetFunctions* functions, const QFocusEvent& event);
