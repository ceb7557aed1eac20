// Numbered windows: opening, closing, the key window and the current gadget list.
#include "toolkit/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include "toolkit/event_queue.h"
#include "toolkit/qt_text.h"
#include "toolkit/window_record.h"

namespace {

int64_t currentGadgetList = -1;
int64_t keyWindow = -1;

// The title bar and borders of the desktop's frame; none before the window is first shown.
QMargins Decoration(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle && window->isVisible() ? handle->frameMargins() : QMargins();
}

void CentreWindowOn(QWidget* window, const QRect& area) {
    const QMargins d = Decoration(window);
    const QSize size = window->sizeHint().expandedTo(window->size()) + QSize(d.left() + d.right(), d.top() + d.bottom());
    window->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

// A window of another window is its dialog: the desktop keeps it above that window only, and
// minimises and restores the two together.
Qt::WindowFlags PlatformFlags(int flags, bool attached) {
    Qt::WindowFlags result = attached ? Qt::Dialog : Qt::Window;
    if (flags & WindowBorderless) return result | Qt::FramelessWindowHint;
    // Without explicit buttons the window has a bare title bar.
    result |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (flags & (WindowSystemMenu | WindowMaximizeGadget | WindowMinimizeGadget))
        result |= Qt::WindowCloseButtonHint;
    if (flags & (WindowMinimizeGadget | WindowMinimize)) result |= Qt::WindowMinimizeButtonHint;
    if (flags & (WindowSizeGadget | WindowMaximizeGadget | WindowMaximize))
        result |= Qt::WindowMaximizeButtonHint;
    return result;
}

bool Resizable(int flags) { return flags & (WindowSizeGadget | WindowMaximizeGadget | WindowMaximize); }

void PlaceWindow(WindowRecord& record, int x, int y, int flags, QWidget* parent) {
    if ((flags & WindowScreenCentered) || x == WindowCentredPosition || y == WindowCentredPosition) {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (screen) CentreWindowRecord(record, screen->availableGeometry());
        return;
    }
    if (flags & WindowWindowCentered) {
        WindowRecord* key = FindWindowRecord(KeyWindow());
        QWidget* reference = parent ? parent : (key ? key->window.data() : nullptr);
        if (reference) {
            CentreWindowRecord(record, reference->geometry());
            return;
        }
    }
    record.window->move(x, y);
}

void ShowOpenedWindow(int64_t number, Xo_QWindow* window, int flags) {
    if (flags & WindowNoActivate) window->setAttribute(Qt::WA_ShowWithoutActivating);
    if (flags & WindowMaximize)
        window->showMaximized();
    else if (flags & WindowMinimize)
        window->showMinimized();
    else
        window->show();
    if (flags & WindowNoActivate)
        window->raise();
    else
        ActivateWindowRecord(number);
}

}  // namespace

// --- The window class --------------------------------------------------------------------------

Xo_QWindow::Xo_QWindow(int64_t number, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), Xo_number(number) {
    Xo_layout = new QVBoxLayout(this);
    Xo_layout->setContentsMargins(0, 0, 0, 0);
    Xo_layout->setSpacing(0);
    Xo_content = new QWidget(this);
    Xo_content->setObjectName(QStringLiteral("Xo_content"));
    Xo_layout->addWidget(Xo_content);
}

void Xo_QWindow::FollowParent(QWidget* parent) {
    if (Xo_followed) Xo_followed->removeEventFilter(this);
    Xo_followed = parent;
    if (!parent) return;
    Xo_followedPos = parent->pos();
    parent->installEventFilter(this);
}

void Xo_QWindow::PinPosition(bool pinned) {
    Xo_pinned = pinned;
    Xo_pinnedPos = pos();
}

void Xo_QWindow::RequestClose() {
    WindowRecord* record = FindWindowRecord(Xo_number);
    if (record && !record->disabledView) QueueToolkitEvent(EventCodeCloseWindow, Xo_number, Xo_number, 0);
}

void Xo_QWindow::closeEvent(QCloseEvent* event) {
    // The program decides: the request becomes an event and the window stays.
    event->ignore();
    RequestClose();
}

void Xo_QWindow::keyPressEvent(QKeyEvent* event) {
    // Escape that no control took asks to close a dialog, as its Cancel or Close would.
    if (event->key() == Qt::Key_Escape && windowType() == Qt::Dialog) {
        RequestClose();
        return;
    }
    // Return or Enter that no control took presses the window's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        for (QPushButton* button : Xo_content->findChildren<QPushButton*>()) {
            if (button->isDefault() && button->isVisible() && button->isEnabled()) {
                button->click();
                return;
            }
        }
    }
    QWidget::keyPressEvent(event);
}

