#pragma once
// The settings grid model: category rows and editor rows of one device model's settings.
//
// Rows are owned by the grid. Operations find an editor row by its name ("row_" + row key,
// looked up without regard to letter case), read and set its value, tag and header style.
// Views show two columns: 0 the caption (header cell), 1 the value (value cell).
//
// Building: after setting a row's public fields, call RowChanged(row) to refresh the views.
// While the grid is enabled, AddCategory / AddEditorRow announce each new row to the views at
// once. While it is disabled (a build runs), new rows are announced in batches when events are
// processed: every time for the first rows (they fill the screen), then whenever the rows
// waiting are as many as those shown or 100 ms have passed, so that a view lays itself out
// and repaints a few times per build rather than at every round of events. Enabling the grid,
// Flush(), RemoveRow and a MoveRow among rows already shown announce all waiting rows. The
// grid's own functions (FindRow, Categories, TopLevelCount/TopLevelRow, IndexOf, ...) always
// see every row; views see the announced ones (rowCount/index).

#include <QAbstractItemModel>
#include <QBrush>
#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace kolva {

enum class TEditorKind { Text, Combo, SpinInt, SpinFloat };
enum class THeaderStyle { styleRowHeader, styleRowHeaderChanged };
// The grid's look: header cell, changed header cell, value cell, selected row.
enum class TGridStyle { styleRowHeader, styleRowHeaderChanged, styleRowContent, styleRowSelected };

// Font and background of a style. A style whose background is "not set" gives Qt::NoBrush.
QFont GridStyleFont(TGridStyle style);
QBrush GridStyleBackground(TGridStyle style);
// Font of the category rows.
QFont GridCategoryFont();

struct TChoice {
    int value = 0;
    QString description; // "value. text"
    bool operator==(const TChoice&) const = default;
};

// Extra item data roles for delegates (all on column 1 unless noted; any column for the
// row-wide ones).
enum TGridRole {
    IsCategoryRole = Qt::UserRole + 1, // bool, any column
    EditorKindRole,                    // int(TEditorKind)
    LowerBoundRole,                    // double: effective lower bound of a spin editor
    UpperBoundRole,                    // double: effective upper bound of a spin editor
    DecimalsRole,                      // int
    StepRole,                          // double
    LargeStepRole,                     // double
    ChoicesRole,   // QVariantList of QVariantList{int value, QString description}
    MaxLengthRole, // int: text editor limit, 0 = no limit
    NameRole,      // QString, any column
    TagRole,       // int, any column
    ChangedRole,   // bool (header style is styleRowHeaderChanged), any column
};

class TSettingsGrid;

// A category row or an editor row.
class TGridRow {
public:
    TGridRow(const TGridRow&) = delete;
    TGridRow& operator=(const TGridRow&) = delete;

    bool IsCategory() const { return category_; }

    QString Caption; // category: group caption; editor: the setting's caption
    QString Name;    // editor: "row_" + row key; set only through TSettingsGrid::AddName
    int Tag = 0;     // register number; changed mark = -abs(register)
    QString Hint;    // help text, shown as the row's tooltip
    QVariant Value;  // int, double or QString
    bool Editable = true;
    THeaderStyle HeaderStyle = THeaderStyle::styleRowHeader;
    TEditorKind Editor = TEditorKind::Text;
    // Spin editors: bounds [Min, Max], applied only when Max > Min. Text editor: Max is the
    // maximum length, 0 (or less) = no limit.
    int Min = 0, Max = 0;
    // Spin editors: the range of the value's type, used when Min/Max do not apply
    // (e.g. 0..65535 for an unsigned 16-bit setting). TypeMax <= TypeMin = the editor's
    // natural range: the whole int range (SpinInt), +-FLT_MAX (SpinFloat).
    int TypeMin = 0, TypeMax = 0;
    int Decimals = 0; // SpinFloat: shown with this many decimal places
    double Step = 1, LargeStep = 10;
    QList<TChoice> Choices; // Combo
    bool Collapsed = false; // category: created collapsed

    TGridRow* Parent() const; // nullptr at the top level
    int ChildCount() const { return int(children_.size()); }
    TGridRow* Child(int i) const;
    int Index() const { return index_; } // position among its siblings

