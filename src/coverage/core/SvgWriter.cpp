// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/SvgWriter.h"

#include <QBuffer>
#include <QFontInfo>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>

#include <cmath>

namespace {

// Two decimals are a hundredth of a pixel: finer than any viewer shows,
// and a county's outline stays a few kilobytes.
QByteArray num(double v)
{
    if (!std::isfinite(v))
        return "0";
    QByteArray s = QByteArray::number(v, 'f', 2);
    if (s.contains('.')) {
        while (s.endsWith('0'))
            s.chop(1);
        if (s.endsWith('.'))
            s.chop(1);
    }
    return s == "-0" ? QByteArray("0") : s;
}

QByteArray escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        default:
            // XML 1.0 has no place for most control characters, even escaped.
            if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
                continue;
            out += c;
        }
    }
    return out.toUtf8();
}

QByteArray colour(const QColor &c)
{
    return c.name(QColor::HexRgb).toLatin1();
}

QByteArray pathData(const QPainterPath &path)
{
    QByteArray d;
    d.reserve(path.elementCount() * 14);
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            d += 'M' + num(e.x) + ' ' + num(e.y);
            break;
        case QPainterPath::LineToElement:
            d += 'L' + num(e.x) + ' ' + num(e.y);
            break;
        case QPainterPath::CurveToElement: {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            d += 'C' + num(e.x) + ' ' + num(e.y) + ' ' + num(c2.x) + ' ' + num(c2.y) + ' ' + num(end.x) + ' '
                 + num(end.y);
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    return d;
}

// How much a transform stretches a line's width (the square root of the
// area it gives a unit square).
double widthScale(const QTransform &t)
{
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

// The resolution fonts are sized at: the same as a picture made here, so
// that a saved drawing's text is as large as the same map's PNG.
int pictureDpi()
{
    static const int dpi = QImage(1, 1, QImage::Format_ARGB32).logicalDpiY();
    return dpi;
}

} // namespace

// The engine behind SvgWriter. It takes every feature, so the painter hands
// it untransformed primitives with the state, and applies the transform,
// pen, brush and clip itself.
class SvgPaintEngine : public QPaintEngine
{
public:
    SvgPaintEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    {
    }

    bool begin(QPaintDevice *) override;
    bool end() override;
    void updateState(const QPaintEngineState &state) override;
    void drawPath(const QPainterPath &path) override;
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
    void drawLines(const QLineF *lines, int count) override;
    void drawRects(const QRectF *rects, int count) override;
    void drawTextItem(const QPointF &p, const QTextItem &item) override;
    void drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr) override;
    void drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags flags) override;
    Type type() const override { return QPaintEngine::User; }

    QByteArray document(const SvgWriter &writer) const;

private:
    enum Paint { Fill = 1, Stroke = 2 };
    void shape(const QPainterPath &devicePath, int paint, Qt::FillRule rule);
    QByteArray fillAttributes() const;
    QByteArray strokeAttributes() const;
    QByteArray patternFor(const QBrush &brush);
    void setClip(const QPainterPath &deviceClip, bool on);
    void closeGroup();

    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
    QFont m_font;
    double m_opacity = 1;
    bool m_clipOn = false;
    QPainterPath m_clip;
    bool m_groupOpen = false;
    int m_clips = 0;
    QHash<QByteArray, QByteArray> m_patterns;   // pattern key -> id
    QByteArray m_defs;
    QByteArray m_body;
    bool m_done = false;
};

bool SvgPaintEngine::begin(QPaintDevice *)
{
    m_defs.clear();
    m_body.clear();
    m_patterns.clear();
    m_clips = 0;
    m_groupOpen = false;
    m_clipOn = false;
    m_clip = QPainterPath();
    m_pen = QPen();
    m_brush = QBrush();
    m_transform = QTransform();
    m_opacity = 1;
    m_done = false;
    setActive(true);
    return true;
}

bool SvgPaintEngine::end()
{
    closeGroup();
    m_done = true;
    setActive(false);
    return true;
}

void SvgPaintEngine::closeGroup()
{
    if (m_groupOpen)
        m_body += "</g>\n";
    m_groupOpen = false;
}

