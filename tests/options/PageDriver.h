// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives a receiver option page the way a user does: the toolbar command
// opens it modal, the test acts on it while it is up (clicks, keys, OK,
// Cancel, the close box), then looks at ReceiverConfig and at the packed
// parameter block.

#include "config/core/ParameterImage.h"
#include "config/core/SettingsStore.h"
#include "app/AppContext.h"
#include "support/GuiDriver.h"

#include <QPointer>

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTest>
#include <QTimer>

#include <functional>

using OpenPage = void (*)(Services &, ReceiverConfig &, QWidget *);

struct PageRun {
    bool appeared = false;
    bool leftOpen = false;   // the test's actions did not close the page
    int result = -1;         // QDialog::Accepted / Rejected
};

// Opens the page with `open` and runs `act` on it once it is modal on
// screen. A page that the actions leave open is closed (and reported), so a
// failing test never hangs.
inline PageRun runPage(OpenPage open, AppContext &ctx, const std::function<void(QDialog *)> &act,
                       QWidget *parent = nullptr)
{
    PageRun run;
    QPointer<QTimer> watch = whenModal<QDialog>([&run, &act](QDialog *page) {
        run.appeared = true;
        QObject::connect(page, &QDialog::finished, [&run](int r) { run.result = r; });
        act(page);
        if (page->isVisible()) {
            run.leftOpen = true;
            page->reject();
        }
    });
    open(ctx, ctx.config, parent);
    if (watch)
        watch->deleteLater();
    return run;
}

template <class T = QAbstractButton>
T *control(QWidget *page, const QString &name)
{
    return page->findChild<T *>(name);
}

// Clicks a button or box by name, where a user clicks: a check box or an
// option button on its indicator (a wide box only takes clicks on its
// indicator and caption). False when the control is not there.
inline bool click(QWidget *page, const QString &name)
{
    auto *b = control<QAbstractButton>(page, name);
    if (!b)
        return false;
    QPoint at = b->rect().center();
    const bool radio = qobject_cast<QRadioButton *>(b) != nullptr;
    if (radio || qobject_cast<QCheckBox *>(b)) {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        at = b->style()->subElementRect(radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator,
                                        &opt, b).center();
    }
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, at);
    return true;
}

inline bool isChecked(QWidget *page, const QString &name)
{
    auto *b = control<QAbstractButton>(page, name);
    return b && b->isChecked();
}

inline bool isEnabled(QWidget *page, const QString &name)
{
    auto *w = page->findChild<QWidget *>(name);
    return w && w->isEnabled();
}

// The parameter block (image bytes 0 to 31) for the record as it stands.
inline QByteArray parameterBlock(AppContext &ctx)
{
    PackParameterBlock(ctx.config, ctx.session().UploadImage);
    return QByteArray(reinterpret_cast<const char *>(ctx.session().UploadImage.data()), 32);
}

inline uint8_t imageByte(AppContext &ctx, int index)
{
    return uint8_t(parameterBlock(ctx).at(index));
}

// The record an empty settings store gives (the first run).
inline void loadFirstRun(AppContext &ctx)
{
    LoadConfiguration(ctx, ctx.config);
}

// Closes the page by its frame (the window's close box).
inline void closeBox(QDialog *page)
{
    page->close();
}
