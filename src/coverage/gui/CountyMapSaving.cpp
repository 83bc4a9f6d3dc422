// SPDX-License-Identifier: GPL-3.0-or-later
// Save Map As: the map with its caption and the selected counties, as a PNG
// picture or an SVG drawing.
#include "coverage/gui/CountyMapView.h"

#include "base/SafeWrite.h"
#include "coverage/core/CoverageSheet.h"
#include "coverage/core/SvgWriter.h"

#include <QBuffer>
#include <QPainter>

bool saveCountyMap(const CountyMapView &map, const QStringList &caption, const QString &path, QString *why)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSizeF mapSize = map.size();
    const CountyMapDrawing &drawing = map.drawing();
    const QFont font = map.font();
    const QSize size = CoverageSheet::pictureSize(drawing, mapSize, caption, font).toSize();
    CountyMapDrawing::Options options;
    options.interactive = map.isInteractive();
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        // Our own writer, on every system: the same drawing as the picture,
        // as shapes and text.
        SvgWriter svg(size);
        svg.setTitle(caption.value(0, QStringLiteral("County map")));
        svg.setDescription(drawing.summary());
        QPainter p;
        if (!p.begin(&svg)) {
            if (why)
                *why = QStringLiteral("The map could not be made into a drawing.");
            return false;
        }
        CoverageSheet::paintPicture(p, drawing, mapSize, caption, font, options);
        p.end();
        bytes = svg.data();
    } else {
        // Twice the screen's pixels, sharp enough to print in a site's papers.
        QImage image(size * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        {
            QPainter p(&image);
            CoverageSheet::paintPicture(p, drawing, mapSize, caption, font, options);
        }
        if (!image.save(&buffer, "PNG")) {
            if (why)
                *why = QStringLiteral("The map could not be made into a picture.");
            return false;
        }
        buffer.close();
    }
    return writeFileAtomically(path, bytes, why);
}
