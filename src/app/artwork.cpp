#include "app/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace
{

const QColor kDeepBlue(16, 46, 86);
const QColor kMidBlue(38, 100, 166);
const QColor kOrbit(255, 196, 64);

// The emblem: a tilted orbit around a dot, centred on the point, fitting a square of the size.
void PaintEmblem(QPainter& painter, const QPointF& centre, double size)
{
    painter.save();
    painter.translate(centre);
    painter.rotate(-28.0);
    QPen orbitPen(kOrbit, size * 0.075);
    orbitPen.setCapStyle(Qt::RoundCap);
    painter.setPen(orbitPen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0.0, 0.0), size * 0.46, size * 0.2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(0.0, 0.0), size * 0.16, size * 0.16);
    painter.setBrush(kOrbit);
    painter.drawEllipse(QPointF(size * 0.46, 0.0), size * 0.075, size * 0.075);
    painter.restore();
}

} // namespace

QImage OrbelinIconImage(int size)
{
    // An image rather than a pixmap: it can be drawn without a display, when the build renders the
    // icons that are installed.
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0.0, 0.0, 0.0, size);
    gradient.setColorAt(0.0, kMidBlue);
    gradient.setColorAt(1.0, kDeepBlue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    const double radius = size * 0.18;
    painter.drawRoundedRect(QRectF(0.0, 0.0, size, size), radius, radius);
    PaintEmblem(painter, QPointF(size / 2.0, size / 2.0), size * 0.9);
    painter.end();
    return image;
}

QIcon OrbelinIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(OrbelinIconImage(size)));
    return icon;
}

CBanner::CBanner(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    const double h = area.height();

    QLinearGradient gradient(area.topLeft(), area.topRight());
    gradient.setColorAt(0.0, kDeepBlue);
    gradient.setColorAt(1.0, kMidBlue);
    painter.fillRect(area, gradient);

    // A faint drawing-sheet grid on the right half hints at the DXF side of the conversion.
    painter.setPen(QPen(QColor(255, 255, 255, 28), 1.0));
    const double step = h / 4.0;
    for (double x = area.width() * 0.55; x < area.width(); x += step)
        painter.drawLine(QPointF(x, 0.0), QPointF(x, h));
    for (double y = step / 2.0; y < h; y += step)
        painter.drawLine(QPointF(area.width() * 0.55, y), QPointF(area.width(), y));
    QPainterPath curve;
    curve.moveTo(area.width() * 0.58, h * 0.8);
    curve.cubicTo(area.width() * 0.7, h * 0.05, area.width() * 0.82, h * 1.1, area.width() * 0.97, h * 0.25);
    painter.setPen(QPen(QColor(255, 255, 255, 70), 2.0));
    painter.drawPath(curve);

    const double emblemSize = h * 0.7;
    PaintEmblem(painter, QPointF(h * 0.15 + emblemSize / 2.0, h / 2.0), emblemSize);

    const double textLeft = h * 0.3 + emblemSize;
    QFont title = font();
    title.setBold(true);
    title.setPixelSize(qMax(8, static_cast<int>(h * 0.36)));
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(textLeft, h * 0.12, area.width() - textLeft, h * 0.48),
                     Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Orbelin"));
    QFont subtitle = font();
    subtitle.setPixelSize(qMax(6, static_cast<int>(h * 0.17)));
    painter.setFont(subtitle);
    painter.setPen(QColor(200, 222, 245));
    painter.drawText(QRectF(textLeft, h * 0.6, area.width() - textLeft, h * 0.3),
                     Qt::AlignLeft | Qt::AlignTop, QStringLiteral("SVG to DXF converter"));
}
