#include "shell/StateIndicator.h"

#include <QPainter>
#include <QRadialGradient>

namespace kolva {

namespace {
constexpr int kLamp = 10;
constexpr int kGap = 6;
} // namespace

TStateIndicator::TStateIndicator(const QString& caption, const QColor& lamp, QWidget* parent)
    : QLabel(caption, parent), lamp_(lamp) {
    setContentsMargins(kLamp + kGap, 0, 0, 0);
}

void TStateIndicator::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF lamp(contentsRect().left() - kLamp - kGap + 2, (height() - kLamp) / 2.0, kLamp,
                      kLamp);
    QRadialGradient glow(lamp.center() - QPointF(1.5, 1.5), kLamp * 0.7);
    glow.setColorAt(0, lamp_.lighter(170));
    glow.setColorAt(1, lamp_);
    p.setPen(QPen(lamp_.darker(160), 1));
    p.setBrush(glow);
    p.drawEllipse(lamp);
}

} // namespace kolva
