// The adapter between the window's controls and Qt's accessibility layer (and through it the
// desktop's accessibility bus). Qt asks the factory below for the accessible object of a widget the
// first time a client wants it; nothing here runs before. It answers:
//   - a window or panel of our own: its child windows, plus the windowless controls painted on it
//     (labels as static text, speed buttons as push buttons whose press clicks them);
//   - a control that answers IAccessibleTable: a table of cells, each named by its text (a check
//     box cell: a check box with its state, toggled by its action), under header cells of the titles;
//   - an edit box: Qt's own edit object, named by the text of its label.
// Objects without a widget of their own (cells, headers, windowless controls) are registered with
// Qt's cache when first asked for and deleted with the object that made them.
#include "ui/Accessible.h"

#include "data/DataLink.h"
#include "ui/Edit.h"
#include "ui/Label.h"
#include "ui/QtBridge.h"
#include "ui/SpeedButton.h"
#include "ui/WidgetBridge.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <map>
#include <vector>

namespace {

// A caption as shown: "&&" is one "&", a lone "&" marks the accelerator and is not read.
QString captionText(const TControl* c) {
    const AnsiString& s = c->Caption();
    const auto* label = dynamic_cast<const TLabel*>(c);
    if (label && !label->ShowAccelChar())
        return bridge::ToQString(s);
    AnsiString out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size())
            ++i;
        out += s[i];
    }
    return bridge::ToQString(out);
}

// A question of the client answered from the controls: a failure there (a dataset that cannot read)
// must not cross Qt's event loop, and the client gets the empty answer.
template <class T, class F> T answer(T empty, F&& f) {
    try {
        return f();
    } catch (const std::exception&) {
        return empty;
    }
}

// Runs what a client's action asks once the call that brought it has returned: the action may open
// a message box, which must not hold the client's call. Nothing runs when `anchor` has gone.
template <class F> void later(QWidget* anchor, F f) {
    QTimer::singleShot(0, anchor, [f] { Guard([&] { return f(), true; }); });
}

int borderOf(const TWinControl* c) { return c->Ctl3DBorder() ? 2 : 0; }

// The label that names an edit: the one whose FocusControl it is, else the nearest label left of it
// on the same line of the same parent, as the eye reads a form.
QString labelFor(const TWinControl* edit) {
    const TWinControl* parent = edit->Parent();
    if (!parent)
        return {};
    const TLabel* best = nullptr;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* l = dynamic_cast<const TLabel*>(parent->Controls(i));
        if (!l)
            continue;
        if (l->FocusControl() == edit)
            return captionText(l);
        const bool sameLine = l->Top() < edit->Top() + edit->Height() && edit->Top() < l->Top() + l->Height();
        if (sameLine && l->Left() + l->Width() <= edit->Left() + 2 &&
            (!best || l->Left() + l->Width() > best->Left() + best->Width()))
            best = l;
    }
    return best ? captionText(best) : QString();
}

// An object without a widget of its own inside a widget's object (a windowless control, a cell, a
// header): no children; its parent is the widget's object.
class LeafAccessible : public QAccessibleInterface {
public:
    explicit LeafAccessible(QWidget* owner) : owner_(owner) {}
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return owner_ ? owner_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return owner_ ? QAccessible::queryAccessibleInterface(owner_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QPointer<QWidget> owner_;
};

// ---- windowless controls ----

class ControlPart : public LeafAccessible, public QAccessibleActionInterface {
public:
    ControlPart(QWidget* owner, TControl* control, QAccessible::Role role)
        : LeafAccessible(owner), control_(control), role_(role) {}

    // The control while it is still a child of the owner's control; null once it has gone.
    static TControl* find(QWidget* owner, TControl* control) {
        const TWinControl* p = ControlOfWidget(owner);
        for (int i = 0; p && i < p->ControlCount(); ++i)
            if (p->Controls(i) == control)
                return control;
        return nullptr;
    }
    TControl* control() const { return find(owner_, control_); }

