// Draws the application's images: orbizo3-image-generator OUTPUT_DIRECTORY
//   OrbiZo3FWUpdater.png  256 x 256  application image (a measurement table and a download)
//   FWIconPass.png         26 x 26   overlay: green disc with a tick
//   FWIconFail.png         26 x 26   overlay: red disc with a cross
//   FWIconWarning.png      26 x 26   overlay: amber triangle with an exclamation mark
//   AlertCautionIcon.png   64 x 64   caution sign
// With --icons it draws the application image at the desktop's icon sizes instead (16 to 256
// px, hicolor theme layout), named after the desktop entry's id.
// Shapes only, no text, so the output does not depend on installed fonts.
#include <iostream>

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

namespace {

// The reverse-DNS id of the desktop entry, which names its icon too.
const char* const kDesktopId = "com.korvane.OrbiZo3FWUpdater";

QImage blank(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void antialias(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

// Exclamation mark centred on x, from top to bottom, in the given colour.
void exclamation(QPainter& painter, qreal x, qreal top, qreal bottom, qreal width,
                 const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal dot = width * 1.1;
    const qreal barEnd = bottom - dot * 1.6;
    painter.drawRoundedRect(QRectF(x - width / 2, top, width, barEnd - top), width / 2, width / 2);
    painter.drawEllipse(QPointF(x, bottom - dot / 2), dot / 2, dot / 2);
}

void warningTriangle(QPainter& painter, qreal size, const QColor& fill) {
    const qreal m = size * 0.06;
    QPainterPath triangle;
    triangle.moveTo(size / 2, m);
    triangle.lineTo(size - m, size - m * 1.5);
    triangle.lineTo(m, size - m * 1.5);
    triangle.closeSubpath();
    painter.setPen(QPen(fill.darker(160), size * 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(fill);
    painter.drawPath(triangle);
    exclamation(painter, size / 2, size * 0.3, size * 0.82, size * 0.12, QColor(30, 30, 30));
}

QImage warningIcon(int size) {
    QImage image = blank(size);
    QPainter painter(&image);
    antialias(painter);
    warningTriangle(painter, size, QColor(247, 181, 0));
    return image;
}

QImage cautionIcon() {
    QImage image = blank(64);
    QPainter painter(&image);
    antialias(painter);
    warningTriangle(painter, 64, QColor(242, 120, 24));
    return image;
}

void disc(QPainter& painter, qreal size, const QColor& colour) {
    QRadialGradient shade(size * 0.35, size * 0.3, size * 0.7);
    shade.setColorAt(0, colour.lighter(135));
    shade.setColorAt(1, colour);
    painter.setPen(QPen(colour.darker(150), size * 0.05));
    painter.setBrush(shade);
    const qreal m = size * 0.05;
    painter.drawEllipse(QRectF(m, m, size - 2 * m, size - 2 * m));
}

QImage passIcon() {
    QImage image = blank(26);
    QPainter painter(&image);
    antialias(painter);
    disc(painter, 26, QColor(40, 160, 60));
    painter.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(7, 13.5), QPointF(11.5, 18), QPointF(19.5, 8.5)}));
    return image;
}

QImage failIcon() {
    QImage image = blank(26);
    QPainter painter(&image);
    antialias(painter);
    disc(painter, 26, QColor(205, 35, 35));
    painter.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(8.5, 8.5), QPointF(17.5, 17.5));
    painter.drawLine(QPointF(17.5, 8.5), QPointF(8.5, 17.5));
    return image;
}

// The table seen from the front at an angle: a round platter on a square base, with a probe
// arm reaching over it, and a download arrow above.
// Drawn on a 256-unit grid and scaled to `size` pixels (the desktop icons are drawn at each of
// their sizes rather than scaled down from the 256 px picture).
QImage applicationImage(int size = 256) {
    QImage image = blank(size);
    QPainter painter(&image);
    antialias(painter);
    painter.scale(size / 256.0, size / 256.0);

    QLinearGradient tile(0, 0, 0, 256);
    tile.setColorAt(0, QColor(38, 86, 150));
    tile.setColorAt(1, QColor(16, 40, 80));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 36, 36);

    // Base
    QLinearGradient base(0, 170, 0, 222);
    base.setColorAt(0, QColor(200, 206, 214));
    base.setColorAt(1, QColor(120, 128, 140));
    painter.setBrush(base);
    painter.drawRoundedRect(QRectF(40, 168, 176, 54), 10, 10);

    // Platter with its rings
    painter.setBrush(QColor(90, 96, 108));
    painter.drawEllipse(QRectF(52, 150, 152, 44));
    QRadialGradient platter(128, 160, 90);
    platter.setColorAt(0, QColor(245, 247, 250));
    platter.setColorAt(1, QColor(170, 178, 190));
    painter.setBrush(platter);
    painter.drawEllipse(QRectF(52, 140, 152, 44));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(120, 130, 145), 2));
    painter.drawEllipse(QRectF(76, 147, 104, 30));
    painter.drawEllipse(QRectF(100, 154, 56, 16));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 70, 40));
    painter.drawEllipse(QPointF(128, 162), 5, 3);

    // Probe arm: column on the right, beam over the platter, probe tip down to the centre
    painter.setBrush(QColor(225, 228, 232));
    painter.drawRoundedRect(QRectF(190, 92, 16, 90), 4, 4);
    painter.drawRoundedRect(QRectF(120, 92, 86, 14), 4, 4);
    painter.setBrush(QColor(250, 196, 40));
    QPolygonF tip({QPointF(122, 104), QPointF(134, 104), QPointF(128, 150)});
    painter.drawPolygon(tip);

    // Download arrow
    painter.setBrush(QColor(90, 210, 110));
    QPolygonF arrow({QPointF(60, 30), QPointF(84, 30), QPointF(84, 72), QPointF(102, 72),
                     QPointF(72, 110), QPointF(42, 72), QPointF(60, 72)});
    painter.drawPolygon(arrow);
    return image;
}

// The application's icon in the desktop's hicolor theme, one file per size:
// <dir>/hicolor/<n>x<n>/apps/<id>.png.
int writeDesktopIcons(const QDir& out) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString directory = QString("hicolor/%1x%1/apps").arg(size);
        const QString path =
            out.filePath(directory + "/" + QString::fromLatin1(kDesktopId) + ".png");
        if (!out.mkpath(directory) || !applicationImage(size).save(path, "PNG")) {
            std::cerr << "cannot write " << path.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}

}  // namespace

// orbizo3-image-generator OUTPUT_DIRECTORY          the images compiled into the programs
// orbizo3-image-generator --icons OUTPUT_DIRECTORY  the desktop icons that get installed
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--icons")
        return writeDesktopIcons(QDir(QString::fromLocal8Bit(argv[2])));
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " [--icons] OUTPUT_DIRECTORY\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char* name;
        QImage image;
    } images[] = {
        {"OrbiZo3FWUpdater.png", applicationImage()},
        {"FWIconPass.png", passIcon()},
        {"FWIconFail.png", failIcon()},
        {"FWIconWarning.png", warningIcon(26)},
        {"AlertCautionIcon.png", cautionIcon()},
    };
    for (const auto& entry : images) {
        const QString path = out.filePath(QString::fromLatin1(entry.name));
        if (!entry.image.save(path, "PNG")) {
            std::cerr << "cannot write " << path.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}
