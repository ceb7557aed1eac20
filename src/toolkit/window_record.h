// The toolkit's own view of its windows: the records behind the window numbers and the Qt window
// class that turns the platform's window notifications into events. Not for the program's code.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "runtime/objects.h"

class QVBoxLayout;

// A top-level window: the content widget (gadget coordinates, top-left origin) below an optional
// menu bar. Close requests only become events; the program decides whether the window closes.
class Xo_QWindow : public QWidget {
    Q_OBJECT
public:
    Xo_QWindow(int64_t number, QWidget* parent, Qt::WindowFlags flags);

    QWidget* Content() const { return Xo_content; }
    QVBoxLayout* Layout() const { return Xo_layout; }

    // Follows the parent window's moves, as a child window does.
    void FollowParent(QWidget* parent);
    // Keeps the window where it is now (or lets it move again).
    void PinPosition(bool pinned);
    // The close button's request: a close event for the program, unless the window is disabled.
    void RequestClose();

    int64_t Xo_number = -1;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Xo_content = nullptr;
    QVBoxLayout* Xo_layout = nullptr;
    QPointer<QWidget> Xo_followed;
    QPoint Xo_followedPos;
    bool Xo_pinned = false;
    QPoint Xo_pinnedPos;
};

struct WindowTimer {
    int64_t number = 0;
    std::unique_ptr<QTimer> timer;
};

struct WindowRecord {
    QPointer<Xo_QWindow> window;
    int64_t parentNumber = -1;        // the parent window given at opening, or the sheet's owner
    std::vector<WindowTimer> timers;
    QPointer<QWidget> disabledView;   // the blocking overlay while disabled
    Qt::WindowFlags flagsBeforeDisable;
    int64_t previousKeyWindow = -1;   // the key window when this one opened
    QRect centredOn;                  // the area a centred window was centred on, else empty
    QPoint centredAt;                 // where that centring put it (frame and content corner)
    QPoint centredContentAt;
    QMargins centredDecoration;       // the desktop's frame around the window at that time

    WindowRecord() = default;
    WindowRecord(const WindowRecord&) = delete;
    WindowRecord& operator=(const WindowRecord&) = delete;
    ~WindowRecord();
};

ObjectTable<WindowRecord>& WindowTable();
WindowRecord* FindWindowRecord(int64_t number);
// The number of the window whose platform window this is, or -1.
int64_t WindowNumberOf(const QWidget* window);

// The window that gadgets are created in (-1 for none), and its content widget.
int64_t CurrentGadgetList();
QWidget* GadgetListContent();

// The window the toolkit last made key (or the platform reported as key); -1 for none.
int64_t KeyWindow();
// Brings a visible window to the front and makes it key; false for a hidden or missing one.
bool ActivateWindowRecord(int64_t number);
// The first visible window of the window table; -1 for none.
int64_t FirstVisibleWindow();
// Centres the record's window's frame on `area` (a screen's or another window's geometry) and
// remembers it, so that the window can be centred again
// when it grows.
void CentreWindowRecord(WindowRecord& record, const QRect& area);
// Centres a window that was centred again after its size changed (a menu bar added), unless it has
// been moved since.
void RecentreWindowRecord(WindowRecord& record);
// The same once the desktop has framed the window (its title bar was unknown at opening).
void RecentreFramedWindow(int64_t number);

// Applies window flags to a window that may be on screen, without hiding and re-showing it.
void ApplyWindowFlags(QWidget* window, Qt::WindowFlags flags);

// What a closing window takes with it; implemented by the gadgets, menus and timers.
void FreeWindowGadgets(int64_t window);
void FreeWindowMenus(int64_t window);
void StopWindowTimers(WindowRecord& record);