    bool isValid() const override { return control() != nullptr; }
    QString text(QAccessible::Text t) const override {
        const TControl* c = control();
        return c && t == QAccessible::Name ? captionText(c) : QString();
    }
    QRect rect() const override {
        const TControl* c = control();
        if (!c)
            return {};
        const int b = borderOf(ControlOfWidget(owner_));
        return QRect(owner_->mapToGlobal(QPoint(b + c->Left(), b + c->Top())), QSize(c->Width(), c->Height()));
    }
    QAccessible::Role role() const override { return role_; }
    QAccessible::State state() const override {
        QAccessible::State s;
        const TControl* c = control();
        if (!c) {
            s.invalid = true;
            return s;
        }
        s.invisible = !c->Visible();
        s.disabled = !c->Enabled();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface && role_ == QAccessible::PushButton
                   ? static_cast<QAccessibleActionInterface*>(this)
                   : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override {
        if (name != pressAction() || !owner_)
            return;
        // A press clicks the button as the mouse does, when the button can be clicked.
        later(owner_, [owner = owner_, control = control_] {
            if (TControl* c = find(owner, control); c && c->Visible() && c->Enabled())
                c->Click();
        });
    }

private:
    TControl* control_;
    QAccessible::Role role_;
};

// ---- windows and panels ----

class ContainerAccessible : public QAccessibleWidget {
public:
    explicit ContainerAccessible(QWidget* w)
        : QAccessibleWidget(w, w->isWindow() ? QAccessible::Window : QAccessible::Pane) {}
    ~ContainerAccessible() override {
        for (const auto& [control, id] : parts_)
            QAccessible::deleteAccessibleInterface(id);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->isWindow())
            return widget()->windowTitle();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return QAccessibleWidget::childCount() + int(parts().size()); }
    QAccessibleInterface* child(int index) const override {
        const int own = QAccessibleWidget::childCount();
        if (index < own)
            return QAccessibleWidget::child(index);
        const std::vector<TControl*> list = parts();
        return index - own < int(list.size()) ? part(list[size_t(index - own)]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (const int k = QAccessibleWidget::indexOfChild(child); k >= 0)
            return k;
        const std::vector<TControl*> list = parts();
        for (size_t i = 0; i < list.size(); ++i)
            if (auto it = parts_.find(list[i]);
                it != parts_.end() && QAccessible::accessibleInterface(it->second) == child)
                return QAccessibleWidget::childCount() + int(i);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        if (QAccessibleInterface* w = QAccessibleWidget::childAt(x, y))
            return w;
        for (TControl* c : parts())
            if (QAccessibleInterface* p = part(c); p->rect().contains(x, y))
                return p;
        return nullptr;
    }

private:
    // The windowless controls a reader should meet: labels and speed buttons, in painting order.
    std::vector<TControl*> parts() const {
        std::vector<TControl*> list;
        const TWinControl* c = ControlOfWidget(widget());
        for (int i = 0; c && i < c->ControlCount(); ++i) {
            TControl* child = c->Controls(i);
            if (dynamic_cast<TLabel*>(child) || dynamic_cast<TSpeedButton*>(child))
                list.push_back(child);
        }
        return list;
    }
    QAccessibleInterface* part(TControl* c) const {
        if (auto it = parts_.find(c); it != parts_.end())
            return QAccessible::accessibleInterface(it->second);
        const auto role = dynamic_cast<TSpeedButton*>(c) ? QAccessible::PushButton : QAccessible::StaticText;
        auto* iface = new ControlPart(widget(), c, role);
        parts_[c] = QAccessible::registerAccessibleInterface(iface);
        return iface;
    }
    mutable std::map<TControl*, QAccessible::Id> parts_;
};

// ---- tables ----

class TableAccessible;

IAccessibleTable* sourceOf(QWidget* view) {
    TWinControl* c = ControlOfWidget(view);
    return c ? c->AccessibleTable() : nullptr;
}

class HeaderAccessible : public LeafAccessible {
public:
    HeaderAccessible(QWidget* view, int col) : LeafAccessible(view), col_(col) {}
    bool isValid() const override {
        IAccessibleTable* t = sourceOf(owner_);
        return t && answer(false, [&] { return col_ < t->ColumnCount(); });
    }
    QString text(QAccessible::Text t) const override {
        IAccessibleTable* s = sourceOf(owner_);
        if (!s || t != QAccessible::Name)
            return {};
        // A title of several lines ("~" breaks) is read as one.
        return answer(QString(), [&] { return bridge::ToQString(s->ColumnTitle(col_)).replace('~', ' '); });
    }
    QRect rect() const override { return {}; }
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QAccessible::State state() const override { return {}; }

private:
    int col_;
};

class CellAccessible : public LeafAccessible,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    CellAccessible(QWidget* view, int row, int col) : LeafAccessible(view), row_(row), col_(col) {}