void Xo_QWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (Xo_pinned && pos() != Xo_pinnedPos) {
        QPoint target = Xo_pinnedPos;
        QTimer::singleShot(0, this, [this, target] { move(target); });
        return;
    }
    QueueToolkitEvent(EventCodeMoveWindow, Xo_number, Xo_number, 0);
}

void Xo_QWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Only the last size of a series is worth reading.
    RemoveQueuedEvents(EventCodeSizeWindow, Xo_number, Xo_number);
    QueueToolkitEvent(EventCodeSizeWindow, Xo_number, Xo_number, 0);
}

void Xo_QWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const Qt::WindowStates old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const Qt::WindowStates now = windowState();
    if (now & Qt::WindowMinimized)
        QueueToolkitEvent(EventCodeMinimizeWindow, Xo_number, Xo_number, 0);
    else if (now & (Qt::WindowMaximized | Qt::WindowFullScreen))
        QueueToolkitEvent(EventCodeMaximizeWindow, Xo_number, Xo_number, 0);
    else if (old & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        QueueToolkitEvent(EventCodeRestoreWindow, Xo_number, Xo_number, 0);
}

bool Xo_QWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        keyWindow = Xo_number;
        QueueToolkitEvent(EventCodeActivateWindow, Xo_number, Xo_number, 0);
    } else if (event->type() == QEvent::WindowDeactivate) {
        QueueToolkitEvent(EventCodeDeactivateWindow, Xo_number, Xo_number, 0);
    } else if (event->type() == QEvent::Paint) {
        // The desktop frames a window before showing it: a centred window is centred once more
        // with its title bar counted, after this paint.
        const int64_t number = Xo_number;
        QTimer::singleShot(0, this, [number] { RecentreFramedWindow(number); });
    }
    return QWidget::event(event);
}

bool Xo_QWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Xo_followed && event->type() == QEvent::Move) {
        const QPoint delta = Xo_followed->pos() - Xo_followedPos;
        Xo_followedPos = Xo_followed->pos();
        if (!delta.isNull() && isVisible()) {
            Xo_pinnedPos += delta;
            move(pos() + delta);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- Records -----------------------------------------------------------------------------------

WindowRecord::~WindowRecord() {
    timers.clear();
    delete window.data();
}

ObjectTable<WindowRecord>& WindowTable() {
    static ObjectTable<WindowRecord> table(8);
    return table;
}

WindowRecord* FindWindowRecord(int64_t number) {
    WindowRecord* record = WindowTable().Get(number);
    return record && record->window ? record : nullptr;
}

int64_t WindowNumberOf(const QWidget* window) {
    int64_t found = -1;
    if (!window) return found;
    WindowTable().ForEach([&](int64_t number, WindowRecord& record) {
        if (record.window == window) found = number;
    });
    return found;
}

int64_t CurrentGadgetList() { return FindWindowRecord(currentGadgetList) ? currentGadgetList : -1; }

QWidget* GadgetListContent() {
    WindowRecord* record = FindWindowRecord(currentGadgetList);
    return record ? record->window->Content() : nullptr;
}

int64_t KeyWindow() { return FindWindowRecord(keyWindow) ? keyWindow : -1; }

int64_t FirstVisibleWindow() {
    int64_t found = -1;
    WindowTable().ForEach([&](int64_t number, WindowRecord& record) {
        if (found < 0 && record.window && record.window->isVisible()) found = number;
    });
    return found;
}

void CentreWindowRecord(WindowRecord& record, const QRect& area) {
    if (!record.window) return;
    CentreWindowOn(record.window, area);
    record.centredOn = area;
    record.centredAt = record.window->pos();
    record.centredContentAt = record.window->geometry().topLeft();
    record.centredDecoration = Decoration(record.window);
}

void RecentreWindowRecord(WindowRecord& record) {
    if (!record.window || record.centredOn.isEmpty()) return;
    // Framing keeps either the frame's or the content's corner where it was put; any other place
    // is the user's doing.
    if (record.window->pos() != record.centredAt && record.window->geometry().topLeft() != record.centredContentAt)
        return;
    CentreWindowRecord(record, record.centredOn);
}

void RecentreFramedWindow(int64_t number) {
    WindowRecord* record = FindWindowRecord(number);
    if (record && Decoration(record->window) != record->centredDecoration) RecentreWindowRecord(*record);
}

bool ActivateWindowRecord(int64_t number) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record || !record->window->isVisible()) return false;
    if (record->window->isMinimized()) record->window->showNormal();
    record->window->raise();
    record->window->activateWindow();
    keyWindow = number;
    return true;
}

