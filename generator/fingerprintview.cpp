#include "fingerprintview.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QtMath>

#include <sodium.h>

#include <atomic>

struct FingerprintView::Job
{
    std::atomic<bool> running{false};
};

namespace {

QColor colourOf(int colour)
{
    return QColor(Fingerprint::colourValue(colour));
}

// A pattern for each colour, laid over it, so that two colours are told apart without seeing
// them: red plain, orange rows, yellow columns, green grid, teal rising and blue falling
// stripes, purple diagonal grid, pink dots.
const Qt::BrushStyle patterns[8] = {
    Qt::NoBrush, Qt::HorPattern, Qt::VerPattern, Qt::CrossPattern,
    Qt::BDiagPattern, Qt::FDiagPattern, Qt::DiagCrossPattern, Qt::Dense6Pattern,
};

QPolygonF regular(int corners, double radius, double turn)
{
    QPolygonF polygon;
    for (int i = 0; i < corners; ++i) {
        const double a = turn + 2 * M_PI * i / corners;
        polygon << QPointF(radius * std::cos(a), radius * std::sin(a));
    }
    return polygon;
}

// Shape number `shape` in a box from -1 to 1 on each axis.
QPainterPath shapePath(int shape)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    switch (shape) {
    case 0:   // circle
        path.addEllipse(QPointF(0, 0), 0.9, 0.9);
        break;
    case 1:   // square
        path.addRect(-0.8, -0.8, 1.6, 1.6);
        break;
    case 2:   // triangle
        path.addPolygon(regular(3, 0.95, -M_PI / 2));
        break;
    case 3:   // diamond
        path.addPolygon(QPolygonF(QVector<QPointF>{QPointF(0, -0.95), QPointF(0.7, 0), QPointF(0, 0.95), QPointF(-0.7, 0)}));
        break;
    case 4: { // star
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double r = i % 2 ? 0.4 : 0.95;
            const double a = -M_PI / 2 + M_PI * i / 5;
            star << QPointF(r * std::cos(a), r * std::sin(a));
        }
        path.addPolygon(star);
        break;
    }
    case 5:   // heart
        path.moveTo(0, 0.85);
        path.cubicTo(-1.2, 0.0, -0.6, -1.0, 0, -0.35);
        path.cubicTo(0.6, -1.0, 1.2, 0.0, 0, 0.85);
        break;
    case 6: { // moon
        // Cut on a large copy: cutting flattens curves to lines of a fixed size.
        QPainterPath disc;
        disc.addEllipse(QPointF(0, 0), 180, 180);
        QPainterPath bite;
        bite.addEllipse(QPointF(80, -40), 140, 140);
        path = QTransform::fromScale(1.0 / 200, 1.0 / 200).map(disc.subtracted(bite));
        break;
    }
    case 7: { // sun
        path.addEllipse(QPointF(0, 0), 0.45, 0.45);
        for (int i = 0; i < 8; ++i) {
            const double a = M_PI * i / 4;
            QPolygonF ray(QVector<QPointF>{QPointF(0.6 * std::cos(a - 0.2), 0.6 * std::sin(a - 0.2)),
                          QPointF(0.98 * std::cos(a), 0.98 * std::sin(a)),
                          QPointF(0.6 * std::cos(a + 0.2), 0.6 * std::sin(a + 0.2))});
            path.addPolygon(ray);
        }
        break;
    }
    case 8:   // cross
        path.addRect(-0.28, -0.9, 0.56, 1.8);
        path.addRect(-0.9, -0.28, 1.8, 0.56);
        break;
    case 9: { // ring
        path.setFillRule(Qt::OddEvenFill);
        path.addEllipse(QPointF(0, 0), 0.9, 0.9);
        path.addEllipse(QPointF(0, 0), 0.5, 0.5);
        break;
    }
    case 10:  // hexagon
        path.addPolygon(regular(6, 0.92, 0));
        break;
    case 11:  // arrow, pointing right
        path.addPolygon(QPolygonF(QVector<QPointF>{QPointF(-0.9, -0.3), QPointF(0.1, -0.3), QPointF(0.1, -0.75), QPointF(0.95, 0),
                                   QPointF(0.1, 0.75), QPointF(0.1, 0.3), QPointF(-0.9, 0.3)}));
        break;
    case 12:  // drop
        path.moveTo(0, -0.95);
        path.cubicTo(0.35, -0.4, 0.75, 0.0, 0.65, 0.35);
        path.arcTo(QRectF(-0.65, -0.3, 1.3, 1.25), 0, -180);
        path.cubicTo(-0.75, 0.0, -0.35, -0.4, 0, -0.95);
        break;
    case 13:  // leaf
        path.moveTo(-0.85, 0.85);
        path.cubicTo(-0.9, -0.4, 0.2, -0.95, 0.9, -0.9);
        path.cubicTo(0.95, -0.1, 0.4, 0.9, -0.85, 0.85);
        break;
    case 14:  // bolt
        path.addPolygon(QPolygonF(QVector<QPointF>{QPointF(0.25, -0.95), QPointF(-0.55, 0.1), QPointF(-0.05, 0.1), QPointF(-0.3, 0.95),
                                   QPointF(0.55, -0.15), QPointF(0.05, -0.15), QPointF(0.3, -0.95)}));
        break;
    default: { // key
        path.setFillRule(Qt::OddEvenFill);
        path.addEllipse(QPointF(-0.5, 0), 0.45, 0.45);
        path.addEllipse(QPointF(-0.5, 0), 0.2, 0.2);
        QPainterPath blade;
        blade.addRect(-0.1, -0.12, 1.0, 0.24);
        blade.addRect(0.55, 0.1, 0.14, 0.3);
        blade.addRect(0.78, 0.1, 0.12, 0.22);
        path = path.united(blade);
        break;
    }
    }
    // One outline for overlapping parts (the cross's bars, the sun's rays), so no seam shows.
    // Merging flattens curves to lines of a fixed size, so it works on a large copy.
    const QPainterPath merged = QTransform::fromScale(200, 200).map(path).simplified();
    return QTransform::fromScale(1.0 / 200, 1.0 / 200).map(merged);
}

}

