#include "operations/CommandList.h"

namespace kolva {

void TCommandList::SetCurrentValue(int id) {
    if (current_ == id) return;
    current_ = id;
    Q_EMIT CurrentValueChanged(id);
}

int TCommandList::CurrentIndex() const {
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_[i].id == current_) return i;
    return -1;
}

void TCommandList::BeginUpdate() {
    updating_ = true;
    pending_.clear();
}

void TCommandList::Add(int id, const QString& caption) {
    TCommandEntry entry{id, caption};
    if (updating_)
        pending_ << entry;
    else {
        beginInsertRows(QModelIndex(), int(entries_.size()), int(entries_.size()));
        entries_ << entry;
        endInsertRows();
        Q_EMIT ListChanged();
    }
}

void TCommandList::EndUpdate() {
    if (!updating_) return;
    updating_ = false;
    beginResetModel();
    entries_ = std::move(pending_);
    pending_.clear();
    endResetModel();
    Q_EMIT ListChanged();
}

int TCommandList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

QVariant TCommandList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= entries_.size()) return {};
    const TCommandEntry& entry = entries_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.caption;
    case IdRole:
        return entry.id;
    default:
        return {};
    }
}

QHash<int, QByteArray> TCommandList::roleNames() const {
    auto names = QAbstractListModel::roleNames();
    names[IdRole] = "id";
    return names;
}

} // namespace kolva
