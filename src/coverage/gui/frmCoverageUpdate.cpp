// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/frmCoverageUpdate.h"

#include "widgets/NamedWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmCoverageUpdate::frmCoverageUpdate(const CoverageImport::Result &r, const CoverageChanges::Summary &summary,
                                     QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCoverageUpdate"));
    setWindowTitle(QStringLiteral("NX-4400C Update Coverage"));
    setModal(true);
    setSizeGripEnabled(true);

    QString head = QStringLiteral("NOAA listing %1 (%2, %3): %4 rows read, %5 used.")
                       .arg(r.info.name, r.info.shape, r.info.date)
                       .arg(r.rowsRead)
                       .arg(r.rowsUsed);
    if (r.refused)
        head = QStringLiteral("This listing is refused and nothing was changed: %1").arg(r.refusal);
    else
        head += QStringLiteral(" Nothing changes until you press Apply.");
    QLabel *lblListing = Widgets::label(this, QStringLiteral("lblListing"), head);
    lblListing->setWordWrap(true);

    m_lblWarning = Widgets::label(this, QStringLiteral("lblWarning"), summary.warnings.join(QLatin1Char('\n')),
                                  QStringLiteral("Your transmitter and counties"));
    m_lblWarning->setWordWrap(true);
    QFont big = m_lblWarning->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.15);
    m_lblWarning->setFont(big);
    m_lblWarning->setStyleSheet(QStringLiteral("QLabel { color: #a00000; background: #fff0f0; border: 2px solid #c00000; "
                                               "padding: 6px; }"));
    m_lblWarning->setVisible(!summary.warnings.isEmpty() && !r.refused);

    QString text = r.refused ? QString() : summary.text(200);
    if (!r.issues.isEmpty()) {
        text += QStringLiteral("\nNotes on the file (%1):\n").arg(r.issues.size());
        for (const CoverageImport::Issue &i : r.issues)
            text += QStringLiteral("  [%1] %2\n").arg(CoverageImport::kindName(i.kind), i.text);
    }
    m_txtSummary = new QPlainTextEdit(text, this);
    m_txtSummary->setObjectName(QStringLiteral("txtSummary"));
    m_txtSummary->setAccessibleName(QStringLiteral("What the listing changes"));
    m_txtSummary->setReadOnly(true);
    m_txtSummary->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txtSummary->setFont(Widgets::fixedFont());
    const QFontMetrics fm(m_txtSummary->font());
    m_txtSummary->setMinimumSize(fm.horizontalAdvance(QString(78, QLatin1Char('0'))), fm.lineSpacing() * 18);

    QPushButton *apply = Widgets::button(this, QStringLiteral("cmdApply"), QStringLiteral("&Apply"), 90);
    QPushButton *cancel = Widgets::button(this, QStringLiteral("cmdCancel"),
                                          r.refused ? QStringLiteral("&Close") : QStringLiteral("&Cancel"), 90);
    apply->setVisible(!r.refused);
    apply->setAutoDefault(false);
    cancel->setDefault(true);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);

    auto *root = new QVBoxLayout(this);
    root->addWidget(lblListing);
    root->addWidget(m_lblWarning);
    root->addWidget(m_txtSummary, 1);
    root->addLayout(buttons);
}

QString frmCoverageUpdate::reportText() const
{
    return (m_lblWarning->isHidden() ? QString() : m_lblWarning->text() + QLatin1Char('\n'))
           + m_txtSummary->toPlainText();
}
