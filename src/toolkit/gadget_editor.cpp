// The multi-line plain-text editor.
#include <QFocusEvent>
#include <QPlainTextEdit>

#include "toolkit/emoji_text.h"
#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/qt_text.h"

namespace {

class Xo_QPlainTextEdit : public QPlainTextEdit {
public:
    explicit Xo_QPlainTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

    XoGadgetFunctions* Xo_functions = nullptr;
    bool Xo_settingText = false;  // the program's own SetGadgetText is not an edit

protected:
    void focusInEvent(QFocusEvent* event) override {
        QPlainTextEdit::focusInEvent(event);
        SendFocusEvent(Xo_functions, *event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QPlainTextEdit::focusOutEvent(event);
        SendFocusEvent(Xo_functions, *event);
    }
};

class EditorFunctions : public XoGadgetFunctions {
public:
    explicit EditorFunctions(Xo_QPlainTextEdit* editor) : editor_(editor) {}

    // CR LF is one line break, as a lone CR or LF is; Qt would make two of CR LF.
    void SetGadgetText(TextView text) override {
        QString plain = ToQString(text);
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        editor_->Xo_settingText = true;
        editor_->setPlainText(plain);
        editor_->Xo_settingText = false;
    }
    Text GetGadgetText() override { return FromQString(editor_->toPlainText()); }

private:
    Xo_QPlainTextEdit* editor_;
};

}  // namespace

int64_t EditorGadget(int64_t number, int x, int y, int width, int height, int flags) {
    auto* editor = new Xo_QPlainTextEdit(GadgetParent());
    if (flags & EditorReadOnly) {
        editor->setReadOnly(true);
        editor->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    ShowEmojiInColour(editor->document());
    editor->setLineWrapMode((flags & EditorWordWrap) ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    auto functions = std::make_unique<EditorFunctions>(editor);
    XoGadgetFunctions* f = functions.get();
    editor->Xo_functions = f;
    QObject::connect(editor, &QPlainTextEdit::textChanged, editor, [editor, f] {
        if (!editor->Xo_settingText) f->SendEvent(EventTypeChange);
    });
    return RegisterGadget(number, GadgetKindEditor, x, y, width, height, editor, editor, flags,
                          std::move(functions));
}