FingerprintView::FingerprintView(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateDescription();
}

FingerprintView::~FingerprintView()
{
    if (worker.joinable())
        worker.join();
    phrase.fill(QChar(0));
}

void FingerprintView::setPhrase(const QString &text)
{
    if (text == phrase && (pending || !symbols.isEmpty()))
        return;
    phrase.fill(QChar(0));
    phrase = text;
    ++generation;
    symbols.clear();
    pending = !phrase.isEmpty();
    updateDescription();
    update();
    startComputing();
}

void FingerprintView::clear()
{
    setPhrase(QString());
}

void FingerprintView::startComputing()
{
    if (!pending)
        return;
    // One computation at a time: a phrase set meanwhile waits for it to end (see computed).
    if (job && job->running)
        return;
    if (worker.joinable())
        worker.join();
    job = std::make_shared<Job>();
    job->running = true;
    const quint64 forGeneration = generation;
    QPointer<FingerprintView> self(this);
    std::shared_ptr<Job> shared = job;
    QString copy = phrase;
    worker = std::thread([self, shared, forGeneration, copy]() mutable {
        const QVector<Fingerprint::Symbol> result = Fingerprint::of(copy);
        copy.fill(QChar(0));
        shared->running = false;
        // Back on the GUI thread, and only while the view still exists: its destructor joins
        // this thread, so the queued call never meets a dead object.
        QMetaObject::invokeMethod(qApp, [self, forGeneration, result] {
            if (self)
                self->computed(forGeneration, result);
        }, Qt::QueuedConnection);
    });
}

void FingerprintView::computed(quint64 forGeneration, const QVector<Fingerprint::Symbol> &result)
{
    if (forGeneration != generation) {
        // The phrase changed while this one was computed: its own turn comes now.
        if (pending)
            startComputing();
        return;
    }
    pending = false;
    symbols = result;
    updateDescription();
    update();
    if (!symbols.isEmpty())
        emit shown();
}

QString FingerprintView::text() const
{
    return Fingerprint::text(symbols);
}

void FingerprintView::updateDescription()
{
    QString description;
    if (!symbols.isEmpty())
        description = text();
    else if (pending)
        description = QStringLiteral("being computed");
    else
        description = QStringLiteral("none");
    const QString name = QStringLiteral("Phrase fingerprint: ") + description;
    setAccessibleName(name);
    setToolTip(symbols.isEmpty() ? QString() : name);
}

QSize FingerprintView::sizeHint() const
{
    const int side = qMax(16, fontMetrics().height() * 3 / 2);
    return QSize(Fingerprint::symbolCount * side + (Fingerprint::symbolCount - 1) * side / 3, side);
}

QSize FingerprintView::minimumSizeHint() const
{
    return sizeHint();
}

void FingerprintView::paintEvent(QPaintEvent *)
{
    if (!pending && symbols.isEmpty())
        return;
    QPainter painter(this);
    paintSymbols(painter, symbols, height());
}

QString FingerprintView::svgPath(int shape)
{
    const QPainterPath path = shapePath(shape);
    QStringList parts;
    auto number = [](qreal v) { return QString::number(qRound(v * 1000) / 1000.0, 'g', 4); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            parts << QStringLiteral("M%1 %2").arg(number(e.x), number(e.y));
        } else if (e.type == QPainterPath::LineToElement) {
            parts << QStringLiteral("L%1 %2").arg(number(e.x), number(e.y));
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            parts << QStringLiteral("C%1 %2 %3 %4 %5 %6")
                         .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(end.x), number(end.y));
            i += 2;
        }
    }
    return parts.join(QLatin1Char(' ')) + QStringLiteral(" Z");
}

bool FingerprintView::fillsEvenOdd(int shape)
{
    return shapePath(shape).fillRule() == Qt::OddEvenFill;
}

void FingerprintView::paintSymbols(QPainter &painter, const QVector<Fingerprint::Symbol> &symbols, double side)
{
    painter.setRenderHint(QPainter::Antialiasing);
    const double gap = side / 3;
    const int count = symbols.isEmpty() ? Fingerprint::symbolCount : symbols.size();
    for (int k = 0; k < count; ++k) {
        painter.save();
        painter.translate(k * (side + gap) + side / 2, side / 2);
        painter.scale(side / 2 * 0.92, side / 2 * 0.92);
        if (symbols.isEmpty()) {
            // Waiting: neutral outlines, no colour, so nothing is read into them.
            painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 0.12));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QPointF(0, 0), 0.8, 0.8);
        } else {
            const Fingerprint::Symbol &symbol = symbols.at(k);
            const QPainterPath path = shapePath(symbol.shape);
            const QColor colour = colourOf(symbol.colour);
            painter.setPen(QPen(colour.darker(160), 0.08));
            painter.setBrush(colour);
            painter.drawPath(path);
            if (patterns[symbol.colour] != Qt::NoBrush) {
                // The pattern keeps its size on screen whatever the symbol's scale.
                QBrush pattern(colour.darker(190), patterns[symbol.colour]);
                pattern.setTransform(QTransform::fromScale(2.0 / (side * 0.92), 2.0 / (side * 0.92)));
                painter.setPen(Qt::NoPen);
                painter.setBrush(pattern);
                painter.drawPath(path);
            }
        }
        painter.restore();
    }
}
