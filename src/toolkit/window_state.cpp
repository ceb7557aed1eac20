// Window states that the program switches while a window is open: disabled, shown as a sheet,
// pinned in place.
#include <QPointer>
#include <QWindow>

#include "toolkit/event_queue.h"
#include "toolkit/window.h"
#include "toolkit/window_record.h"

namespace {

// A transparent cover over a window's content that swallows mouse and keyboard input, so that
// the window looks unchanged while another window has the user's attention.
class Xo_QBlocker : public QWidget {
public:
    explicit Xo_QBlocker(QWidget* content) : QWidget(content) {
        setObjectName(QStringLiteral("Xo_blocker"));
        setGeometry(0, 0, 4096, 4096);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_NoSystemBackground);
        raise();
        show();
    }

    QPointer<QWidget> Xo_previousFocus;

protected:
    bool event(QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
            event->accept();
            return true;
        default:
            return QWidget::event(event);
        }
    }
    // Tab would otherwise move the focus to a control under the cover.
    bool focusNextPrevChild(bool) override { return true; }
};

const Qt::WindowFlags TitleBarButtons =
    Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;

}  // namespace

void ApplyWindowFlags(QWidget* window, Qt::WindowFlags flags) {
    if (window->windowFlags() == flags) return;
    if (window->isVisible() && window->windowHandle()) {
        // Changing the widget's flags would hide and re-show the window; tell the platform
        // window directly and keep the widget's view of its flags in step.
        window->overrideWindowFlags(flags);
        window->windowHandle()->setFlags(flags);
    } else {
        window->setWindowFlags(flags);
    }
}

void DisableWindow(int64_t number, int state) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return;
    // The cover takes the keyboard focus and gives it back: not a focus change of the controls.
    SuppressEventsScope quiet;
    Xo_QWindow* window = record->window;
    if (state && !record->disabledView) {
        record->flagsBeforeDisable = window->windowFlags();
        auto* blocker = new Xo_QBlocker(window->Content());
        blocker->Xo_previousFocus = window->focusWidget();
        blocker->setFocus();
        record->disabledView = blocker;
        ApplyWindowFlags(window, record->flagsBeforeDisable & ~TitleBarButtons);
    } else if (!state && record->disabledView) {
        auto* blocker = static_cast<Xo_QBlocker*>(record->disabledView.data());
        QPointer<QWidget> focus = blocker->Xo_previousFocus;
        delete blocker;
        // Only the title-bar buttons were taken away; anything changed meanwhile stays.
        const Qt::WindowFlags buttons = record->flagsBeforeDisable & TitleBarButtons;
        ApplyWindowFlags(window, (window->windowFlags() & ~TitleBarButtons) | buttons);
        if (focus) focus->setFocus();
    }
}

void BeginSheet(int64_t window, int64_t parentWindow) {
    WindowRecord* record = FindWindowRecord(window);
    WindowRecord* parent = FindWindowRecord(parentWindow);
    if (!record || !parent || window == parentWindow) return;
    Xo_QWindow* sheet = record->window;
    Xo_QWindow* owner = parent->window;
    sheet->hide();
    // A dialog of its owner: kept above it, minimised only with it.
    const Qt::WindowFlags type = Qt::WindowType_Mask | Qt::WindowMinMaxButtonsHint;
    sheet->setParent(owner, (sheet->windowFlags() & ~type) | Qt::Dialog);
    record->parentNumber = parentWindow;
    sheet->setWindowModality(Qt::WindowModal);
    CentreWindowRecord(*record, owner->geometry());
    sheet->FollowParent(owner);
    sheet->show();
    ActivateWindowRecord(window);
}

void EndSheet(int64_t window) {
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return;
    record->window->hide();
    record->window->setWindowModality(Qt::NonModal);
}

void SetWindowMovable(int64_t number, int movable) {
    if (WindowRecord* record = FindWindowRecord(number)) record->window->PinPosition(movable == 0);
}

// Linux title bars are drawn by the window manager and carry no file icon.
void SetWindowTitlebarTransparent(int64_t, int) {}
void SetWindowRepresentedFile(int64_t, TextView) {}
