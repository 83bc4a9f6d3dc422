// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/gui/frmSerialTrace.h"

#include "base/SafeWrite.h"
#include "base/Services.h"
#include "link/core/SerialTrace.h"
#include "widgets/NamedWidgets.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmSerialTrace::frmSerialTrace(Services &services, SerialTrace &trace, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_trace(trace)
{
    setObjectName(QStringLiteral("frmSerialTrace"));
    setWindowTitle(QStringLiteral("NX-4400C Serial Trace"));
    setAccessibleName(windowTitle());

    auto *intro = Widgets::label(this, QStringLiteral("lblIntro"),
                                 QStringLiteral("Every byte sent to (TX) and received from (RX) the receiver in the "
                                                "last exchanges. Save it and send the file with a support request."));
    intro->setWordWrap(true);
    m_txtTrace = new QPlainTextEdit(this);
    m_txtTrace->setObjectName(QStringLiteral("txtTrace"));
    m_txtTrace->setAccessibleName(QStringLiteral("Serial trace"));
    m_txtTrace->setReadOnly(true);
    m_txtTrace->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txtTrace->setFont(Widgets::fixedFont());
    m_txtTrace->setMinimumSize(720, 360);

    QPushButton *save = Widgets::button(this, QStringLiteral("cmdSave"), QStringLiteral("Save As..."), 96);
    QPushButton *clear = Widgets::button(this, QStringLiteral("cmdClear"), QStringLiteral("Clear"), 96);
    QPushButton *close = Widgets::button(this, QStringLiteral("cmdClose"), QStringLiteral("Close"), 96);
    close->setDefault(true);
    connect(save, &QPushButton::clicked, this, &frmSerialTrace::saveAs);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_trace.clear();
        refresh();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(clear);
    buttons->addWidget(close);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(intro);
    outer->addWidget(m_txtTrace, 1);
    outer->addLayout(buttons);
    refresh();
}

void frmSerialTrace::refresh()
{
    const QString text = m_trace.text();
    m_txtTrace->setPlainText(text.isEmpty() ? QStringLiteral("(No exchange with the receiver yet.)") : text);
}

bool frmSerialTrace::saveAs()
{
    Prompter::SaveRequest req;
    req.title = QStringLiteral("Save Serial Trace As");
    req.directory = QDir::currentPath();
    req.fileName = QStringLiteral("nx4400c-trace.txt");
    req.filter = QStringLiteral("Text files (*.txt);;All files (*)");
    const QString name = m_svc.prompter().saveFileName(req);
    if (name.isEmpty())
        return false;
    QString why;
    if (!writeFileAtomically(name, m_trace.text().toUtf8(), &why)) {
        m_svc.prompter().ask(QStringLiteral("File Save Error"),
                             QStringLiteral("The serial trace could not be saved:\r\n%1").arg(why),
                             Prompter::Icon::Critical, Prompter::Buttons::Ok);
        return false;
    }
    return true;
}