// --- Operations --------------------------------------------------------------------------------

int64_t OpenWindow(int64_t number, int x, int y, int innerWidth, int innerHeight, TextView title,
                   int flags, int64_t parentWindow) {
    if (number != AnyNumber && number < 0) return 0;
    if (number != AnyNumber && WindowTable().Exists(number)) CloseWindow(number);
    SuppressEventsScope quiet;  // what opening causes is not the user's doing
    WindowRecord* parentRecord = FindWindowRecord(parentWindow);
    QWidget* parent = parentRecord ? parentRecord->window.data() : nullptr;
    const bool attached = parent && !(flags & WindowInvisible);

    int64_t handle = number;
    WindowRecord* record = WindowTable().Create(handle);
    if (!record) return 0;
    record->parentNumber = parent ? parentWindow : -1;
    record->previousKeyWindow = KeyWindow();
    auto* window = new Xo_QWindow(handle, attached ? parent : nullptr, PlatformFlags(flags, attached));
    record->window = window;
    window->setWindowTitle(ToQString(title));
    const QSize inner(innerWidth < 1 ? 1 : innerWidth, innerHeight < 1 ? 1 : innerHeight);
    if (Resizable(flags)) {
        window->Content()->resize(inner);
        window->resize(inner);
    } else {
        window->Layout()->setSizeConstraint(QLayout::SetFixedSize);
        window->Content()->setFixedSize(inner);
    }
    window->Layout()->activate();
    PlaceWindow(*record, x, y, flags, parent);
    if (attached) window->FollowParent(parent);
    if (!(flags & WindowNoGadgets)) currentGadgetList = handle;
    if (!(flags & WindowInvisible)) ShowOpenedWindow(handle, window, flags);
    return number == AnyNumber ? handle : reinterpret_cast<intptr_t>(window);
}

void CloseWindow(int64_t number) {
    if (number == AnyNumber) {
        std::vector<int64_t> open;
        WindowTable().ForEach([&](int64_t n, WindowRecord&) { open.push_back(n); });
        for (int64_t n : open) CloseWindow(n);
        return;
    }
    WindowRecord* record = WindowTable().Get(number);
    if (!record) return;
    // Windows attached to this one would go with its platform window; close them properly first.
    std::vector<int64_t> children;
    WindowTable().ForEach([&](int64_t n, WindowRecord& child) {
        if (n != number && child.parentNumber == number && child.window && record->window &&
            child.window->parentWidget() == record->window)
            children.push_back(n);
    });
    for (int64_t child : children) CloseWindow(child);
    record = WindowTable().Get(number);
    if (!record) return;
    const bool wasKey = keyWindow == number;
    const int64_t previous = record->previousKeyWindow;
    FreeWindowGadgets(number);
    FreeWindowMenus(number);
    StopWindowTimers(*record);
    if (currentGadgetList == number) currentGadgetList = -1;
    if (Xo_QWindow* window = record->window) {
        window->FollowParent(nullptr);
        window->hide();
        window->setParent(nullptr);
        delete window;
    }
    WindowTable().Free(number);
    RemoveQueuedWindowEvents(number);
    if (!wasKey) return;
    keyWindow = -1;
    if (!ActivateWindowRecord(previous)) ActivateWindowRecord(FirstVisibleWindow());
}

bool IsWindow(int64_t number) { return FindWindowRecord(number) != nullptr; }

QWidget* WindowID(int64_t number) {
    WindowRecord* record = FindWindowRecord(number);
    return record ? record->window.data() : nullptr;
}

int64_t WindowWidth(int64_t number) {
    WindowRecord* record = FindWindowRecord(number);
    return record ? record->window->Content()->width() : 0;
}

int64_t WindowHeight(int64_t number) {
    WindowRecord* record = FindWindowRecord(number);
    return record ? record->window->Content()->height() : 0;
}

void SetWindowTitle(int64_t number, TextView title) {
    if (WindowRecord* record = FindWindowRecord(number)) record->window->setWindowTitle(ToQString(title));
}

Text GetWindowTitle(int64_t number) {
    WindowRecord* record = FindWindowRecord(number);
    return record ? FromQString(record->window->windowTitle()) : Text();
}

void SetActiveWindow(int64_t number) { ActivateWindowRecord(number); }

int64_t GetActiveWindow() { return KeyWindow(); }

int64_t UseGadgetList(int64_t window) {
    const int64_t previous = CurrentGadgetList();
    if (FindWindowRecord(window)) currentGadgetList = window;
    return previous;
}
