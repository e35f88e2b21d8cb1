#include "SettingsGrid.h"

#include "config/Convert.h"

#include <QColor>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

namespace kolva {

namespace {

bool IsWholeType(int typeId) {
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool IsFloatType(int typeId) {
    return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

QString WithDecimalSeparator(QString text) {
    const QChar sep = DecimalSeparator();
    if (sep != u'.') text.replace(u'.', sep);
    return text;
}

// General floating-point format: at most 15 significant digits, the exponent (when there is
// one) written as E<n> without padding, e.g. 1.5, 0.3, 1E20, 1E-5.
QString GeneralText(double v) {
    QString s = QString::number(v, 'g', 15);
    const qsizetype e = s.indexOf(u'e');
    if (e >= 0) s = s.left(e) + u'E' + QString::number(s.mid(e + 1).toInt());
    return WithDecimalSeparator(s);
}

// A value read as a number: whole and floating-point numbers, and texts in decimal or in the
// locale's notation.
bool NumberOf(const QVariant& value, double* out) {
    const int type = value.typeId();
    if (IsWholeType(type) || IsFloatType(type)) {
        *out = value.toDouble();
        return std::isfinite(*out);
    }
    if (type == QMetaType::QString) {
        const QString text = value.toString();
        int whole = 0;
        if (TryStrToInt(text, &whole)) {
            *out = whole;
            return true;
        }
        return TryStrToFloat(text, out) && std::isfinite(*out);
    }
    return false;
}

bool WholeNumberOf(const QVariant& value, int* out) {
    double d = 0;
    if (!NumberOf(value, &d) || d != std::floor(d) || d < INT_MIN || d > INT_MAX) return false;
    *out = int(d);
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Styles

QFont GridStyleFont(TGridStyle style) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    font.setItalic(style == TGridStyle::styleRowHeaderChanged);
    return font;
}

QBrush GridStyleBackground(TGridStyle style) {
    switch (style) {
    case TGridStyle::styleRowHeaderChanged:
        return QBrush(QColor(192, 220, 192)); // money green
    case TGridStyle::styleRowContent:
        return QBrush(Qt::white);
    default:
        return QBrush(); // not set
    }
}

QFont GridCategoryFont() {
    QFont font = GridStyleFont(TGridStyle::styleRowHeader);
    font.setBold(true);
    return font;
}

// ---------------------------------------------------------------------------------------------
// TGridRow

TGridRow* TGridRow::Parent() const {
    // the invisible root has no parent itself
    return parent_ && parent_->parent_ ? parent_ : nullptr;
}

TGridRow* TGridRow::Child(int i) const {
    return i >= 0 && i < ChildCount() ? children_[size_t(i)].get() : nullptr;
}

QString TGridRow::ValueText() const {
    const int type = Value.typeId();
    if (!Value.isValid()) return QString();
    if (type == QMetaType::QString) return Value.toString();
    if (type == QMetaType::ULongLong || type == QMetaType::ULong || type == QMetaType::UInt)
        return QString::number(Value.toULongLong());
    if (IsWholeType(type)) return QString::number(Value.toLongLong());
    if (IsFloatType(type)) return GeneralText(Value.toDouble());
    return Value.toString();
}

QString TGridRow::DisplayText() const {
    if (category_) return QString();
    switch (Editor) {
    case TEditorKind::Combo: {
        int v = 0;
        if (WholeNumberOf(Value, &v))
            for (const TChoice& c : Choices)
                if (c.value == v) return c.description;
        return ValueText();
    }
    case TEditorKind::SpinFloat:
        if (IsWholeType(Value.typeId()) || IsFloatType(Value.typeId()))
            return WithDecimalSeparator(
                QString::number(Value.toDouble(), 'f', qBound(0, Decimals, 15)));
        return ValueText();
    default:
        return ValueText();
    }
}

double TGridRow::LowerBound() const {
    if (Bounded()) return Min;
    if (TypeMax > TypeMin) return TypeMin;
    return Editor == TEditorKind::SpinFloat ? -double(FLT_MAX) : double(INT_MIN);
}

double TGridRow::UpperBound() const {
    if (Bounded()) return Max;
    if (TypeMax > TypeMin) return TypeMax;
    return Editor == TEditorKind::SpinFloat ? double(FLT_MAX) : double(INT_MAX);
}

// ---------------------------------------------------------------------------------------------
// TSettingsGrid

TSettingsGrid::TSettingsGrid(QObject* parent)
    : QAbstractItemModel(parent), root_(new TGridRow(nullptr, true)) {}

TSettingsGrid::~TSettingsGrid() = default;

void TSettingsGrid::Clear() {
    beginResetModel();
    root_->children_.clear();
    root_->announced_ = 0;
    root_->waiting_ = false;
    waiting_.clear();
    announcedRows_ = waitingRows_ = 0;
    names_.clear();
    editorRows_ = 0;
    endResetModel();
}

bool TSettingsGrid::Announced(const TGridRow* row) const {
    for (; row && row != root_.get(); row = row->parent_)
        if (!row->parent_ || row->index_ >= row->parent_->announced_) return false;
    return row != nullptr;
}

TGridRow* TSettingsGrid::Append(TGridRow* parent, std::unique_ptr<TGridRow> row) {
    const int pos = parent->ChildCount();
    row->index_ = pos;
    TGridRow* added = row.get();
    if (!added->category_) ++editorRows_;
    if (enabled_ && waiting_.empty()) {
        beginInsertRows(IndexOf(parent), pos, pos);
        parent->children_.push_back(std::move(row));
        ++parent->announced_;
        ++announcedRows_;
        endInsertRows();
        return added;
    }
    // a build runs: the views learn of the row later (with its parent, if that waits too)
    parent->children_.push_back(std::move(row));
    ++waitingRows_;
    if (Announced(parent) && !parent->waiting_) {
        parent->waiting_ = true;
        waiting_.push_back(parent);
    }
    if (!announceQueued_) {
        announceQueued_ = true;
        QMetaObject::invokeMethod(this, &TSettingsGrid::AnnounceWhenDue, Qt::QueuedConnection);
    }
    return added;
}

void TSettingsGrid::AnnounceWhenDue() {
    announceQueued_ = false;
    constexpr int kEagerRows = 250; // the first rows show at every round of events
    constexpr qint64 kIntervalMs = 100;
    if (announcedRows_ < kEagerRows || waitingRows_ >= announcedRows_ || !lastAnnounce_.isValid() ||
        lastAnnounce_.elapsed() >= kIntervalMs)
        Flush();
    // otherwise the next row added asks again
}

void TSettingsGrid::Flush() {
    if (waiting_.empty()) return;
    // parents already known first: a parent announced in the same pass brings its children
    std::vector<TGridRow*> parents;
    parents.swap(waiting_);
    for (TGridRow* parent : parents) {
        parent->waiting_ = false;
        const int first = parent->announced_, last = parent->ChildCount() - 1;
        if (first > last) continue;
        beginInsertRows(IndexOf(parent), first, last);
        for (int i = first; i <= last; ++i) {
            TGridRow* child = parent->Child(i);
            child->announced_ = child->ChildCount();
            child->waiting_ = false;
            announcedRows_ += 1 + child->ChildCount();
        }
        parent->announced_ = last + 1;
        endInsertRows();
    }
    waitingRows_ = 0;
    lastAnnounce_.start();
}

TGridRow* TSettingsGrid::AddCategory(const QString& caption, bool collapsed) {
    std::unique_ptr<TGridRow> row(new TGridRow(root_.get(), true));
    row->Caption = caption;
    row->Collapsed = collapsed;
    row->Editable = false;
    return Append(root_.get(), std::move(row));
}

TGridRow* TSettingsGrid::AddEditorRow(TGridRow* category) {
    TGridRow* parent = category && category->IsCategory() ? category : root_.get();
    return Append(parent, std::unique_ptr<TGridRow>(new TGridRow(parent, false)));
}

void TSettingsGrid::MoveRow(TGridRow* row, int newIndex) {
    if (!row || row == root_.get()) return;
    TGridRow* parent = row->parent_;
    const int from = row->index_;
    if (newIndex < 0 || newIndex >= parent->ChildCount() || newIndex == from) return;
    // rows the views do not know yet move silently
    const bool silent = !Announced(parent) || std::min(from, newIndex) >= parent->announced_;
    const QModelIndex p = IndexOf(parent);
    if (!silent) {
        Flush();
        if (!beginMoveRows(p, from, from, p, newIndex > from ? newIndex + 1 : newIndex)) return;
    }
    auto& list = parent->children_;
    std::unique_ptr<TGridRow> moving = std::move(list[size_t(from)]);
    list.erase(list.begin() + from);
    list.insert(list.begin() + newIndex, std::move(moving));
    for (int i = std::min(from, newIndex); i <= std::max(from, newIndex); ++i)
        list[size_t(i)]->index_ = i;
    if (!silent) endMoveRows();
}

void TSettingsGrid::Forget(TGridRow* row) {
    if (!row->Name.isEmpty()) {
        auto it = names_.find(row->Name.toCaseFolded());
        if (it != names_.end() && it.value() == row) names_.erase(it);
    }
    if (!row->category_) --editorRows_;
    for (auto& child : row->children_)
        Forget(child.get());
}

void TSettingsGrid::RemoveRow(TGridRow* row) {
    if (!row || row == root_.get()) return;
    Flush();
    TGridRow* parent = row->parent_;
    const int at = row->index_;
    beginRemoveRows(IndexOf(parent), at, at);
    Forget(row);
    announcedRows_ -= 1 + row->ChildCount();
    --parent->announced_;
    auto& list = parent->children_;
    list.erase(list.begin() + at);
    for (int i = at; i < int(list.size()); ++i)
        list[size_t(i)]->index_ = i;
    endRemoveRows();
}

void TSettingsGrid::NotifyRow(const TGridRow* row, const QList<int>& roles) {
    if (!row || !Announced(row)) return;
    Q_EMIT dataChanged(IndexOf(row, 0), IndexOf(row, 1), roles);
}

void TSettingsGrid::RowChanged(TGridRow* row) {
    NotifyRow(row);
}

TGridRow* TSettingsGrid::FindRow(const QString& name) const {
    return names_.value(name.toCaseFolded(), nullptr);
}

bool TSettingsGrid::AddName(TGridRow* row, const QString& name) {
    if (!row || row == root_.get()) return false;
    const QString key = name.toCaseFolded();
    TGridRow* holder = names_.value(key, nullptr);
    if (holder && holder != row) return false;
    if (!row->Name.isEmpty()) {
        auto it = names_.find(row->Name.toCaseFolded());
        if (it != names_.end() && it.value() == row) names_.erase(it);
    }
    row->Name = name;
    if (!name.isEmpty()) names_.insert(key, row);
    NotifyRow(row, {NameRole});
    return true;
}

void TSettingsGrid::SetValue(TGridRow* row, const QVariant& value) {
    if (!row || row == root_.get()) return;
    row->Value = value;
    NotifyRow(row);
}

void TSettingsGrid::SetTag(TGridRow* row, int tag) {
    if (!row || row == root_.get()) return;
    row->Tag = tag;
    NotifyRow(row, {TagRole});
}

void TSettingsGrid::SetHeaderStyle(TGridRow* row, THeaderStyle style) {
    if (!row || row == root_.get()) return;
    row->HeaderStyle = style;
    NotifyRow(row);
}

void TSettingsGrid::EditValueChanged(TGridRow* row) {
    if (!row || row == root_.get()) return;
    row->HeaderStyle = THeaderStyle::styleRowHeaderChanged;
    if (row->Tag > 0) row->Tag = -row->Tag; // -abs(tag) without overflow at INT_MIN
    NotifyRow(row);
}

void TSettingsGrid::SetEnabled(bool enabled) {
    if (enabled) Flush();
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Q_EMIT EnabledChanged(enabled);
}

QList<TGridRow*> TSettingsGrid::Categories() const {
    QList<TGridRow*> list;
    for (auto& row : root_->children_)
        if (row->category_) list << row.get();
    return list;
}

// A model index carries its row's address with the lowest bit set for a category row, so
// that views laying out thousands of rows learn a row's kind (flags) without reading the row.
namespace {
constexpr quintptr kCategoryBit = 1;
static_assert(alignof(TGridRow) > 1);
} // namespace

TGridRow* TSettingsGrid::RowFromIndex(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return nullptr;
    return reinterpret_cast<TGridRow*>(index.internalId() & ~kCategoryBit);
}

QModelIndex TSettingsGrid::MakeIndex(int row, int column, const TGridRow* item,
                                     bool category) const {
    return createIndex(row, column, reinterpret_cast<quintptr>(item) | (category ? 1 : 0));
}

QModelIndex TSettingsGrid::IndexOf(const TGridRow* row, int column) const {
    if (!row || row == root_.get() || column < 0 || column > 1) return QModelIndex();
    return MakeIndex(row->index_, column, row, row->category_);
}

QModelIndex TSettingsGrid::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column > 1 || (parent.isValid() && parent.column() != 0)) return {};
    const TGridRow* p = parent.isValid() ? RowFromIndex(parent) : root_.get();
    const TGridRow* child = p && row < p->announced_ ? p->Child(row) : nullptr;
    if (!child) return QModelIndex();
    // only the top level holds categories: below it the row need not be read
    return MakeIndex(row, column, child, p == root_.get() && child->category_);
}

QModelIndex TSettingsGrid::parent(const QModelIndex& child) const {
    const TGridRow* row = RowFromIndex(child);
    if (!row || !row->parent_ || row->parent_ == root_.get()) return {};
    return MakeIndex(row->parent_->index_, 0, row->parent_, row->parent_->category_);
}

int TSettingsGrid::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return root_->announced_;
    if (parent.column() != 0) return 0;
    const TGridRow* row = RowFromIndex(parent);
    return row ? row->announced_ : 0;
}

int TSettingsGrid::columnCount(const QModelIndex&) const {
    return 2;
}

bool TSettingsGrid::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

Qt::ItemFlags TSettingsGrid::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return Qt::NoItemFlags;
    if (index.internalId() & kCategoryBit) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 1 && RowFromIndex(index)->Editable) f |= Qt::ItemIsEditable;
    return f;
}

