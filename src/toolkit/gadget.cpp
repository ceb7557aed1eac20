// The gadget table and the gadget operations: each operation finds the gadget's functions and
// lets its kind answer. Programmatic changes that a control would report run with events
// suppressed.
#include "toolkit/gadget.h"

#include <vector>

#include "toolkit/event_queue.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/window_record.h"

GadgetRecord::~GadgetRecord() {
    if (functions) functions->FreeGadget();
    // The container may already be gone with its window.
    delete container.data();
}

ObjectTable<GadgetRecord>& GadgetTable() {
    static ObjectTable<GadgetRecord> table(16);
    return table;
}

XoGadgetFunctions* FindGadgetFunctions(int64_t gadget) {
    GadgetRecord* record = GadgetTable().Get(gadget);
    return record && record->container ? record->functions.get() : nullptr;
}

QWidget* GadgetParent() { return GadgetListContent(); }

int64_t RegisterGadget(int64_t number, int type, int x, int y, int width, int height, QWidget* view,
                       QWidget* container, int flags, std::unique_ptr<XoGadgetFunctions> functions) {
    QWidget* parent = GadgetParent();
    if (!parent || !container || (number != AnyNumber && number < 0)) {
        delete container;
        return 0;
    }
    if (number != AnyNumber) GadgetTable().Free(number);
    int64_t handle = number;
    GadgetRecord* record = GadgetTable().Create(handle);
    if (!record) {
        delete container;
        return 0;
    }
    container->setParent(parent);
    container->setGeometry(x, y, width, height);
    container->show();
    functions->Setup(handle, type, view, container, flags);
    functions->Xo_window = CurrentGadgetList();
    record->container = container;
    record->functions = std::move(functions);
    return number == AnyNumber ? handle : reinterpret_cast<intptr_t>(view);
}

void FreeWindowGadgets(int64_t window) {
    std::vector<int64_t> owned;
    GadgetTable().ForEach([&](int64_t number, GadgetRecord& record) {
        if (record.functions && record.functions->Xo_window == window) owned.push_back(number);
    });
    for (int64_t number : owned) GadgetTable().Free(number);
}

// --- Operations --------------------------------------------------------------------------------

bool IsGadget(int64_t gadget) { return FindGadgetFunctions(gadget) != nullptr; }

int GadgetType(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->Xo_type : 0;
}

void FreeGadget(int64_t gadget) {
    if (gadget == AnyNumber) return;  // "all gadgets" is not a thing a program asks for
    GadgetTable().Free(gadget);
}

QWidget* GadgetID(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->Xo_view : nullptr;
}

void SetGadgetText(int64_t gadget, TextView text) {
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->SetGadgetText(text);
}

Text GetGadgetText(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GetGadgetText() : Text();
}

void SetGadgetState(int64_t gadget, int64_t state) {
    SuppressEventsScope quiet;
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->SetGadgetState(state);
}

int64_t GetGadgetState(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GetGadgetState() : 0;
}

int64_t AddGadgetItem(int64_t gadget, int64_t position, TextView text) {
    return AddGadgetItem(gadget, position, text, QIcon());
}

int64_t AddGadgetItem(int64_t gadget, int64_t position, TextView text, const QIcon& image) {
    SuppressEventsScope quiet;
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->AddGadgetItem(position, text, image, 0) : -1;
}

void RemoveGadgetItem(int64_t gadget, int64_t item) {
    SuppressEventsScope quiet;
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->RemoveGadgetItem(item);
}

void ClearGadgetItems(int64_t gadget) {
    SuppressEventsScope quiet;
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->ClearGadgetItems();
}

int64_t CountGadgetItems(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->CountGadgetItems() : 0;
}

Text GetGadgetItemText(int64_t gadget, int64_t item, int64_t column) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GetGadgetItemText(item, column) : Text();
}

void SetGadgetItemText(int64_t gadget, int64_t item, TextView text, int64_t column) {
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->SetGadgetItemText(item, text, column);
}

int64_t GetGadgetItemState(int64_t gadget, int64_t item) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GetGadgetItemState(item) : 0;
}

void SetGadgetItemState(int64_t gadget, int64_t item, int64_t state) {
    SuppressEventsScope quiet;
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->SetGadgetItemState(item, state);
}

int64_t AddGadgetColumn(int64_t gadget, int64_t position, TextView title, int width) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->AddGadgetColumn(position, title, width) : -1;
}

void DisableGadget(int64_t gadget, int state) {
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->DisableGadget(state);
}

void HideGadget(int64_t gadget, int state) {
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->HideGadget(state);
}

void GadgetToolTip(int64_t gadget, TextView text) {
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->GadgetToolTip(text);
}

void SetActiveGadget(int64_t gadget) {
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->ActivateGadget();
}

int64_t GadgetX(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GadgetX(0) : 0;
}

int64_t GadgetY(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GadgetY(0) : 0;
}

int64_t GadgetWidth(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GadgetWidth() : 0;
}

int64_t GadgetHeight(int64_t gadget) {
    XoGadgetFunctions* f = FindGadgetFunctions(gadget);
    return f ? f->GadgetHeight() : 0;
}

void ResizeGadget(int64_t gadget, int x, int y, int width, int height) {
    if (XoGadgetFunctions* f = FindGadgetFunctions(gadget)) f->ResizeGadget(x, y, width, height);
}
