#pragma once
// The command selector's content (mnCommand): one entry per command row of the selected
// model, value = the row's id, description = its decrypted caption. A list model, so the
// window's combo can show it directly.

#include <QAbstractListModel>
#include <QList>
#include <QString>

namespace kolva {

struct TCommandEntry {
    int id = 0;
    QString caption;
};

class TCommandList : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles { IdRole = Qt::UserRole + 1 };

    explicit TCommandList(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    const QList<TCommandEntry>& Entries() const { return entries_; }
    int Count() const { return int(entries_.size()); }
    // The id of the chosen command; 0 when nothing is chosen.
    int CurrentValue() const { return current_; }
    void SetCurrentValue(int id);
    // Row index of the chosen command in Entries(), -1 when none.
    int CurrentIndex() const;

    // Refilling (UpdateCommandList): BeginUpdate clears, Add appends, EndUpdate publishes.
    void BeginUpdate();
    void Add(int id, const QString& caption);
    void EndUpdate();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void CurrentValueChanged(int id);
    void ListChanged();

private:
    QList<TCommandEntry> entries_;
    QList<TCommandEntry> pending_;
    bool updating_ = false;
    int current_ = 0;
};

} // namespace kolva
