// The list with columns: rows of cells, whole-row selection, optional check boxes and grid.
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QTableWidget>
#include <QToolTip>

#include "toolkit/event_queue.h"
#include "toolkit/gadget.h"
#include "toolkit/gadget_functions.h"
#include "toolkit/qt_text.h"

namespace {

class Xo_QTableWidget : public QTableWidget {
public:
    explicit Xo_QTableWidget(QWidget* parent) : QTableWidget(parent) {}

    XoGadgetFunctions* functions = nullptr;

protected:
    // Return on the current row (the one with the focus frame) selects it and is its double
    // click, as on the desktop's lists; left to Qt, it would press the dialog's default button.
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && functions && currentRow() >= 0) {
            if (selectedItems().isEmpty()) selectRow(currentRow());
            functions->SendEvent(EventTypeLeftDoubleClick);
            return;
        }
        QTableWidget::keyPressEvent(event);
    }

    // A cell too narrow for its text shows the whole text as its tooltip.
    bool viewportEvent(QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return QTableWidget::viewportEvent(event);
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect cell = visualRect(index);
        const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
        const int icon = iconSize().isValid() ? iconSize().width() : style()->pixelMetric(QStyle::PM_SmallIconSize);
        const int iconWidth = index.data(Qt::DecorationRole).isNull() ? 0 : icon + margin;
        if (index.isValid() && viewport()->fontMetrics().horizontalAdvance(text) + margin + iconWidth > cell.width())
            QToolTip::showText(help->globalPos(), text, viewport(), cell);
        else
            QToolTip::hideText();
        return true;
    }
};

class ListIconFunctions : public XoGadgetFunctions {
public:
    explicit ListIconFunctions(QTableWidget* table) : table_(table) {}

    int64_t AddGadgetColumn(int64_t position, TextView title, int width) override {
        const int count = table_->columnCount();
        const int column = position >= 0 && position < count ? static_cast<int>(position) : count;
        table_->insertColumn(column);
        table_->setHorizontalHeaderItem(column, new QTableWidgetItem(ToQString(title)));
        table_->setColumnWidth(column, width);
        for (int row = 0; row < table_->rowCount(); ++row) table_->setItem(row, column, NewCell(QString(), column));
        return column;
    }

    // The text holds the row's cells separated by line feeds; missing cells stay empty.
    int64_t AddGadgetItem(int64_t position, TextView text, const QIcon& image, int) override {
        const int count = table_->rowCount();
        const int row = position >= 0 && position < count ? static_cast<int>(position) : count;
        table_->insertRow(row);
        const QStringList cells = ToQString(text).split(QLatin1Char('\n'));
        for (int column = 0; column < table_->columnCount(); ++column) {
            QTableWidgetItem* cell = NewCell(column < cells.size() ? cells[column] : QString(), column);
            // Before the cell is in the table, where each change would tell the view again.
            if (column == 0 && !image.isNull()) cell->setIcon(image);
            table_->setItem(row, column, cell);
        }
        return row;
    }

    void RemoveGadgetItem(int64_t item) override {
        if (ValidRow(item)) table_->removeRow(static_cast<int>(item));
    }
    void ClearGadgetItems() override { table_->setRowCount(0); }
    int64_t CountGadgetItems() override { return table_->rowCount(); }

    // The selected row (the current one when several are selected), -1 when none is.
    int64_t GetGadgetState() override {
        const QModelIndexList rows = table_->selectionModel()->selectedRows();
        if (rows.isEmpty()) return -1;
        const int current = table_->currentRow();
        for (const QModelIndex& index : rows)
            if (index.row() == current) return current;
        int first = rows.front().row();
        for (const QModelIndex& index : rows) first = std::min(first, index.row());
        return first;
    }

