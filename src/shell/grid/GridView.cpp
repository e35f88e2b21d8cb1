#include "GridView.h"

#include "config/Convert.h"
#include "editor/SettingsGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QSpinBox>

#include <climits>
#include <cmath>

namespace kolva {

namespace {

const char* const kInitialValue = "gridInitialValue";
const char* const kLargeStep = "largeStep";

const QColor kGridLine(216, 216, 216);
const QColor kCategoryBackground(221, 231, 245);

// A number from a row value: whole or floating-point numbers, or texts (decimal or in the
// locale's notation) as reads and loads store them.
bool NumberOf(const QVariant& value, double* out) {
    if (value.typeId() == QMetaType::QString) {
        int whole = 0;
        if (TryStrToInt(value.toString(), &whole)) {
            *out = whole;
            return true;
        }
        return TryStrToFloat(value.toString(), out) && std::isfinite(*out);
    }
    bool ok = false;
    *out = value.toDouble(&ok);
    return ok && std::isfinite(*out);
}

int ClampToInt(double v) {
    return int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
}

// PageUp/PageDown step by the row's large step instead of ten single steps.
class TGridSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
            interpretText();
            const double step = property(kLargeStep).toDouble();
            const double next = value() + (event->key() == Qt::Key_PageUp ? step : -step);
            setValue(ClampToInt(std::clamp(next, double(minimum()), double(maximum()))));
            selectAll();
            event->accept();
            return;
        }
        QSpinBox::keyPressEvent(event);
    }
};

class TGridDoubleSpinBox : public QDoubleSpinBox {
public:
    using QDoubleSpinBox::QDoubleSpinBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
            interpretText();
            const double step = property(kLargeStep).toDouble();
            const double next = value() + (event->key() == Qt::Key_PageUp ? step : -step);
            setValue(std::clamp(next, minimum(), maximum()));
            selectAll();
            event->accept();
            return;
        }
        QDoubleSpinBox::keyPressEvent(event);
    }
};

QColor Blend(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t),
                            float(a.greenF() * (1 - t) + b.greenF() * t),
                            float(a.blueF() * (1 - t) + b.blueF() * t));
}

// styleRowSelected: regular text in the window-text colour on a light tint of the highlight,
// over the cell's own background.
QColor SelectedBackground(const QStyleOptionViewItem& option) {
    const QColor base = option.backgroundBrush.style() != Qt::NoBrush
                            ? option.backgroundBrush.color()
                            : option.palette.color(QPalette::Base);
    return Blend(base, option.palette.color(QPalette::Highlight), 0.3);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TGridDelegate

QWidget* TGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    if (index.column() != 1 || index.data(IsCategoryRole).toBool() ||
        !(index.flags() & Qt::ItemIsEditable))
        return nullptr;
    QWidget* editor = nullptr;
    const double lower = index.data(LowerBoundRole).toDouble();
    const double upper = index.data(UpperBoundRole).toDouble();
    switch (TEditorKind(index.data(EditorKindRole).toInt())) {
    case TEditorKind::SpinInt: {
        auto* spin = new TGridSpinBox(parent);
        spin->setRange(ClampToInt(lower), ClampToInt(upper));
        spin->setSingleStep(std::max(1, int(std::lround(index.data(StepRole).toDouble()))));
        spin->setProperty(kLargeStep, index.data(LargeStepRole).toDouble());
        spin->setFrame(false);
        editor = spin;
        break;
    }
    case TEditorKind::SpinFloat: {
        auto* spin = new TGridDoubleSpinBox(parent);
        spin->setDecimals(std::clamp(index.data(DecimalsRole).toInt(), 0, 15));
        spin->setRange(lower, upper);
        spin->setSingleStep(index.data(StepRole).toDouble());
        spin->setProperty(kLargeStep, index.data(LargeStepRole).toDouble());
        spin->setFrame(false);
        editor = spin;
        break;
    }
    case TEditorKind::Combo: {
        auto* combo = new QComboBox(parent);
        const QVariantList choices = index.data(ChoicesRole).toList();
        for (const QVariant& choice : choices) {
            const QVariantList pair = choice.toList();
            if (pair.size() == 2) combo->addItem(pair.at(1).toString(), pair.at(0).toInt());
        }
        combo->setFrame(false);
        // a chosen entry is taken at once, like a property grid does
        connect(combo, &QComboBox::activated, this,
                [this, combo] { Q_EMIT const_cast<TGridDelegate*>(this)->commitData(combo); });
        editor = combo;
        break;
    }
    case TEditorKind::Text: {
        auto* line = new QLineEdit(parent);
        const int maxLength = index.data(MaxLengthRole).toInt();
        line->setMaxLength(maxLength > 0 ? maxLength : INT_MAX);
        line->setFrame(false);
        editor = line;
        break;
    }
    }
    editor->setFont(GridStyleFont(TGridStyle::styleRowContent));
    editor->setAutoFillBackground(true);
    Q_UNUSED(option);
    return editor;
}

