#pragma once
// The settings grid on screen: a two-column property list over TSettingsGrid.
//
// Column 0 is the header cell (the caption), column 1 the value cell. Category rows span both
// columns, can be collapsed and are skipped by Tab. The value cell of an editable row opens
// its editor on a single click, F2, Enter or typing; Enter commits, Esc cancels, leaving the
// editor commits. Each row's hint is its tooltip.

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace kolva {

class TSettingsGrid;

// Editors by the row's editor kind: QSpinBox, QDoubleSpinBox, QComboBox of the choices
// ("value. text"), QLineEdit. Spin editors take the row's effective bounds
// (LowerBoundRole/UpperBoundRole), step and large step (PageUp/PageDown).
class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    // Hands the editor's value to the model only when the user changed it.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The value an editor holds now (what setModelData would hand over).
    static QVariant EditorValue(QWidget* editor);
};

class TGridView : public QTreeView {
    Q_OBJECT
public:
    explicit TGridView(QWidget* parent = nullptr);

    void SetGrid(TSettingsGrid* grid);
    TSettingsGrid* Grid() const { return grid_; }
    // Width of the header column in pixels: 359 until the first build; every build (which
    // starts by clearing the grid, a model reset) sets BuildHeaderWidth (450).
    static constexpr int BuildHeaderWidth = 450;
    void SetHeaderWidth(int width);
    int HeaderWidth() const { return headerWidth_; }

    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void reset() override;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool IsCategory(const QModelIndex& index) const;
    void ApplyCollapsed(int first, int last);
    QModelIndex NextEditorRow(const QModelIndex& from, bool forward) const;

    TSettingsGrid* grid_ = nullptr;
    int headerWidth_ = 359;
    QPersistentModelIndex pressed_;
};

} // namespace kolva
