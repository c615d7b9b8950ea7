// SPDX-License-Identifier: MIT
// Draws the five 48 x 48 button pictures of the window into PNG files (run once; the pictures are
// shipped as resources): an open folder, a blue elephant, a floppy disk, a right-pointing
// chevron in an orange ring and a square in a red ring.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

QImage NewPicture() {
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage Folder() {
    QImage image = NewPicture();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xB0, 0x7A, 0x10), 1.5));
    p.setBrush(QColor(0xE8, 0xB0, 0x30));
    QPainterPath back;
    back.moveTo(4, 12);
    back.lineTo(17, 12);
    back.lineTo(21, 16);
    back.lineTo(40, 16);
    back.lineTo(40, 40);
    back.lineTo(4, 40);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(0xFF, 0xD3, 0x5C));
    QPainterPath front;
    front.moveTo(4, 40);
    front.lineTo(11, 22);
    front.lineTo(46, 22);
    front.lineTo(40, 40);
    front.closeSubpath();
    p.drawPath(front);
    return image;
}

QImage Elephant() {
    QImage image = NewPicture();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body(0x5B, 0x7F, 0xC7), dark(0x34, 0x4F, 0x8C);
    p.setPen(QPen(dark, 1.5));
    p.setBrush(body);
    p.drawEllipse(QRectF(10, 14, 30, 20)); // body
    p.drawRect(QRectF(13, 28, 6, 12));     // legs
    p.drawRect(QRectF(31, 28, 6, 12));
    p.drawEllipse(QRectF(2, 10, 18, 17)); // head
    QPainterPath trunk;
    trunk.moveTo(4, 22);
    trunk.cubicTo(0, 30, 2, 38, 7, 40);
    trunk.lineTo(9, 37);
    trunk.cubicTo(6, 34, 7, 28, 9, 24);
    trunk.closeSubpath();
    p.drawPath(trunk);
    p.setBrush(QColor(0x7E, 0x9E, 0xDD));
    p.drawEllipse(QRectF(12, 11, 10, 13)); // ear
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(7, 15, 3, 3)); // eye
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(8, 16, 1.5, 1.5));
    p.setPen(QPen(dark, 1.5));
    p.drawLine(QPointF(40, 22), QPointF(44, 28)); // tail
    return image;
}

QImage Floppy() {
    QImage image = NewPicture();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1E, 0x2A, 0x3A), 1.5));
    p.setBrush(QColor(0x3A, 0x4E, 0x6A));
    QPainterPath shell;
    shell.moveTo(5, 5);
    shell.lineTo(38, 5);
    shell.lineTo(43, 10);
    shell.lineTo(43, 43);
    shell.lineTo(5, 43);
    shell.closeSubpath();
    p.drawPath(shell);
    p.setBrush(QColor(0xC8, 0xCC, 0xD2));
    p.drawRect(QRectF(13, 5, 20, 13)); // shutter
    p.setBrush(QColor(0x3A, 0x4E, 0x6A));
    p.drawRect(QRectF(26, 7, 4, 9));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(10, 24, 28, 19)); // label
    p.setPen(QPen(QColor(0x9A, 0xA4, 0xB0), 1));
    for (int y : {29, 33, 37})
        p.drawLine(13, y, 35, y);
    return image;
}

QImage Chevron() {
    QImage image = NewPicture();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xF3, 0x8A, 0x12), 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4.5, 4.5, 39, 39));
    p.setPen(QPen(QColor(0xE0, 0x6C, 0x00), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath chevron;
    chevron.moveTo(19, 14);
    chevron.lineTo(30, 24);
    chevron.lineTo(19, 34);
    p.drawPath(chevron);
    return image;
}

// A square in a ring, drawn like the chevron: the picture of "Stop".
QImage StopSign() {
    QImage image = NewPicture();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xC8, 0x2A, 0x1E), 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4.5, 4.5, 39, 39));
    p.setPen(QPen(QColor(0xA8, 0x1C, 0x12), 2, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(QColor(0xD8, 0x3A, 0x2A));
    p.drawRoundedRect(QRectF(16, 16, 16, 16), 2, 2);
    return image;
}

} // namespace

int main(int argc, char **argv) {
    QGuiApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = Folder().save(folder + QStringLiteral("/folder.png")) &&
              Elephant().save(folder + QStringLiteral("/elephant.png")) &&
              Floppy().save(folder + QStringLiteral("/floppy.png")) &&
              Chevron().save(folder + QStringLiteral("/chevron.png")) &&
              StopSign().save(folder + QStringLiteral("/stop.png"));
    return ok ? 0 : 1;
}