QVariant TSettingsGrid::data(const QModelIndex& index, int role) const {
    const TGridRow* row = RowFromIndex(index);
    if (!row) return {};
    const bool valueCell = index.column() == 1;
    switch (role) {
    case Qt::DisplayRole:
        if (!valueCell) return row->Caption;
        return row->category_ ? QVariant() : QVariant(row->DisplayText());
    case Qt::EditRole:
        if (!valueCell) return row->Caption;
        return row->category_ ? QVariant() : row->Value;
    case Qt::ToolTipRole:
        if (row->Hint.isEmpty()) return {};
        return QString(row->Hint).replace(QLatin1String("\r\n"), QLatin1String("\n"));
    case Qt::FontRole:
        if (row->category_) {
            if (!categoryFont_) categoryFont_.reset(new QFont(GridCategoryFont()));
            return *categoryFont_;
        }
        if (valueCell) {
            if (!contentFont_)
                contentFont_.reset(new QFont(GridStyleFont(TGridStyle::styleRowContent)));
            return *contentFont_;
        }
        if (row->HeaderStyle == THeaderStyle::styleRowHeaderChanged) {
            if (!changedFont_)
                changedFont_.reset(new QFont(GridStyleFont(TGridStyle::styleRowHeaderChanged)));
            return *changedFont_;
        }
        if (!headerFont_) headerFont_.reset(new QFont(GridStyleFont(TGridStyle::styleRowHeader)));
        return *headerFont_;
    case Qt::BackgroundRole:
        if (row->category_) return {};
        if (valueCell) {
            if (!contentBrush_)
                contentBrush_.reset(new QBrush(GridStyleBackground(TGridStyle::styleRowContent)));
            return *contentBrush_;
        }
        if (row->HeaderStyle == THeaderStyle::styleRowHeaderChanged) {
            if (!changedBrush_)
                changedBrush_.reset(
                    new QBrush(GridStyleBackground(TGridStyle::styleRowHeaderChanged)));
            return *changedBrush_;
        }
        return {};
    case IsCategoryRole:
        return row->category_;
    case NameRole:
        return row->Name;
    case TagRole:
        return row->Tag;
    case ChangedRole:
        return !row->category_ && row->HeaderStyle == THeaderStyle::styleRowHeaderChanged;
    default:
        break;
    }
    if (row->category_ || !valueCell) return {};
    switch (role) {
    case EditorKindRole:
        return int(row->Editor);
    case LowerBoundRole:
        return row->LowerBound();
    case UpperBoundRole:
        return row->UpperBound();
    case DecimalsRole:
        return row->Decimals;
    case StepRole:
        return row->Step;
    case LargeStepRole:
        return row->LargeStep;
    case ChoicesRole: {
        QVariantList list;
        list.reserve(row->Choices.size());
        for (const TChoice& c : row->Choices)
            list << QVariant(QVariantList{c.value, c.description});
        return list;
    }
    case MaxLengthRole:
        return row->Editor == TEditorKind::Text ? std::max(row->Max, 0) : 0;
    default:
        return {};
    }
}

