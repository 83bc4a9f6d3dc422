// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPlainTextEdit;
class SerialTrace;
class Services;

// Help > Serial Trace...: every byte of the last few exchanges with the
// receiver, both ways, with its time, for a support request. The text can be
// saved to a file and the trace emptied.
class frmSerialTrace : public QDialog
{
    Q_OBJECT

public:
    frmSerialTrace(Services &services, SerialTrace &trace, QWidget *parent = nullptr);

    // Shows the trace as it is now.
    void refresh();
    // The save dialog, then the file; false when cancelled or not written.
    bool saveAs();

private:
    Services &m_svc;
    SerialTrace &m_trace;
    QPlainTextEdit *m_txtTrace = nullptr;
};
