// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/TransmitterInfoLine.h"

#include "base/Services.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>

TransmitterInfoLine::TransmitterInfoLine(Services &services, QListWidget *list, QWidget *parent)
    : QLabel(parent), m_svc(services), m_list(list)
{
    setObjectName(QStringLiteral("lblTransmitterInfo"));
    setAccessibleDescription(QStringLiteral("What NOAA's listing says about the highlighted transmitter"));
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setFrameShape(QFrame::StyledPanel);
    setMargin(3);
    // Room for five lines, wrapped inside the line's own box: the longest
    // description in bold (an out-of-service transmitter, four lines beside
    // a narrow list) and a note under it. The list above gives up height
    // first; the box never runs into it.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    QFont bold = font();
    bold.setBold(true);
    setMinimumHeight(QFontMetrics(bold).lineSpacing() * 5 + 2 * (margin() + frameWidth()) + 2);
    connect(list, &QListWidget::currentItemChanged, this, &TransmitterInfoLine::refresh);
    connect(list->model(), &QAbstractItemModel::modelReset, this, &TransmitterInfoLine::refresh);
    connect(list->model(), &QAbstractItemModel::rowsRemoved, this, &TransmitterInfoLine::refresh);
    refresh();
}

void TransmitterInfoLine::reloadIfChanged()
{
    const QFileInfo file(QDir(m_svc.statesFolder).filePath(TransmitterTable::FileName));
    const QDateTime stamp = file.exists() ? file.lastModified() : QDateTime();
    // An import replaces the folder behind the same name: the table's own
    // path and time tell.
    const QString key = m_svc.statesFolder + QLatin1Char('\n') + file.canonicalFilePath();
    if (key == m_folder && stamp == m_stamp)
        return;
    m_folder = key;
    m_stamp = stamp;
    m_problem.clear();
    if (!TransmitterTable::load(m_svc.statesFolder, &m_table, &m_problem))
        m_table.clear();
}

QString TransmitterInfoLine::describe(const QString &field)
{
    reloadIfChanged();
    if (field.isEmpty())
        return QStringLiteral("Highlight a transmitter to see its call sign, status, power and forecast office.");
    const auto it = m_table.constFind(field);
    if (it == m_table.constEnd())
        return m_problem.isEmpty() ? QStringLiteral("The listing in use has no details for this transmitter.")
                                   : QStringLiteral("No details: ") + m_problem;
    const TransmitterInfo &t = *it;
    QStringList parts;
    parts << (t.status.isEmpty() ? QStringLiteral("status not listed") : t.status);
    parts << QStringLiteral("call sign ") + t.callsign;
    if (!t.power.isEmpty())
        parts << t.power + QStringLiteral(" W");
    if (!t.wfo.isEmpty())
        parts << QStringLiteral("office ") + QString(t.wfo).replace(QLatin1Char('|'), QStringLiteral(", "));
    QString where = t.siteName;
    if (!t.siteState.isEmpty())
        where += QStringLiteral(", ") + t.siteState;
    if (!where.isEmpty())
        parts << where;
    return parts.join(QStringLiteral("  \u00B7  "));
}

void TransmitterInfoLine::refresh()
{
    // The list empties its model while it is being destroyed, when it is no
    // longer a QListWidget: its meta-object then says so.
    if (!qobject_cast<QListWidget *>(static_cast<QObject *>(m_list)))
        return;
    const QListWidgetItem *item = m_list->currentItem();
    const QString field = item ? item->text() : QString();
    setText(describe(field));
    const bool off = field.isEmpty() ? false : m_table.value(field).status == QLatin1String("OUT OF SERVICE");
    setStyleSheet(off ? QStringLiteral("QLabel { color: #a00000; font-weight: bold; }") : QString());
}
