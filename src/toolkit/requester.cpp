#include "toolkit/requester.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "platform/preferred_language.h"
#include "toolkit/application.h"
#include "toolkit/emoji_text.h"
#include "toolkit/modal.h"
#include "toolkit/qt_text.h"
#include "toolkit/window.h"
#include "toolkit/window_record.h"

namespace {

RequesterResponder responder;

// The icon flags are tested warning, information, error: the first one set wins.
int WinningIcon(int flags) {
    for (int icon : {RequesterWarning, RequesterInfo, RequesterError}) {
        if (flags & icon) return icon;
    }
    return 0;
}

bool HasAnswerButtons(int flags) { return (flags & (RequesterYesNo | RequesterYesNoCancel)) != 0; }

RequesterCall DescribeMessage(TextView title, TextView message, int flags) {
    RequesterCall call;
    call.kind = RequesterCall::Message;
    call.title = Text(title);
    call.message = Text(message);
    call.flags = flags;
    call.icon = WinningIcon(flags);
    if (HasAnswerButtons(flags)) {
        RequesterButtonTitles titles = RequesterButtonTitlesFor(PreferredLanguageTag());
        call.yesTitle = titles.yes;
        call.noTitle = titles.no;
        if (flags & RequesterYesNoCancel) call.cancelTitle = titles.cancel;
    }
    return call;
}

// The folder before the last "/" and the name after it; a path directly under the root keeps "/".
std::pair<Text, Text> SplitDefaultFile(TextView path) {
    size_t slash = path.rfind(u'/');
    if (slash == TextView::npos) return {Text(), Text(path)};
    Text folder = slash == 0 ? Text(u"/") : Text(path.substr(0, slash));
    return {std::move(folder), Text(path.substr(slash + 1))};
}

// The program's key window when the requester opens: the requester is shown over it, and it is
// made key again when the requester is gone.
struct KeyWindowKeeper {
    int64_t window = KeyWindow();
    QWidget* Owner() const {
        QWidget* owner = WindowID(window);
        return owner && owner->isVisible() ? owner : nullptr;
    }
    ~KeyWindowKeeper() { ActivateWindowRecord(window); }
};

void SetMessageIcon(QMessageBox& box, int icon) {
    switch (icon) {
        case RequesterWarning: box.setIcon(QMessageBox::Warning); break;
        case RequesterInfo: box.setIcon(QMessageBox::Information); break;
        case RequesterError: box.setIcon(QMessageBox::Critical); break;
        default: {
            // Informational style: no alert symbol, the application's own icon when it has one.
            QIcon appIcon = QApplication::windowIcon();
            if (appIcon.isNull()) {
                box.setIcon(QMessageBox::NoIcon);
            } else {
                box.setIconPixmap(appIcon.pixmap(64, 64));
            }
        }
    }
}

// Narrowest and widest text column of a message requester: a one-line question stays on one line,
// a long message wraps at a comfortable reading width.
constexpr int MessageMinimumWidth = 300;
constexpr int MessageMaximumWidth = 460;

int WidestLine(const QFont& font, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const EmojiTextLayout layout(line, font, 0, 0.0);
        widest = std::max(widest, static_cast<int>(std::ceil(layout.NaturalSize().width())));
    }
    return widest;
}

// The title in bold above the message, as the desktop's own alerts have it, and a text column
// wide enough for the message: Qt sizes the box for the title alone and wraps the message to it.
void ShapeMessageBox(QMessageBox& box) {
    auto* title = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* message = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!title) return;
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    int widest = WidestLine(bold, title->text());
    if (message) widest = std::max(widest, WidestLine(message->font(), message->text()));
    // The message's label takes the title's width.
    title->setMinimumWidth(std::clamp(widest, MessageMinimumWidth, MessageMaximumWidth));
}

// The box's title bar, texts and icon; its buttons are the caller's.
void FillMessageBox(QMessageBox& box, const RequesterCall& call, const QString& message, int icon) {
    // The application's name in the title bar, as the desktop's alerts show it.
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQString(call.title));
    box.setInformativeText(message);
    // The informative label does not follow the box's text format; a "<" in a message (a process
    // name, a path) must not turn it into markup.
    for (QLabel* label : box.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
    SetMessageIcon(box, icon);
    // Last: setting the texts or the icon rebuilds the box's layout.
    ShapeMessageBox(box);
}

int RunMessageBox(const RequesterCall& call) {
    KeyWindowKeeper keeper;
    QMessageBox box(keeper.Owner());
    FillMessageBox(box, call, ToQString(call.message), call.icon);
    if (!HasAnswerButtons(call.flags)) {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        return 0;
    }
    QPushButton* yes = box.addButton(ToQString(call.yesTitle), QMessageBox::YesRole);
    QPushButton* no = box.addButton(ToQString(call.noTitle), QMessageBox::NoRole);
    QPushButton* cancel = nullptr;
    if (call.flags & RequesterYesNoCancel) {
        cancel = box.addButton(ToQString(call.cancelTitle), QMessageBox::RejectRole);
    }
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel ? cancel : no);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes) return RequesterYes;
    if (clicked == no || !cancel) return RequesterNo;
    return RequesterCancel;
}

