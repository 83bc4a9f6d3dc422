// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The window shown for about two seconds while the program starts.
class frmSplash : public QDialog
{
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);
};