    // The value as text, the way operations read it: a combo's choice as its number, whole
    // numbers in decimal, a floating-point number in general format (at most 15 significant
    // digits, the locale's decimal separator), a text unchanged, an empty value "".
    QString ValueText() const;
    // The value cell's text: a combo shows the description of the chosen value (the value
    // itself when no choice has it); a SpinFloat number shows Decimals places (a text stored
    // by a read or load is shown as it is); anything else as ValueText().
    QString DisplayText() const;
    // Spin editors: the bounds the editor applies (Min/Max, else the type's range).
    bool Bounded() const { return Max > Min; }
    double LowerBound() const;
    double UpperBound() const;

private:
    friend class TSettingsGrid;
    TGridRow(TGridRow* parent, bool category) : parent_(parent), category_(category) {}

    TGridRow* parent_ = nullptr;
    bool category_ = false;
    bool waiting_ = false; // has children not yet announced to the views
    int index_ = 0;
    int announced_ = 0; // children the views know of
    std::vector<std::unique_ptr<TGridRow>> children_;
};

class TSettingsGrid : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TSettingsGrid(QObject* parent = nullptr);
    ~TSettingsGrid() override;

    // The model code the grid was last built for ("" before the first build).
    QString ModelName() const { return modelName_; }
    void SetModelName(const QString& name) { modelName_ = name; }

    void Clear(); // removes all rows (the model name stays)
    // A category row at the end of the top level.
    TGridRow* AddCategory(const QString& caption, bool collapsed);
    // An editor row as the last child of category (at the end of the top level when null or
    // not a category row).
    TGridRow* AddEditorRow(TGridRow* category);
    // Moves row to newIndex among its siblings; an index out of range leaves it in place.
    void MoveRow(TGridRow* row, int newIndex);
    // Removes a row (with its children, for a category) and frees its name.
    void RemoveRow(TGridRow* row);
    // Tells the views that row's public fields changed.
    void RowChanged(TGridRow* row);

    // The row whose name equals name without regard to letter case; nullptr when none.
    TGridRow* FindRow(const QString& name) const;
    // Gives row the name; false (and nothing changes) when another row has it already.
    // A row that had a name before gives it up.
    bool AddName(TGridRow* row, const QString& name);

    // Programmatic changes: they do not touch the changed mark.
    void SetValue(TGridRow* row, const QVariant& value);
    void SetTag(TGridRow* row, int tag);
    void SetHeaderStyle(TGridRow* row, THeaderStyle style);
    // Marks row changed: header style styleRowHeaderChanged, tag = -abs(tag).
    void EditValueChanged(TGridRow* row);

    // A disabled grid takes no input (views disable themselves, setData refuses). Enabling
    // it announces every waiting row first.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Announces every row added but not yet announced to the views.
    void Flush();

    QList<TGridRow*> Categories() const;
    int EditorRowCount() const { return editorRows_; }
    int TopLevelCount() const { return root_->ChildCount(); }
    TGridRow* TopLevelRow(int i) const { return root_->Child(i); }

    TGridRow* RowFromIndex(const QModelIndex& index) const;
    QModelIndex IndexOf(const TGridRow* row, int column = 0) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // A user edit of the value cell (column 1, Qt::EditRole) of an editable editor row while
    // the grid is enabled. The value must suit the row's editor (a whole number within the
    // bounds, a number within the bounds, one of the choices, a text within the length);
    // otherwise false and nothing changes. A value equal to the present one changes nothing;
    // another is stored, the row is marked changed (EditValueChanged) and UserEdited emitted.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    void EnabledChanged(bool enabled);
    void UserEdited(kolva::TGridRow* row);

private:
    TGridRow* Append(TGridRow* parent, std::unique_ptr<TGridRow> row);
    void Forget(TGridRow* row); // drops the names of row and its children
    void NotifyRow(const TGridRow* row, const QList<int>& roles = {});
    QModelIndex MakeIndex(int row, int column, const TGridRow* item, bool category) const;
    bool Announced(const TGridRow* row) const;
    void AnnounceWhenDue(); // runs from the event loop while rows wait

    std::vector<TGridRow*> waiting_; // announced parents with children waiting
    int announcedRows_ = 0, waitingRows_ = 0;
    bool announceQueued_ = false;
    QElapsedTimer lastAnnounce_;

    std::unique_ptr<TGridRow> root_;
    QHash<QString, TGridRow*> names_; // case-folded name -> row
    QString modelName_;
    int editorRows_ = 0;
    bool enabled_ = true;
    // Style fonts, made on first use (a font needs the GUI application).
    mutable std::unique_ptr<QFont> headerFont_, changedFont_, contentFont_, categoryFont_;
    mutable std::unique_ptr<QBrush> changedBrush_, contentBrush_;
};

} // namespace kolva