// Shown and left to the user: it closes itself when answered.
void OpenMessageBox(const RequesterCall& call) {
    QWidget* owner = WindowID(KeyWindow());
    auto* box = new QMessageBox(owner && owner->isVisible() ? owner : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    FillMessageBox(*box, call, ToQString(call.message), call.icon);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->open();
}

int RunAlertBox(const RequesterCall& call) {
    KeyWindowKeeper keeper;
    QMessageBox box(keeper.Owner());
    // Each carriage return breaks the line as a line feed does.
    FillMessageBox(box, call, ToQString(call.message).replace(QLatin1Char('\r'), QLatin1Char('\n')), 0);
    std::vector<QPushButton*> buttons;
    for (const Text& title : call.buttons)
        buttons.push_back(box.addButton(ToQString(title), QMessageBox::AcceptRole));
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
        // Escape and the close button take the first button too; without an escape button the
        // box would ignore both.
        box.setEscapeButton(buttons.front());
    }
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) return static_cast<int>(i + 1);
    }
    return 0;
}

// "Name|pattern|Name|pattern" as the dialog's filters: each name, with its pattern in brackets
// unless the name shows it already.
std::vector<Text> FileFilters(TextView pattern) {
    std::vector<Text> filters;
    while (!pattern.empty()) {
        const size_t bar = pattern.find(u'|');
        const TextView name = pattern.substr(0, bar);
        const TextView rest = bar == TextView::npos ? TextView() : pattern.substr(bar + 1);
        const size_t next = rest.find(u'|');
        const TextView patterns = rest.substr(0, next);
        filters.push_back(name.find(u'(') != TextView::npos || patterns.empty() ? Text(name)
                                                                                 : Text(name) + u" (" + Text(patterns) + u")");
        pattern = next == TextView::npos ? TextView() : rest.substr(next + 1);
    }
    return filters;
}

Text RunOpenFileDialog(const RequesterCall& call) {
    KeyWindowKeeper keeper;
    QFileDialog dialog(keeper.Owner(), ToQString(call.title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The program checks the chosen file's content itself, so no file is hidden from the user.
    dialog.setFileMode((call.flags & 1) ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!call.startFolder.empty()) dialog.setDirectory(ToQString(call.startFolder));
    if (!call.proposedName.empty()) dialog.selectFile(ToQString(call.proposedName));
    QStringList filters;
    for (const Text& filter : call.filters) filters.push_back(ToQString(filter));
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    // Wide enough for a log's whole name, its date and time included.
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(900, 540);
    if (auto* files = dialog.findChild<QTreeView*>()) files->header()->resizeSection(0, 440);
    if (dialog.exec() != QDialog::Accepted) return Text();
    QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return Text();
    return FromQString(QFileInfo(chosen.first()).absoluteFilePath());
}

}  // namespace

RequesterButtonTitles RequesterButtonTitlesFor(TextView languageTag) {
    if (languageTag.starts_with(u"fr")) return {u"Oui", u"Non", u"Annuler"};
    if (languageTag.starts_with(u"de")) return {u"Ja", u"Nein", u"Abbrechen"};
    if (languageTag.starts_with(u"it")) return {u"S\u00CC", u"NO", u"Annulla"};
    if (languageTag.starts_with(u"es")) return {u"S\u00ED", u"No", u"Cancelar"};
    return {u"Yes", u"No", u"Cancel"};
}

void SetRequesterResponder(RequesterResponder newResponder) { responder = std::move(newResponder); }

int MessageRequester(TextView title, TextView message, int flags) {
    RequesterCall call = DescribeMessage(title, message, flags);
    if ((flags & RequesterGoesOn) && !HasAnswerButtons(flags)) {
        if (responder) return responder(call).answer;
        OpenMessageBox(call);
        return 0;
    }
    // Window timers must not tick while the user (or the responder) answers.
    ModalRunScope modal;
    if (responder) return responder(call).answer;
    return RunMessageBox(call);
}

Text OpenFileRequester(TextView title, TextView defaultFile, TextView pattern, int patternPosition,
                       int flags) {
    RequesterCall call;
    call.kind = RequesterCall::OpenFile;
    call.title = Text(title);
    call.flags = flags;
    std::tie(call.startFolder, call.proposedName) = SplitDefaultFile(defaultFile);
    call.filters = FileFilters(pattern);
    ModalRunScope modal;
    if (responder) return responder(call).path;
    return RunOpenFileDialog(call);
}

int AlertRequester(TextView title, TextView message, const std::vector<Text>& buttons) {
    RequesterCall call;
    call.kind = RequesterCall::Alert;
    call.title = Text(title);
    call.message = Text(message);
    call.buttons = buttons;
    ModalRunScope modal;
    if (responder) return responder(call).answer;
    return RunAlertBox(call);
}

int SetClipboardText(TextView text) {
    // setText stores plain text only, replacing whatever the clipboard held.
    QGuiApplication::clipboard()->setText(ToQString(text), QClipboard::Clipboard);
    return 1;
}

void AlertAttention(bool beep) {
    BringApplicationToFront();
    if (beep) Beep();
}
