#pragma once
// A status-bar state indicator: a coloured lamp followed by its caption.

#include <QColor>
#include <QLabel>

namespace kolva {

class TStateIndicator : public QLabel {
    Q_OBJECT
public:
    TStateIndicator(const QString& caption, const QColor& lamp, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor lamp_;
};

} // namespace kolva