    bool isValid() const override {
        IAccessibleTable* t = sourceOf(owner_);
        return t && answer(false, [&] { return row_ < t->RowCount() && col_ < t->ColumnCount(); });
    }
    QString text(QAccessible::Text t) const override {
        IAccessibleTable* s = sourceOf(owner_);
        if (!s || t != QAccessible::Name || isCheckBox())
            return {};
        return answer(QString(), [&] { return bridge::ToQString(s->CellText(row_, col_)); });
    }
    QRect rect() const override {
        IAccessibleTable* s = sourceOf(owner_);
        if (!s)
            return {};
        const TRect r = answer(TRect{}, [&] { return s->CellBounds(row_, col_); });
        if (r.IsEmpty())
            return {};
        const int b = borderOf(ControlOfWidget(owner_));
        return QRect(owner_->mapToGlobal(QPoint(b + r.Left, b + r.Top)), QSize(r.Width(), r.Height()));
    }
    QAccessible::Role role() const override { return isCheckBox() ? QAccessible::CheckBox : QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State s;
        IAccessibleTable* t = sourceOf(owner_);
        if (!t || !isValid()) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.selectable = true;
        if (isCurrent()) {
            s.selected = true;
            s.active = true;
            s.focused = owner_->hasFocus();
        }
        if (const auto check = answer(IAccessibleTable::NoCheckBox, [&] { return t->CellCheckState(row_, col_); });
            check != IAccessibleTable::NoCheckBox) {
            s.checkable = true;
            s.checked = check == IAccessibleTable::Checked;
        }
        if (rect().isEmpty())
            s.offscreen = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // ---- the cell in its table ----
    bool isSelected() const override { return isCurrent(); }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return col_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    // ---- actions: a check box's first (default) action toggles it ----
    QStringList actionNames() const override {
        if (isCheckBox())
            return {toggleAction(), setFocusAction()};
        return {setFocusAction()};
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override {
        const bool toggle = name == toggleAction() && isCheckBox();
        if ((!toggle && name != setFocusAction()) || !owner_)
            return;
        later(owner_, [view = owner_, row = row_, col = col_, toggle] {
            if (IAccessibleTable* t = sourceOf(view))
                toggle ? t->ToggleCell(row, col) : t->FocusCell(row, col);
        });
    }

private:
    bool isCheckBox() const {
        IAccessibleTable* t = sourceOf(owner_);
        return t && answer(false, [&] { return t->CellCheckState(row_, col_) != IAccessibleTable::NoCheckBox; });
    }
    bool isCurrent() const {
        IAccessibleTable* t = sourceOf(owner_);
        int row = -1, col = -1;
        return t && answer(false, [&] { return t->CurrentCell(row, col); }) && row == row_ && col == col_;
    }

    int row_;
    int col_;
};

class TableAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TableAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Table) {}
    ~TableAccessible() override {
        for (const auto& [key, id] : cells_)
            QAccessible::deleteAccessibleInterface(id);
        for (const auto& [col, id] : headers_)
            QAccessible::deleteAccessibleInterface(id);
    }

    IAccessibleTable* source() const { return sourceOf(widget()); }