void SvgPaintEngine::updateState(const QPaintEngineState &state)
{
    const DirtyFlags dirty = state.state();
    if (dirty & DirtyPen)
        m_pen = state.pen();
    if (dirty & DirtyBrush)
        m_brush = state.brush();
    if (dirty & DirtyTransform)
        m_transform = state.transform();
    if (dirty & DirtyFont)
        m_font = state.font();
    if (dirty & DirtyOpacity)
        m_opacity = state.opacity();
    if (dirty & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled)) {
        // The painter knows the clip with every intersection made; in the
        // drawing's coordinates it can be written once and shared.
        QPainter *p = painter();
        const bool on = p && p->hasClipping();
        setClip(on ? p->combinedTransform().map(p->clipPath()) : QPainterPath(), on);
    }
}

void SvgPaintEngine::setClip(const QPainterPath &deviceClip, bool on)
{
    if (on == m_clipOn && (!on || deviceClip == m_clip))
        return;
    closeGroup();
    m_clipOn = on;
    m_clip = deviceClip;
    if (!on)
        return;
    const QByteArray id = "clip" + QByteArray::number(++m_clips);
    m_defs += "<clipPath id=\"" + id + "\"><path d=\"" + pathData(deviceClip) + "\" clip-rule=\""
              + (deviceClip.fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero") + "\"/></clipPath>\n";
    m_body += "<g clip-path=\"url(#" + id + ")\">\n";
    m_groupOpen = true;
}

QByteArray SvgPaintEngine::patternFor(const QBrush &brush)
{
    // Qt's line patterns, eight pixels square, in the brush's colour over
    // nothing (what is below shows through, as on screen).
    QByteArray lines;
    switch (brush.style()) {
    case Qt::HorPattern: lines = "M0 4H8"; break;
    case Qt::VerPattern: lines = "M4 0V8"; break;
    case Qt::CrossPattern: lines = "M0 4H8M4 0V8"; break;
    case Qt::BDiagPattern: lines = "M0 8L8 0M-1 1L1 -1M7 9L9 7"; break;
    case Qt::FDiagPattern: lines = "M0 0L8 8M-1 7L1 9M7 -1L9 1"; break;
    case Qt::DiagCrossPattern: lines = "M0 0L8 8M0 8L8 0"; break;
    default: return {};
    }
    const QByteArray key = QByteArray::number(int(brush.style())) + colour(brush.color())
                           + QByteArray::number(brush.color().alpha());
    auto found = m_patterns.constFind(key);
    if (found != m_patterns.constEnd())
        return found.value();
    const QByteArray id = "pattern" + QByteArray::number(m_patterns.size() + 1);
    m_patterns.insert(key, id);
    m_defs += "<pattern id=\"" + id + "\" patternUnits=\"userSpaceOnUse\" width=\"8\" height=\"8\"><path d=\"" + lines
              + "\" fill=\"none\" stroke=\"" + colour(brush.color()) + "\" stroke-width=\"1\""
              + (brush.color().alpha() < 255 ? " stroke-opacity=\"" + num(brush.color().alphaF()) + '"' : QByteArray())
              + "/></pattern>\n";
    return id;
}

QByteArray SvgPaintEngine::fillAttributes() const
{
    QColor c = m_brush.color();
    switch (m_brush.style()) {
    case Qt::NoBrush:
        return " fill=\"none\"";
    case Qt::LinearGradientPattern:
    case Qt::RadialGradientPattern:
    case Qt::ConicalGradientPattern:
        // The map uses no gradients; a gradient is shown in its first colour.
        if (m_brush.gradient() && !m_brush.gradient()->stops().isEmpty())
            c = m_brush.gradient()->stops().constFirst().second;
        break;
    case Qt::Dense1Pattern: c.setAlphaF(c.alphaF() * 0.94); break;
    case Qt::Dense2Pattern: c.setAlphaF(c.alphaF() * 0.81); break;
    case Qt::Dense3Pattern: c.setAlphaF(c.alphaF() * 0.63); break;
    case Qt::Dense4Pattern: c.setAlphaF(c.alphaF() * 0.5); break;
    case Qt::Dense5Pattern: c.setAlphaF(c.alphaF() * 0.37); break;
    case Qt::Dense6Pattern: c.setAlphaF(c.alphaF() * 0.19); break;
    case Qt::Dense7Pattern: c.setAlphaF(c.alphaF() * 0.06); break;
    default:
        break;
    }
    QByteArray a = " fill=\"" + colour(c) + '"';
    if (c.alpha() < 255)
        a += " fill-opacity=\"" + num(c.alphaF()) + '"';
    return a;
}

QByteArray SvgPaintEngine::strokeAttributes() const
{
    if (m_pen.style() == Qt::NoPen || m_pen.brush().style() == Qt::NoBrush)
        return " stroke=\"none\"";
    const QColor c = m_pen.color();
    // A width of 0 is one device pixel, whatever the scale, as on screen.
    double width = m_pen.widthF();
    if (width <= 0)
        width = 1;
    else if (!m_pen.isCosmetic())
        width *= widthScale(m_transform);
    QByteArray a = " stroke=\"" + colour(c) + "\" stroke-width=\"" + num(width) + '"';
    if (c.alpha() < 255)
        a += " stroke-opacity=\"" + num(c.alphaF()) + '"';
    // Qt's default cap is square and its join bevelled, SVG's butt and mitre.
    switch (m_pen.capStyle()) {
    case Qt::SquareCap: a += " stroke-linecap=\"square\""; break;
    case Qt::RoundCap: a += " stroke-linecap=\"round\""; break;
    default: break;
    }
    switch (m_pen.joinStyle()) {
    case Qt::RoundJoin: a += " stroke-linejoin=\"round\""; break;
    case Qt::MiterJoin:
    case Qt::SvgMiterJoin: a += " stroke-linejoin=\"miter\""; break;
    default: a += " stroke-linejoin=\"bevel\""; break;
    }
    if (m_pen.style() != Qt::SolidLine) {
        QByteArray dashes;
        for (double d : m_pen.dashPattern())
            dashes += (dashes.isEmpty() ? "" : ",") + num(d * width);
        if (!dashes.isEmpty())
            a += " stroke-dasharray=\"" + dashes + '"';
    }
    return a;
}

void SvgPaintEngine::shape(const QPainterPath &devicePath, int paint, Qt::FillRule rule)
{
    if (devicePath.isEmpty())
        return;
    QByteArray fill = " fill=\"none\"";
    if (paint & Fill) {
        const QByteArray pattern = patternFor(m_brush);
        fill = pattern.isEmpty() ? fillAttributes() : " fill=\"url(#" + pattern + ")\"";
        if (rule == Qt::OddEvenFill && m_brush.style() != Qt::NoBrush)
            fill += " fill-rule=\"evenodd\"";
    }
    const QByteArray stroke = (paint & Stroke) ? strokeAttributes() : QByteArray(" stroke=\"none\"");
    if (fill == " fill=\"none\"" && stroke == " stroke=\"none\"")
        return;
    m_body += "<path d=\"" + pathData(devicePath) + '"' + fill + stroke;
    if (m_opacity < 1)
        m_body += " opacity=\"" + num(m_opacity) + '"';
    m_body += "/>\n";
}

void SvgPaintEngine::drawPath(const QPainterPath &path)
{
    shape(m_transform.map(path), Fill | Stroke, path.fillRule());
}

void SvgPaintEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode)
{
    if (count < 2)
        return;
    QPainterPath path(points[0]);
    for (int i = 1; i < count; ++i)
        path.lineTo(points[i]);
    if (mode == PolylineMode) {
        shape(m_transform.map(path), Stroke, Qt::OddEvenFill);
        return;
    }
    path.closeSubpath();
    shape(m_transform.map(path), Fill | Stroke, mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
}

void SvgPaintEngine::drawLines(const QLineF *lines, int count)
{
    // Lines drawn together (a hatch) are one path: one element per call.
    QPainterPath path;
    for (int i = 0; i < count; ++i) {
        path.moveTo(lines[i].p1());
        path.lineTo(lines[i].p2());
    }
    shape(m_transform.map(path), Stroke, Qt::OddEvenFill);
}

void SvgPaintEngine::drawRects(const QRectF *rects, int count)
{
    for (int i = 0; i < count; ++i) {
        QPainterPath path;
        path.addRect(rects[i]);
        shape(m_transform.map(path), Fill | Stroke, Qt::OddEvenFill);
    }
}

void SvgPaintEngine::drawTextItem(const QPointF &p, const QTextItem &item)
{
    const QString text = item.text();
    if (text.isEmpty() || m_pen.style() == Qt::NoPen)
        return;
    const QFont f = item.font();
    double size = f.pixelSize() > 0 ? f.pixelSize() : f.pointSizeF() * pictureDpi() / 72.0;
    QByteArray place;
    if (m_transform.type() <= QTransform::TxScale && qFuzzyCompare(m_transform.m11(), m_transform.m22())
        && m_transform.m11() > 0) {
        const QPointF at = m_transform.map(p);
        size *= m_transform.m11();
        place = " x=\"" + num(at.x()) + "\" y=\"" + num(at.y()) + '"';
    } else {
        const QTransform &t = m_transform;
        place = " x=\"" + num(p.x()) + "\" y=\"" + num(p.y()) + "\" transform=\"matrix(" + num(t.m11()) + ' '
                + num(t.m12()) + ' ' + num(t.m21()) + ' ' + num(t.m22()) + ' ' + num(t.dx()) + ' ' + num(t.dy())
                + ")\"";
    }
    QByteArray style = " font-family=\"" + escaped(f.family()) + ", sans-serif\" font-size=\"" + num(size) + '"';
    if (f.weight() >= QFont::DemiBold)
        style += " font-weight=\"bold\"";
    if (f.italic())
        style += " font-style=\"italic\"";
    const QColor c = m_pen.color();
    style += " fill=\"" + colour(c) + '"';
    if (c.alpha() < 255)
        style += " fill-opacity=\"" + num(c.alphaF()) + '"';
    if (m_opacity < 1)
        style += " opacity=\"" + num(m_opacity) + '"';
    // Runs of spaces (the county list's columns) are kept as painted.
    m_body += "<text xml:space=\"preserve\"" + place + style + '>' + escaped(text) + "</text>\n";
}

void SvgPaintEngine::drawImage(const QRectF &r, const QImage &image, const QRectF &sr, Qt::ImageConversionFlags)
{
    const QImage part = image.copy(sr.toAlignedRect());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (part.isNull() || !part.save(&buffer, "PNG"))
        return;
    const QTransform &t = m_transform;
    m_body += "<image x=\"" + num(r.x()) + "\" y=\"" + num(r.y()) + "\" width=\"" + num(r.width()) + "\" height=\""
              + num(r.height()) + "\" preserveAspectRatio=\"none\" transform=\"matrix(" + num(t.m11()) + ' '
              + num(t.m12()) + ' ' + num(t.m21()) + ' ' + num(t.m22()) + ' ' + num(t.dx()) + ' ' + num(t.dy())
              + ")\" xlink:href=\"data:image/png;base64," + png.toBase64() + "\"/>\n";
}

void SvgPaintEngine::drawPixmap(const QRectF &r, const QPixmap &pm, const QRectF &sr)
{
    drawImage(r, pm.toImage(), sr, Qt::AutoColor);
}

QByteArray SvgPaintEngine::document(const SvgWriter &writer) const
{
    if (!m_done)
        return {};
    const QSize size = writer.size();
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                     "version=\"1.1\" width=\""
                     + QByteArray::number(size.width()) + "\" height=\"" + QByteArray::number(size.height())
                     + "\" viewBox=\"0 0 " + QByteArray::number(size.width()) + ' '
                     + QByteArray::number(size.height()) + "\">\n";
    if (!writer.title().isEmpty())
        doc += "<title>" + escaped(writer.title()) + "</title>\n";
    if (!writer.description().isEmpty())
        doc += "<desc>" + escaped(writer.description()) + "</desc>\n";
    if (!m_defs.isEmpty())
        doc += "<defs>\n" + m_defs + "</defs>\n";
    doc += m_body;
    doc += "</svg>\n";
    return doc;
}

SvgWriter::SvgWriter(const QSize &size)
    : m_size(size)
    , m_engine(std::make_unique<SvgPaintEngine>())
{
}

SvgWriter::~SvgWriter() = default;

QByteArray SvgWriter::data() const
{
    return m_engine->document(*this);
}

QPaintEngine *SvgWriter::paintEngine() const
{
    return m_engine.get();
}

int SvgWriter::metric(PaintDeviceMetric metric) const
{
    const int dpi = pictureDpi();
    switch (metric) {
    case PdmWidth: return m_size.width();
    case PdmHeight: return m_size.height();
    case PdmWidthMM: return qRound(m_size.width() * 25.4 / dpi);
    case PdmHeightMM: return qRound(m_size.height() * 25.4 / dpi);
    case PdmNumColors: return int(0xffffffff);
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return dpi;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
    default: return QPaintDevice::metric(metric);
    }
}