QVariant TGridDelegate::EditorValue(QWidget* editor) {
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->interpretText();
        return spin->value();
    }
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
        spin->interpretText();
        return spin->value();
    }
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        return combo->currentIndex() < 0 ? QVariant() : combo->currentData();
    if (auto* line = qobject_cast<QLineEdit*>(editor)) return line->text();
    return QVariant();
}

void TGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QVariant value = index.data(Qt::EditRole);
    double number = 0;
    const bool numeric = NumberOf(value, &number);
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->setValue(numeric ? ClampToInt(std::round(number)) : 0);
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
        spin->setValue(numeric ? number : 0);
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(numeric ? combo->findData(ClampToInt(number)) : -1);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(index.data(Qt::DisplayRole).toString()); // the value as text
    }
    editor->setProperty(kInitialValue, EditorValue(editor));
}

void TGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                 const QModelIndex& index) const {
    const QVariant value = EditorValue(editor);
    if (!value.isValid() || value == editor->property(kInitialValue)) return;
    if (model->setData(index, value, Qt::EditRole)) editor->setProperty(kInitialValue, value);
}

void TGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                         const QModelIndex&) const {
    editor->setGeometry(option.rect.adjusted(0, 0, 0, -1)); // keep the grid line visible
}

void TGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (opt.state & QStyle::State_Selected) {
        opt.backgroundBrush = SelectedBackground(opt);
        opt.state &= ~QStyle::State_Selected;
        if (index.column() == 1) opt.font = GridStyleFont(TGridStyle::styleRowSelected);
    }
    opt.palette.setColor(QPalette::Text, opt.palette.color(QPalette::WindowText));
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setPen(kGridLine);
    painter->drawLine(opt.rect.bottomLeft(), opt.rect.bottomRight());
    if (index.column() == 0) painter->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
    painter->restore();
}

QSize TGridDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height() + 4, 20));
    return size;
}

// ---------------------------------------------------------------------------------------------
// TGridView

TGridView::TGridView(QWidget* parent) : QTreeView(parent) {
    setItemDelegate(new TGridDelegate(this));
    setHeaderHidden(true);
    setUniformRowHeights(true); // one row height: cheap layouts of long lists
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setAllColumnsShowFocus(true);
    setIndentation(16);
    setAnimated(false);
    header()->setStretchLastSection(true);
    header()->setMinimumSectionSize(20);
}

void TGridView::SetGrid(TSettingsGrid* grid) {
    if (grid_) disconnect(grid_, nullptr, this, nullptr);
    grid_ = grid;
    setModel(grid);
    if (!grid) return;
    connect(grid, &TSettingsGrid::EnabledChanged, this, &QWidget::setEnabled);
    // a build starts by clearing the grid and sets the header column's width
    connect(grid, &QAbstractItemModel::modelReset, this,
            [this] { SetHeaderWidth(BuildHeaderWidth); });
    setEnabled(grid->Enabled());
    SetHeaderWidth(headerWidth_);
    ApplyCollapsed(0, grid->rowCount() - 1);
}

void TGridView::SetHeaderWidth(int width) {
    headerWidth_ = width;
    if (model() && model()->columnCount() > 0) setColumnWidth(0, width);
}

bool TGridView::IsCategory(const QModelIndex& index) const {
    return index.isValid() && index.data(IsCategoryRole).toBool();
}

void TGridView::ApplyCollapsed(int first, int last) {
    if (!grid_) return;
    for (int i = first; i <= last; ++i) {
        const TGridRow* row = grid_->TopLevelRow(i);
        if (row && row->IsCategory()) setExpanded(grid_->IndexOf(row), !row->Collapsed);
    }
}