    // The table is named after its control.
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            if (const TWinControl* c = ControlOfWidget(widget()))
                return bridge::ToQString(c->Name());
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    int childCount() const override { return rowCount() * columnCount(); }
    QAccessibleInterface* child(int index) const override {
        const int cols = columnCount();
        return cols > 0 && index >= 0 ? cellAt(index / cols, index % cols) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        if (!cell || cell->table() != this)
            return -1;
        return cell->rowIndex() * columnCount() + cell->columnIndex();
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        int row = 0, col = 0;
        // Only the current cell is looked for under a point: the others are found through the table.
        if (IAccessibleTable* t = source(); t && answer(false, [&] { return t->CurrentCell(row, col); }))
            if (QAccessibleInterface* cell = cellAt(row, col); cell && cell->rect().contains(x, y))
                return cell;
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        int row = 0, col = 0;
        IAccessibleTable* t = source();
        if (!t || !widget()->hasFocus() || !answer(false, [&] { return t->CurrentCell(row, col); }))
            return nullptr;
        return cellAt(row, col);
    }

    // ---- the table ----
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int col) const override {
        if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount())
            return nullptr;
        const auto key = std::pair{row, col};
        if (auto it = cells_.find(key); it != cells_.end())
            return QAccessible::accessibleInterface(it->second);
        auto* cell = new CellAccessible(widget(), row, col);
        cells_[key] = QAccessible::registerAccessibleInterface(cell);
        return cell;
    }
    QAccessibleInterface* header(int col) const {
        if (auto it = headers_.find(col); it != headers_.end())
            return QAccessible::accessibleInterface(it->second);
        auto* h = new HeaderAccessible(widget(), col);
        headers_[col] = QAccessible::registerAccessibleInterface(h);
        return h;
    }
    int selectedCellCount() const override { return int(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override {
        QAccessibleInterface* cell = currentCell();
        return cell ? QList<QAccessibleInterface*>{cell} : QList<QAccessibleInterface*>{};
    }
    QString columnDescription(int col) const override {
        return col >= 0 && col < columnCount() ? header(col)->text(QAccessible::Name) : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override {
        IAccessibleTable* t = source();
        return t ? answer(0, [&] { return t->ColumnCount(); }) : 0;
    }
    int rowCount() const override {
        IAccessibleTable* t = source();
        return t ? answer(0, [&] { return t->RowCount(); }) : 0;
    }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override {
        int row = 0, col = 0;
        IAccessibleTable* t = source();
        if (t && answer(false, [&] { return t->CurrentCell(row, col); }))
            return {row};
        return {};
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return selectedRows().contains(row); }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    // Rows went: their cells are no more.
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        if (event->modelChangeType() == QAccessibleTableModelChangeEvent::RowsInserted)
            return;
        const int rows = rowCount();
        for (auto it = cells_.begin(); it != cells_.end();) {
            if (it->first.first >= rows) {
                QAccessible::deleteAccessibleInterface(it->second);
                it = cells_.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Announces what changed since the last call: the row count, the current cell (when the table
    // has the focus), the check boxes of the current row.
    void refresh() {
        IAccessibleTable* t = source();
        if (!t)
            return;
        const int rows = t->RowCount();
        if (announcedRows_ >= 0 && rows != announcedRows_) {
            QAccessibleTableModelChangeEvent ev(this, rows > announcedRows_
                                                          ? QAccessibleTableModelChangeEvent::RowsInserted
                                                          : QAccessibleTableModelChangeEvent::RowsRemoved);
            ev.setFirstRow(std::min(rows, announcedRows_));
            ev.setLastRow(std::max(rows, announcedRows_) - 1);
            announcedRows_ = rows;
            QAccessible::updateAccessibility(&ev);
        }
        announcedRows_ = rows;
        int row = -1, col = -1;
        const bool has = t->CurrentCell(row, col);
        std::vector<int> checks;
        for (int c = 0; has && c < t->ColumnCount(); ++c)
            checks.push_back(t->CellCheckState(row, c));
        if (has && row == row_ && checks.size() == checks_.size())
            for (size_t c = 0; c < checks.size(); ++c)
                if (checks[c] != checks_[c] && checks[c] != IAccessibleTable::NoCheckBox)
                    if (QAccessibleInterface* cell = cellAt(row, int(c))) {
                        QAccessible::State changed;
                        changed.checked = true;
                        QAccessibleStateChangeEvent ev(cell, changed);
                        QAccessible::updateAccessibility(&ev);
                    }
        const bool focused = has && widget()->hasFocus();
        if (focused && !focusAnnounced_ && !focusDeferred_) {
            // The focus has just come in: Qt announces the table itself after this, and the reader
            // must hear the cell last, so the cell waits for the next turn of the event loop.
            focusDeferred_ = true;
            QTimer::singleShot(0, widget(), [w = widget()] { accessibility::TableChanged(ControlOfWidget(w)); });
        } else if (focused && (row != row_ || col != col_ || !focusAnnounced_)) {
            if (QAccessibleInterface* cell = cellAt(row, col)) {
                QAccessibleEvent ev(cell, QAccessible::Focus);
                QAccessible::updateAccessibility(&ev);
            }
            focusAnnounced_ = true;
            focusDeferred_ = false;
        }
        if (!focused)
            focusAnnounced_ = focusDeferred_ = false;
        row_ = has ? row : -1;
        col_ = has ? col : -1;
        checks_ = std::move(checks);
    }

private:
    QAccessibleInterface* currentCell() const {
        int row = 0, col = 0;
        IAccessibleTable* t = source();
        return t && answer(false, [&] { return t->CurrentCell(row, col); }) ? cellAt(row, col) : nullptr;
    }

    mutable std::map<std::pair<int, int>, QAccessible::Id> cells_;
    mutable std::map<int, QAccessible::Id> headers_;
    int announcedRows_ = -1;
    int row_ = -1;
    int col_ = -1;
    bool focusAnnounced_ = false;
    bool focusDeferred_ = false;
    std::vector<int> checks_;
};

QList<QAccessibleInterface*> CellAccessible::columnHeaderCells() const {
    auto* table = dynamic_cast<TableAccessible*>(parent());
    QAccessibleInterface* h = table ? table->header(col_) : nullptr;
    return h ? QList<QAccessibleInterface*>{h} : QList<QAccessibleInterface*>{};
}

QAccessibleInterface* factory(const QString& classname, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* w = static_cast<QWidget*>(object);
    TWinControl* c = ControlOfWidget(w);
    if (!c)
        return nullptr;
    if (classname == QLatin1String("QWidget"))
        return c->AccessibleTable() ? static_cast<QAccessibleInterface*>(new TableAccessible(w))
                                    : new ContainerAccessible(w);
    // An edit box keeps Qt's own object (its text is the value), named by its label. Naming it asks
    // for its object again (Qt announces the new name), which then finds the name given.
    if (dynamic_cast<TCustomEdit*>(c))
        if (const QString name = labelFor(c); !name.isEmpty() && name != w->accessibleName())
            w->setAccessibleName(name);
    return nullptr;
}

} // namespace

namespace accessibility {

bool Listening() { return QAccessible::isActive(); }

void TableChanged(TWinControl* control) {
    if (!QAccessible::isActive() || !control || !control->HandleAllocated() || !control->AccessibleTable())
        return;
    auto* table = dynamic_cast<TableAccessible*>(QAccessible::queryAccessibleInterface(control->Widget()));
    if (!table)
        return;
    // Telling the client is no part of the change: a record that cannot be read now is read when asked.
    try {
        table->refresh();
    } catch (const std::exception&) {
    }
}

void InstallFactory() { QAccessible::installFactory(factory); }

int CurrentDataRow(const TDataLink& link) {
    TDataSet* ds = link.DataSet();
    if (!link.Active() || !ds || ds->IsEmpty())
        return -1;
    const int recNo = ds->RecNo();
    return recNo >= 1 ? recNo - 1 : -1;
}

int RecordWindowPosition(const TDataLink& link, int row) {
    const int current = CurrentDataRow(link);
    if (current < 0)
        return -1;
    const int k = row - (current - link.ActiveRecord());
    return k >= 0 && k < link.RecordCount() ? k : -1;
}

} // namespace accessibility