    void SetGadgetState(int64_t state) override {
        table_->clearSelection();
        if (!ValidRow(state)) return;
        table_->setCurrentCell(static_cast<int>(state), 0, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    }

    Text GetGadgetText() override {
        const int row = static_cast<int>(GetGadgetState());
        return row < 0 ? Text() : GetGadgetItemText(row, 0);
    }
    void SetGadgetText(TextView) override {}

    Text GetGadgetItemText(int64_t item, int64_t column) override {
        if (column < 0 || column >= table_->columnCount()) return Text();
        const int c = static_cast<int>(column);
        QTableWidgetItem* cell = item == -1 ? table_->horizontalHeaderItem(c)
                                 : ValidRow(item) ? table_->item(static_cast<int>(item), c)
                                                  : nullptr;
        return cell ? FromQString(cell->text()) : Text();
    }

    void SetGadgetItemText(int64_t item, TextView text, int64_t column) override {
        if (column < 0 || column >= table_->columnCount()) return;
        const int c = static_cast<int>(column);
        if (item == -1)
            table_->setHorizontalHeaderItem(c, new QTableWidgetItem(ToQString(text)));
        else if (ValidRow(item))
            table_->item(static_cast<int>(item), c)->setText(ToQString(text));
    }

    int64_t GetGadgetItemState(int64_t item) override {
        if (!ValidRow(item)) return 0;
        const int row = static_cast<int>(item);
        int64_t state = table_->selectionModel()->isRowSelected(row, QModelIndex()) ? int64_t{ListItemSelected} : 0;
        QTableWidgetItem* first = table_->item(row, 0);
        if (first && first->checkState() == Qt::Checked) state |= ListItemChecked;
        if (first && first->checkState() == Qt::PartiallyChecked) state |= ListItemInbetween;
        return state;
    }

    void SetGadgetItemState(int64_t item, int64_t state) override {
        if (!ValidRow(item)) return;
        const int row = static_cast<int>(item);
        const QModelIndex index = table_->model()->index(row, 0);
        table_->selectionModel()->select(index, ((state & ListItemSelected) ? QItemSelectionModel::Select
                                                                            : QItemSelectionModel::Deselect) |
                                                    QItemSelectionModel::Rows);
        QTableWidgetItem* first = table_->item(row, 0);
        if (first && (first->flags() & Qt::ItemIsUserCheckable))
            first->setCheckState((state & ListItemInbetween) ? Qt::PartiallyChecked
                                 : (state & ListItemChecked) ? Qt::Checked
                                                             : Qt::Unchecked);
    }

private:
    bool ValidRow(int64_t row) const { return row >= 0 && row < table_->rowCount(); }

    QTableWidgetItem* NewCell(const QString& text, int column) const {
        auto* cell = new QTableWidgetItem(text);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (column == 0 && (Xo_flags & ListIconCheckBoxes)) {
            flags |= Qt::ItemIsUserCheckable;
            if (Xo_flags & ListIconThreeState) flags |= Qt::ItemIsUserTristate;
            cell->setCheckState(Qt::Unchecked);
        }
        cell->setFlags(flags);
        return cell;
    }

    QTableWidget* table_;
};

void StyleTable(QTableWidget* table, int flags) {
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode((flags & ListIconMultiSelect) ? QAbstractItemView::ExtendedSelection
                                                          : QAbstractItemView::SingleSelection);
    table->setShowGrid(flags & ListIconGridLines);
    table->setWordWrap(false);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    QHeaderView* header = table->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsMovable(flags & ListIconHeaderDragDrop);
    // The last column reaches the list's right edge instead of leaving a blank strip.
    header->setStretchLastSection(true);
    if (flags & ListIconNoHeaders) header->hide();
}

void ConnectTable(QTableWidget* table, XoGadgetFunctions* f) {
    // A Control-click selects on this platform; it is not an action.
    QObject::connect(table, &QTableWidget::cellClicked, table, [f](int, int) {
        if (!(QGuiApplication::keyboardModifiers() & Qt::ControlModifier)) f->EventHandler();
    });
    QObject::connect(table, &QTableWidget::cellDoubleClicked, table,
                     [f](int, int) { f->SendEvent(EventTypeLeftDoubleClick); });
    QObject::connect(table, &QTableWidget::itemSelectionChanged, table,
                     [f] { f->SendEvent(EventTypeChange); });
    QObject::connect(table, &QWidget::customContextMenuRequested, table,
                     [f](const QPoint&) { f->SendEvent(EventTypeRightClick); });
    QObject::connect(table->horizontalHeader(), &QHeaderView::sectionClicked, table,
                     [f](int) { f->SendEvent(EventTypeColumnClick); });
}

}  // namespace

int64_t ListIconGadget(int64_t number, int x, int y, int width, int height, TextView firstColumnTitle,
                       int firstColumnWidth, int flags) {
    auto* table = new Xo_QTableWidget(GadgetParent());
    StyleTable(table, flags);
    auto functions = std::make_unique<ListIconFunctions>(table);
    functions->Xo_flags = flags;
    functions->AddGadgetColumn(0, firstColumnTitle, firstColumnWidth);
    ConnectTable(table, functions.get());
    table->functions = functions.get();
    return RegisterGadget(number, GadgetKindListIcon, x, y, width, height, table, table, flags,
                          std::move(functions));
}
