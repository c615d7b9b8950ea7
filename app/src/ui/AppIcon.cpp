// SPDX-License-Identifier: MIT
#include "AppIcon.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <vector>

namespace app {

namespace {

// The drawing's own square, in user units.
constexpr double kCanvas = 256.0;

// One shape of the drawing, kept both as a painter path and as its SVG element.
struct TShape {
    QPainterPath Path;
    QString Element; // the SVG element's name and geometry attributes, without fill and stroke
    QColor Fill;     // invalid: not filled
    QColor Stroke;   // invalid: not stroked
    double StrokeWidth = 0;
    int MinSize = 0; // drawn only at this pixel size and above (the SVG has every shape)
};

QString Num(double AValue) {
    return QString::number(AValue, 'g', 6);
}

// Builds a path and its SVG "d" attribute from the same calls.
class TPathBuilder {
public:
    TPathBuilder &M(double X, double Y) {
        FPath.moveTo(X, Y);
        FData += QStringLiteral("M%1 %2 ").arg(Num(X), Num(Y));
        return *this;
    }
    TPathBuilder &L(double X, double Y) {
        FPath.lineTo(X, Y);
        FData += QStringLiteral("L%1 %2 ").arg(Num(X), Num(Y));
        return *this;
    }
    TPathBuilder &Q(double X1, double Y1, double X, double Y) {
        FPath.quadTo(X1, Y1, X, Y);
        FData += QStringLiteral("Q%1 %2 %3 %4 ").arg(Num(X1), Num(Y1), Num(X), Num(Y));
        return *this;
    }
    TPathBuilder &C(double X1, double Y1, double X2, double Y2, double X, double Y) {
        FPath.cubicTo(X1, Y1, X2, Y2, X, Y);
        FData +=
            QStringLiteral("C%1 %2 %3 %4 %5 %6 ").arg(Num(X1), Num(Y1), Num(X2), Num(Y2), Num(X), Num(Y));
        return *this;
    }
    TPathBuilder &Z() {
        FPath.closeSubpath();
        FData += QStringLiteral("Z");
        return *this;
    }
    TShape Shape() const {
        TShape shape;
        shape.Path = FPath;
        shape.Element = QStringLiteral("path d=\"%1\"").arg(FData.trimmed());
        return shape;
    }

private:
    QPainterPath FPath;
    QString FData;
};

TShape Ellipse(double X, double Y, double W, double H) {
    TShape shape;
    shape.Path.addEllipse(QRectF(X, Y, W, H));
    shape.Element = QStringLiteral("ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"")
                        .arg(Num(X + W / 2), Num(Y + H / 2), Num(W / 2), Num(H / 2));
    return shape;
}

TShape Rect(double X, double Y, double W, double H, double R = 0) {
    TShape shape;
    if (R > 0)
        shape.Path.addRoundedRect(QRectF(X, Y, W, H), R, R);
    else
        shape.Path.addRect(QRectF(X, Y, W, H));
    shape.Element = QStringLiteral("rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"")
                        .arg(Num(X), Num(Y), Num(W), Num(H));
    if (R > 0) shape.Element += QStringLiteral(" rx=\"%1\" ry=\"%1\"").arg(Num(R));
    return shape;
}

TShape Painted(TShape AShape, const QColor &AFill, const QColor &AStroke = QColor(), double AWidth = 0,
               int AMinSize = 0) {
    AShape.Fill = AFill;
    AShape.Stroke = AStroke;
    AShape.StrokeWidth = AWidth;
    AShape.MinSize = AMinSize;
    return AShape;
}

// The elephant of the Script button, drawn on its 48-unit grid and placed on the page.
constexpr double kElephantScale = 3.0;
constexpr double kElephantX = 58.0;
constexpr double kElephantY = 72.0;

double EX(double X) {
    return kElephantX + X * kElephantScale;
}
double EY(double Y) {
    return kElephantY + Y * kElephantScale;
}
double ES(double Size) {
    return Size * kElephantScale;
}

void AddElephant(std::vector<TShape> &AShapes) {
    const QColor body(0x5B, 0x7F, 0xC7), dark(0x34, 0x4F, 0x8C), ear(0x7E, 0x9E, 0xDD);
    const double line = ES(1.5);
    AShapes.push_back(Painted(Ellipse(EX(10), EY(14), ES(30), ES(20)), body, dark, line)); // body
    AShapes.push_back(Painted(Rect(EX(13), EY(28), ES(6), ES(12)), body, dark, line));     // legs
    AShapes.push_back(Painted(Rect(EX(31), EY(28), ES(6), ES(12)), body, dark, line));
    AShapes.push_back(Painted(Ellipse(EX(2), EY(10), ES(18), ES(17)), body, dark, line)); // head
    AShapes.push_back(Painted(TPathBuilder()
                                  .M(EX(4), EY(22))
                                  .C(EX(0), EY(30), EX(2), EY(38), EX(7), EY(40))
                                  .L(EX(9), EY(37))
                                  .C(EX(6), EY(34), EX(7), EY(28), EX(9), EY(24))
                                  .Z()
                                  .Shape(),
                              body, dark, line)); // trunk
    AShapes.push_back(Painted(Ellipse(EX(12), EY(11), ES(10), ES(13)), ear, dark, line));
    AShapes.push_back(Painted(Ellipse(EX(7), EY(15), ES(3), ES(3)), Qt::white));                // eye
    AShapes.push_back(Painted(Ellipse(EX(8), EY(16), ES(1.5), ES(1.5)), Qt::black, {}, 0, 32)); // pupil
    AShapes.push_back(Painted(TPathBuilder().M(EX(40), EY(22)).L(EX(44), EY(28)).Shape(), QColor(), dark,
                              line)); // tail
}

std::vector<TShape> Drawing() {
    std::vector<TShape> shapes;
    const QColor edge(0x5B, 0x6B, 0x82);
    // The page with its folded corner.
    shapes.push_back(Painted(TPathBuilder()
                                 .M(48, 12)
                                 .L(164, 12)
                                 .L(212, 60)
                                 .L(212, 232)
                                 .Q(212, 244, 200, 244)
                                 .L(60, 244)
                                 .Q(48, 244, 48, 232)
                                 .Z()
                                 .Shape(),
                             QColor(0xFA, 0xFB, 0xFD), edge, 8));
    shapes.push_back(Painted(TPathBuilder().M(164, 12).L(164, 48).Q(164, 60, 176, 60).L(212, 60).Z().Shape(),
                             QColor(0xD5, 0xDC, 0xE8), edge, 8));
    // Two lines of text above the elephant.
    const QColor text(0xA8, 0xB3, 0xC4);
    shapes.push_back(Painted(Rect(72, 36, 76, 10, 5), text, {}, 0, 32));
    shapes.push_back(Painted(Rect(72, 58, 104, 10, 5), text, {}, 0, 32));
    AddElephant(shapes);
    // The check mark in a green disc over the page's lower right corner.
    shapes.push_back(Painted(Ellipse(148, 148, 100, 100), QColor(0x2F, 0x9E, 0x44), Qt::white, 8));
    TShape check = TPathBuilder().M(172, 199).L(190, 217).L(224, 180).Shape();
    check.Stroke = Qt::white;
    check.StrokeWidth = 16;
    shapes.push_back(check);
    return shapes;
}

QString SvgColour(const QColor &AColour) {
    return AColour.isValid() ? AColour.name(QColor::HexRgb) : QStringLiteral("none");
}

} // namespace

QImage DrawAppIcon(int ASize) {
    QImage image(ASize, ASize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(ASize / kCanvas, ASize / kCanvas);
    for (const TShape &shape : Drawing()) {
        if (ASize < shape.MinSize) continue;
        painter.setBrush(shape.Fill.isValid() ? QBrush(shape.Fill) : QBrush(Qt::NoBrush));
        if (shape.Stroke.isValid())
            painter.setPen(QPen(shape.Stroke, shape.StrokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        else
            painter.setPen(Qt::NoPen);
        painter.drawPath(shape.Path);
    }
    painter.end();
    return image;
}

QByteArray AppIconSvg() {
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                                 "viewBox=\"0 0 256 256\">\n");
    for (const TShape &shape : Drawing()) {
        svg += QStringLiteral("  <%1 fill=\"%2\"").arg(shape.Element, SvgColour(shape.Fill));
        if (shape.Stroke.isValid())
            svg += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linecap=\"round\" "
                                  "stroke-linejoin=\"round\"")
                       .arg(SvgColour(shape.Stroke), Num(shape.StrokeWidth));
        svg += QStringLiteral("/>\n");
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

QIcon AppIcon() {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(kAppIconName));
    if (!icon.isNull()) return icon;
    for (int size : kAppIconSizes)
        icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
    return icon;
}

} // namespace app
