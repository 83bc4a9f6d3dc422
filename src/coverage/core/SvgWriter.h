// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QSize>
#include <QString>

#include <memory>

class SvgPaintEngine;

// A paint device that writes what is painted on it as an SVG 1.1 drawing,
// so the map's own drawing code paints into a file exactly as it paints on
// screen or paper: paths with their fill and stroke, pattern brushes as
// <pattern>, text as <text> a reader can select and search, clipping as
// <clipPath>, pictures as embedded PNG. Every shape is written in the
// drawing's own coordinates (the painter's transform applied), one element
// per primitive, so a county drawn is one <path>.
//
// Written by this program rather than through Qt Svg: the Windows build has
// no Qt Svg, and the saved map must be the same drawing on every system.
//
//     SvgWriter svg(size);
//     svg.setTitle(...);
//     QPainter p(&svg);
//     ...draw...
//     p.end();
//     const QByteArray file = svg.data();
class SvgWriter : public QPaintDevice
{
public:
    explicit SvgWriter(const QSize &size);
    ~SvgWriter() override;

    void setTitle(const QString &title) { m_title = title; }
    void setDescription(const QString &description) { m_description = description; }
    QString title() const { return m_title; }
    QString description() const { return m_description; }
    QSize size() const { return m_size; }

    // The whole document once the painter has ended; empty before.
    QByteArray data() const;

    QPaintEngine *paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSize m_size;
    QString m_title;
    QString m_description;
    std::unique_ptr<SvgPaintEngine> m_engine;
};