void TGridView::reset() {
    QTreeView::reset();
    if (grid_) {
        SetHeaderWidth(headerWidth_);
        ApplyCollapsed(0, grid_->rowCount() - 1);
    }
}

void TGridView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QTreeView::rowsInserted(parent, start, end);
    if (!parent.isValid()) ApplyCollapsed(start, end);
}

void TGridView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    if (!IsCategory(index)) {
        QTreeView::drawRow(painter, option, index);
        return;
    }
    // a category row spans both columns: branch indicator, then the caption
    const int x = columnViewportPosition(0);
    const int width = std::max(header()->length() - header()->offset(), viewport()->width()) - x;
    const QRect row(x, option.rect.y(), width, option.rect.height());
    const int indent = rootIsDecorated() ? indentation() : 0;
    QColor background = kCategoryBackground;
    if (selectionModel() && selectionModel()->isSelected(index))
        background = Blend(background, palette().color(QPalette::Highlight), 0.3);
    painter->fillRect(row, background);
    drawBranches(painter, QRect(x, row.y(), indent, row.height()), index);
    painter->save();
    const QFont font = index.data(Qt::FontRole).value<QFont>();
    painter->setFont(font);
    painter->setPen(palette().color(QPalette::WindowText));
    const QRect text = row.adjusted(indent + 4, 0, -4, 0);
    painter->drawText(
        text, Qt::AlignVCenter | Qt::AlignLeft,
        QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, text.width()));
    painter->setPen(kGridLine);
    painter->drawLine(row.bottomLeft(), row.bottomRight());
    if (hasFocus() && currentIndex().isValid() && currentIndex().row() == index.row() &&
        currentIndex().parent() == index.parent()) {
        painter->setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter->drawRect(row.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

void TGridView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    if (IsCategory(index)) {
        QTreeView::drawBranches(painter, rect, index);
        return;
    }
    // the indent beside a category's settings continues the category's colour
    painter->fillRect(rect, kCategoryBackground);
}

void TGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    // editor rows keep the value cell current (so typing edits it), categories the caption
    if (!current.isValid() || !selectionModel()) return;
    const int column = IsCategory(current) ? 0 : 1;
    if (current.column() != column)
        selectionModel()->setCurrentIndex(current.siblingAtColumn(column),
                                          QItemSelectionModel::NoUpdate);
}

QModelIndex TGridView::NextEditorRow(const QModelIndex& from, bool forward) const {
    QModelIndex i = from.siblingAtColumn(0);
    if (!i.isValid()) {
        // nothing current: start at the first (or last) visible row
        i = model() ? model()->index(0, 0) : QModelIndex();
        if (!forward)
            for (QModelIndex below = i; below.isValid(); below = indexBelow(below))
                i = below;
        if (i.isValid() && !IsCategory(i)) return i.siblingAtColumn(1);
    }
    while (i.isValid()) {
        i = forward ? indexBelow(i) : indexAbove(i);
        if (i.isValid() && !IsCategory(i)) return i.siblingAtColumn(1);
    }
    return QModelIndex();
}

QModelIndex TGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveNext || action == MovePrevious)
        return NextEditorRow(currentIndex(), action == MoveNext);
    return QTreeView::moveCursor(action, modifiers);
}

void TGridView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && tabKeyNavigation() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QModelIndex next = NextEditorRow(currentIndex(), key == Qt::Key_Tab);
        if (!next.isValid()) {
            event->ignore(); // past the last setting: focus leaves the grid
            return;
        }
        setCurrentIndex(next);
        event->accept();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && state() != EditingState &&
        currentIndex().isValid() && (currentIndex().flags() & Qt::ItemIsEditable)) {
        if (edit(currentIndex(), EditKeyPressed, event)) {
            event->accept();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

void TGridView::mousePressEvent(QMouseEvent* event) {
    pressed_ = indexAt(event->position().toPoint());
    QTreeView::mousePressEvent(event);
}

void TGridView::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex released = indexAt(event->position().toPoint());
    QTreeView::mouseReleaseEvent(event);
    // one click on a value cell starts editing it
    if (event->button() == Qt::LeftButton && released.isValid() && released == pressed_ &&
        released.column() == 1 && (released.flags() & Qt::ItemIsEditable) &&
        state() != EditingState)
        edit(released, AllEditTriggers, event);
    pressed_ = QPersistentModelIndex();
}

} // namespace kolva
