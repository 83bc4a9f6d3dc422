// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs `act` on the modal window of type T as soon as it is on screen, so a
// test can answer a window that its own exec() holds open. (The window may
// process events before it shows itself; the check waits for it.)
//
// This is the one way tests drive a modal window. It returns the watching
// timer: a caller whose window may never appear stops it (deleteLater) once
// its exec() is over, so nothing fires into a finished test.
template<typename T>
QTimer *whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget()); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
    return timer;
}

// Saves a picture of `w` as <NX_GRAB_DIR>/<name>.png when NX_GRAB_DIR is set,
// for a person to look at.
inline void grab(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
    if (!dir.isEmpty())
        w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}
