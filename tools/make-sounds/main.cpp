// SPDX-License-Identifier: GPL-3.0-or-later
// nx-make-sounds DIR: writes the six test recordings (110.wav .. 160.wav)
// into DIR. The build runs it and embeds the files in the editor.
#include "testpackets/core/SameAudio.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: nx-make-sounds DIR\n";
        return 2;
    }
    const QDir dir(args.at(1));
    if (!QDir().mkpath(dir.absolutePath())) {
        err << "nx-make-sounds: cannot create " << dir.absolutePath() << '\n';
        return 1;
    }
    for (int id : SameAudio::recordingIds()) {
        QSaveFile file(dir.filePath(QStringLiteral("%1.wav").arg(id)));
        if (!file.open(QIODevice::WriteOnly) || file.write(SameAudio::makeRecording(id)) < 0
            || !file.commit()) {
            err << "nx-make-sounds: cannot write " << file.fileName() << ": " << file.errorString() << '\n';
            return 1;
        }
    }
    return 0;
}