bool TSettingsGrid::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != 1 || !enabled_) return false;
    TGridRow* row = RowFromIndex(index);
    if (!row || row->category_ || !row->Editable) return false;

    QVariant accepted;
    bool same = false;
    switch (row->Editor) {
    case TEditorKind::SpinInt:
    case TEditorKind::Combo: {
        int v = 0;
        if (!WholeNumberOf(value, &v)) return false;
        if (row->Editor == TEditorKind::SpinInt) {
            if (v < row->LowerBound() || v > row->UpperBound()) return false;
        } else if (!row->Choices.isEmpty()) {
            const bool listed = std::any_of(row->Choices.cbegin(), row->Choices.cend(),
                                            [v](const TChoice& c) { return c.value == v; });
            if (!listed) return false;
        }
        int old = 0;
        same = WholeNumberOf(row->Value, &old) && old == v;
        accepted = v;
        break;
    }
    case TEditorKind::SpinFloat: {
        double v = 0;
        if (!NumberOf(value, &v)) return false;
        if (v < row->LowerBound() || v > row->UpperBound()) return false;
        double old = 0;
        same = NumberOf(row->Value, &old) && old == v;
        accepted = v;
        break;
    }
    case TEditorKind::Text: {
        if (!value.canConvert<QString>()) return false;
        const QString v = value.toString();
        if (row->Max > 0 && v.size() > row->Max) return false;
        same = row->ValueText() == v;
        accepted = v;
        break;
    }
    }
    if (same) return true;
    row->Value = accepted;
    EditValueChanged(row);
    Q_EMIT UserEdited(row);
    return true;
}

} // namespace kolva
