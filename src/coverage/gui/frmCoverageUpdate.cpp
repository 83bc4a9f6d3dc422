// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/frmCoverageUpdate.h"

#include "widgets/NamedWidgets.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

frmCoverageUpdate::frmCoverageUpdate(const CoverageImport::Result &r, const CoverageChanges::Summary &summary,
                                     const SetupCheck::Report &check, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCoverageUpdate"));
    setWindowTitle(QStringLiteral("NX-4400C Update Coverage"));
    setModal(true);
    setSizeGripEnabled(true);

    QString head = QStringLiteral("NOAA listing %1 (%2, %3): %4 rows read, %5 used; %6 transmitters before, %7 after. "
                                  "Nothing changes until you press Apply.")
                       .arg(r.info.name, r.info.shape, r.info.date)
                       .arg(r.rowsRead)
                       .arg(r.rowsUsed)
                       .arg(summary.transmittersBefore)
                       .arg(summary.transmittersAfter);
    if (r.refused)
        head = QStringLiteral("This listing is refused and nothing was changed: %1").arg(r.refusal);
    m_lblListing = Widgets::label(this, QStringLiteral("lblListing"), head);
    m_lblListing->setWordWrap(true);

    // The headline, large; what it does not say, and the transmitters that
    // could take over, below it in plain type.
    const bool concerns = !r.refused && !check.isClean();
    m_lblWarning = Widgets::label(this, QStringLiteral("lblWarning"), concerns ? check.headline() : QString(),
                                  QStringLiteral("Your transmitter and counties"));
    m_lblWarning->setWordWrap(true);
    QFont big = m_lblWarning->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.15);
    m_lblWarning->setFont(big);
    m_lblWarning->setStyleSheet(check.hasSerious()
                                    ? QStringLiteral("QLabel { color: #a00000; background: #fff0f0; border: 2px solid "
                                                     "#c00000; padding: 6px; }")
                                    : QStringLiteral("QLabel { color: #4a3a00; background: #fff8dc; border: 1px solid "
                                                     "#c8a000; padding: 6px; }"));
    m_lblWarning->setVisible(concerns);
    const QStringList more = concerns ? check.lines().mid(1) : QStringList();
    m_lblSuggestions = Widgets::label(this, QStringLiteral("lblSuggestions"), more.join(QLatin1Char('\n')),
                                      QStringLiteral("What else the listing means for your setup"));
    m_lblSuggestions->setWordWrap(true);
    m_lblSuggestions->setTextFormat(Qt::PlainText);
    m_lblSuggestions->setVisible(!more.isEmpty());

    m_tblChanges = new QTableWidget(0, 2, this);
    m_tblChanges->setObjectName(QStringLiteral("tblChanges"));
    m_tblChanges->setAccessibleName(QStringLiteral("What the listing changes"));
    m_tblChanges->setHorizontalHeaderLabels({QStringLiteral("Change"), QStringLiteral("Transmitter, county or note")});
    m_tblChanges->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblChanges->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Long notes wrap onto more lines of their row rather than end in "…".
    m_tblChanges->setWordWrap(true);
    m_tblChanges->setTextElideMode(Qt::ElideNone);
    m_tblChanges->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_tblChanges->verticalHeader()->hide();
    m_tblChanges->verticalHeader()->setDefaultSectionSize(QFontMetrics(Widgets::fixedFont()).lineSpacing() + 6);
    m_tblChanges->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tblChanges->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_tblChanges->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_tblChanges->setFont(Widgets::fixedFont());
    if (!r.refused) {
        const std::pair<const char *, const QStringList *> lists[] = {
            {"Added", &summary.added},          {"Removed", &summary.removed},
            {"Retuned", &summary.retuned},      {"Renamed", &summary.renamed},
            {"Out of service", &summary.outOfService}, {"Degraded", &summary.degraded},
            {"County", &summary.countiesChanged},
        };
        for (const auto &[change, items] : lists) {
            for (const QString &item : *items)
                addRow(QString::fromLatin1(change), item);
        }
        if (m_tblChanges->rowCount() == 0)
            addRow(QStringLiteral("None"), QStringLiteral("No transmitter or county changed."));
    }
    for (const CoverageImport::Issue &i : r.issues)
        addRow(QStringLiteral("Note: ") + CoverageImport::kindName(i.kind), i.text);
    m_tblChanges->setVisible(m_tblChanges->rowCount() > 0);
    const QFontMetrics fm(m_tblChanges->font());
    m_tblChanges->setMinimumSize(fm.horizontalAdvance(QString(64, QLatin1Char('0'))), fm.lineSpacing() * 12);

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
    root->addWidget(m_lblListing);
    root->addWidget(m_lblWarning);
    root->addWidget(m_lblSuggestions);
    root->addWidget(m_tblChanges, 1);
    root->addLayout(buttons);
    // Room for the table, within a 1024x768 screen and its panels.
    resize(qMin(960, qMax(sizeHint().width(), fm.horizontalAdvance(QString(96, QLatin1Char('0'))))),
           qMin(sizeHint().height() + fm.lineSpacing() * 8, 680));
}

void frmCoverageUpdate::addRow(const QString &change, const QString &what)
{
    const int row = m_tblChanges->rowCount();
    m_tblChanges->insertRow(row);
    auto *a = new QTableWidgetItem(change);
    auto *b = new QTableWidgetItem(what.simplified());
    b->setToolTip(what);
    m_tblChanges->setItem(row, 0, a);
    m_tblChanges->setItem(row, 1, b);
}

QString frmCoverageUpdate::reportText() const
{
    QStringList text{m_lblListing->text()};
    if (!m_lblWarning->isHidden())
        text << m_lblWarning->text();
    if (!m_lblSuggestions->isHidden())
        text << m_lblSuggestions->text();
    for (int row = 0; row < m_tblChanges->rowCount(); ++row)
        text << m_tblChanges->item(row, 0)->text() + QStringLiteral(": ") + m_tblChanges->item(row, 1)->text();
    return text.join(QLatin1Char('\n'));
}
