// The drop-down list (a combo box the user cannot type into).
#include <QComboBox>

#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/qt_text.h"

namespace {

class Xo_QComboBox : public QComboBox {
public:
    explicit Xo_QComboBox(QWidget* parent) : QComboBox(parent) {}
};

class ComboBoxFunctions : public XoGadgetFunctions {
public:
    explicit ComboBoxFunctions(QComboBox* box) : box_(box) {}

    int64_t AddGadgetItem(int64_t position, TextView text, const QIcon& image, int) override {
        QString title = ToQString(text);
        if (Xo_flags & ComboBoxLowerCase) title = title.toLower();
        if (Xo_flags & ComboBoxUpperCase) title = title.toUpper();
        const int count = box_->count();
        const int index = position >= 0 && position < count ? static_cast<int>(position) : count;
        box_->insertItem(index, image, title);
        if (box_->currentIndex() < 0) box_->setCurrentIndex(0);
        return index;
    }

    void RemoveGadgetItem(int64_t item) override {
        if (item >= 0 && item < box_->count()) box_->removeItem(static_cast<int>(item));
    }
    void ClearGadgetItems() override { box_->clear(); }
    int64_t CountGadgetItems() override { return box_->count(); }

    void SetGadgetState(int64_t state) override {
        if (state >= -1 && state < box_->count()) box_->setCurrentIndex(static_cast<int>(state));
    }
    int64_t GetGadgetState() override { return box_->currentIndex(); }

    // The text selects the item with that title; an unknown title changes nothing.
    void SetGadgetText(TextView text) override {
        const int index = box_->findText(ToQString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0) box_->setCurrentIndex(index);
    }
    Text GetGadgetText() override { return box_->currentIndex() < 0 ? Text() : FromQString(box_->currentText()); }

    Text GetGadgetItemText(int64_t item, int64_t) override {
        if (item < 0 || item >= box_->count()) return Text();
        return FromQString(box_->itemText(static_cast<int>(item)));
    }
    void SetGadgetItemText(int64_t item, TextView text, int64_t) override {
        if (item >= 0 && item < box_->count()) box_->setItemText(static_cast<int>(item), ToQString(text));
    }

private:
    QComboBox* box_;
};

}  // namespace

int64_t ComboBoxGadget(int64_t number, int x, int y, int width, int height, int flags) {
    auto* box = new Xo_QComboBox(GadgetParent());
    box->setEditable(false);
    auto functions = std::make_unique<ComboBoxFunctions>(box);
    XoGadgetFunctions* f = functions.get();
    // activated fires for the user's choices only, never for setCurrentIndex.
    QObject::connect(box, &QComboBox::activated, box, [f](int) { f->SendEvent(EventTypeChange); });
    return RegisterGadget(number, GadgetKindComboBox, x, y, width, height, box, box, flags,
                          std::move(functions));
}
