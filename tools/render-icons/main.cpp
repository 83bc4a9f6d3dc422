// SPDX-License-Identifier: GPL-3.0-or-later
// nx-render-icons DIR SIZE FILE.svg...: draws each SVG picture as a SIZE x
// SIZE PNG of the same name in DIR. A build without Qt Svg embeds these in
// place of the SVG icons; the tool itself runs on the building machine.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char **argv)
{
    // Drawing needs no screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    bool ok = false;
    const int size = args.value(2).toInt(&ok);
    if (args.size() < 4 || !ok || size < 1 || size > 1024) {
        err << "usage: nx-render-icons DIR SIZE FILE.svg...\n";
        return 2;
    }
    const QDir dir(args.at(1));
    if (!QDir().mkpath(dir.absolutePath())) {
        err << "nx-render-icons: cannot create " << dir.absolutePath() << '\n';
        return 1;
    }
    for (const QString &svg : args.mid(3)) {
        QSvgRenderer renderer(svg);
        if (!renderer.isValid()) {
            err << "nx-render-icons: " << svg << " is no SVG picture\n";
            return 1;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            renderer.render(&p);
        }
        const QString out = dir.filePath(QFileInfo(svg).completeBaseName() + QStringLiteral(".png"));
        if (!image.save(out, "PNG")) {
            err << "nx-render-icons: cannot write " << out << '\n';
            return 1;
        }
    }
    return 0;
}
