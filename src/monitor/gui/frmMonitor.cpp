// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/gui/frmMonitor.h"

#include "base/Clock.h"
#include "coverage/core/EventCatalog.h"
#include "monitor/core/MonitorSources.h"
#include "monitor/gui/SdrPanel.h"
#include "widgets/NamedWidgets.h"

#include <QColor>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kWavInput = QStringLiteral("WAV file");
// Few, short columns that wrap: the table stays readable in a window 800
// pixels wide. Mode and confidence share one column.
const char *const kHeadings[] = {"Receiver", "Event", "Counties", "Issued", "Ends", "From", "Decoded"};
enum Column { ReceiverColumn, EventColumn, CountiesColumn, IssuedColumn, EndsColumn, FromColumn, DecodedColumn };
const QString kNotProgrammed = QStringLiteral("not in this receiver's counties or events");

// The header's locations by name for the Counties cell: the padding code
// 000000 that fills a header's location list is left out, and a code no
// state file names is shown as the code, marked unknown.
QString countiesCell(CountyNames &names, const QStringList &codes, const QStringList &named)
{
    QStringList out;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const QString &code = codes.at(i);
        if (code == QLatin1String("000000"))
            continue;
        const QString name = i < named.size() && !named.at(i).isEmpty() ? named.at(i) : names.name(code);
        out << (name == code ? QStringLiteral("%1 (unknown code)").arg(code) : name);
    }
    return out.isEmpty() ? QStringLiteral("none named") : out.join(QStringLiteral("; "));
}

} // namespace

const QString frmMonitor::IqFileInput = QStringLiteral("Software radio: IQ file");
const QString frmMonitor::RtlSdrInput = QStringLiteral("Software radio: RTL-SDR dongle");

frmMonitor::frmMonitor(const Setup &setup, Prompter &prompter, const Clock &clock, QWidget *parent)
    : QDialog(parent), m_setup(setup), m_prompter(prompter), m_clock(clock),
      m_program(ReceiverProgram::fromSetup(setup.fipEntries, setup.eventSelection, setup.transmitter)),
      m_names(setup.statesFolder, setup.fipEntries), m_transmitters(setup.statesFolder)
{
    setObjectName(QStringLiteral("frmMonitor"));
    setWindowTitle(QStringLiteral("NX-4400C Alert Monitor"));
    setAccessibleName(windowTitle());
    resize(900, 420);
    setMinimumWidth(640);

    auto *top = new QGridLayout;
    m_input = new QComboBox(this);
    m_input->setObjectName(QStringLiteral("cboInput"));
    m_input->addItem(kWavInput);
    m_input->addItem(IqFileInput);
    m_input->addItem(RtlSdrInput);
    m_input->addItems(audioInputNames());
    top->addWidget(Widgets::heading(this, QStringLiteral("lblInput"), QStringLiteral("&Input:"), m_input), 0, 0);
    top->addWidget(m_input, 0, 1);
    m_wavFile = new QLineEdit(this);
    m_wavFile->setObjectName(QStringLiteral("txtWavFile"));
    m_wavFile->setAccessibleName(QStringLiteral("WAV file"));
    top->addWidget(m_wavFile, 0, 2);
    m_browse = Widgets::button(this, QStringLiteral("cmdBrowse"), QStringLiteral("&Browse..."));
    top->addWidget(m_browse, 0, 3);

    m_mode = new QComboBox(this);
    m_mode->setObjectName(QStringLiteral("cboMode"));
    m_mode->addItem(QStringLiteral("Strict (two of three bursts the same)"), int(SameMode::Strict));
    m_mode->addItem(QStringLiteral("Combined (for weak signals)"), int(SameMode::Combined));
    top->addWidget(Widgets::heading(this, QStringLiteral("lblMode"), QStringLiteral("&Mode:"), m_mode), 1, 0);
    top->addWidget(m_mode, 1, 1);

    m_level = new QProgressBar(this);
    m_level->setObjectName(QStringLiteral("prgLevel"));
    m_level->setRange(0, 100);
    m_level->setValue(0);
    m_level->setFormat(QStringLiteral("%p %"));
    top->addWidget(Widgets::heading(this, QStringLiteral("lblLevel"), QStringLiteral("Level:"), m_level), 1, 2, Qt::AlignRight);
    top->addWidget(m_level, 1, 3);
    m_level->setAccessibleName(QStringLiteral("Input level"));
    top->setColumnStretch(2, 1);

    auto *buttons = new QHBoxLayout;
    m_start = Widgets::button(this, QStringLiteral("cmdStart"), QStringLiteral("&Start"), 90);
    m_stop = Widgets::button(this, QStringLiteral("cmdStop"), QStringLiteral("S&top"), 90);
    m_status = Widgets::field(this, QStringLiteral("lblStatus"), QStringLiteral("Monitor status"));
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_status, 1);

    m_grid = new QTableWidget(0, int(std::size(kHeadings)), this);
    m_grid->setObjectName(QStringLiteral("grdMessages"));
    m_grid->setAccessibleName(QStringLiteral("Decoded messages"));
    QStringList headings;
    for (const char *h : kHeadings)
        headings << QString::fromLatin1(h);
    m_grid->setHorizontalHeaderLabels(headings);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setSectionResizeMode(CountiesColumn, QHeaderView::Stretch);
    // An event's name on one line ("Required Weekly Test (RWT)"): the
    // longest is under 250 pixels, and the counties take the rest.
    m_grid->horizontalHeader()->setSectionResizeMode(EventColumn, QHeaderView::ResizeToContents);
    m_grid->horizontalHeader()->setMinimumSectionSize(60);
    m_grid->setColumnWidth(ReceiverColumn, 110);
    m_grid->setColumnWidth(EventColumn, 130);
    m_grid->setColumnWidth(IssuedColumn, 85);
    m_grid->setColumnWidth(EndsColumn, 85);
    m_grid->setColumnWidth(FromColumn, 90);
    m_grid->setColumnWidth(DecodedColumn, 85);
    m_grid->verticalHeader()->setVisible(false);
    // Wrapped cells: each row as high as its text, as the columns change.
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_grid->setWordWrap(true);
    m_grid->setTextElideMode(Qt::ElideNone);

    m_crossCheck = Widgets::field(this, QStringLiteral("lblCrossCheck"), QStringLiteral("Receiver cross-check"));
    m_crossCheck->setWordWrap(true);
    m_crossCheck->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *close = Widgets::button(this, QStringLiteral("cmdClose"), QStringLiteral("&Close"), 90);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    m_sdr = new SdrPanel(m_clock, this);
    m_sdr->setVisible(false);
    layout->addWidget(m_sdr);
    layout->addLayout(buttons);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_crossCheck);
    layout->addLayout(bottom);

    m_wavTimer = new QTimer(this);
    m_wavTimer->setInterval(10);
    connect(m_wavTimer, &QTimer::timeout, this, &frmMonitor::feedWav);
    connect(m_start, &QPushButton::clicked, this, &frmMonitor::start);
    connect(m_stop, &QPushButton::clicked, this, &frmMonitor::stop);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Recording to monitor"), m_wavFile->text(),
                                                          QStringLiteral("WAV files (*.wav);;All files (*)"));
        if (!file.isEmpty())
            m_wavFile->setText(file);
    });
    connect(m_input, &QComboBox::currentTextChanged, this, [this](const QString &t) {
        m_wavFile->setEnabled(t == kWavInput);
        m_browse->setEnabled(t == kWavInput);
        m_sdr->setVisible(t == IqFileInput || t == RtlSdrInput);
        m_sdr->setDongle(t == RtlSdrInput);
    });
    connect(m_sdr, &SdrPanel::messageDecoded, this, &frmMonitor::addMessage);
    connect(m_sdr, &SdrPanel::problem, this, &frmMonitor::setStatus);
    connect(m_sdr, &SdrPanel::ended, this, [this](const QString &status) {
        setRunning(false);
        setStatus(status);
        emit finished();
    });
    setRunning(false);
    updateCrossCheck();
    setStatus(m_setup.logPath.isEmpty() ? QStringLiteral("Stopped. No alert log is set: nothing will be logged.")
                                        : QStringLiteral("Stopped."));
}

frmMonitor::~frmMonitor()
{
    stop();
}

bool frmMonitor::isRunning() const
{
    return m_wavTimer->isActive() || (m_audio && m_audio->isRunning()) || m_sdr->isRunning();
}

QList<MonitorMessage> frmMonitor::messages() const
{
    return m_messages;
}

void frmMonitor::setStatus(const QString &text)
{
    m_status->setText(text);
}

void frmMonitor::setRunning(bool running)
{
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
    m_input->setEnabled(!running);
    m_mode->setEnabled(!running);
    const bool wav = m_input->currentText() == kWavInput;
    m_wavFile->setEnabled(!running && wav);
    m_browse->setEnabled(!running && wav);
    if (!running)
        m_level->setValue(0);
}

bool frmMonitor::logUsable()
{
    QString why;
    if (MonitorSession::logAccepts(m_setup.logPath, &why))
        return true;
    setStatus(QStringLiteral("Not started: ") + why);
    return false;
}

void frmMonitor::makeSession(int rate, const QString &source, const QDateTime &audioStart)
{
    MonitorSession::Options o;
    o.sampleRate = rate;
    o.mode = SameMode(m_mode->currentData().toInt());
    o.source = source;
    o.logFile = m_setup.logPath;
    o.audioStart = audioStart;
    o.realTime = !audioStart.isValid() && source != QLatin1String("monitor:wav");
    o.names = &m_names;
    m_session = std::make_unique<MonitorSession>(o, m_clock);
    connect(m_session.get(), &MonitorSession::messageDecoded, this, &frmMonitor::addMessage);
    connect(m_session.get(), &MonitorSession::problem, this, [this](const QString &why) { setStatus(why); });
}

void frmMonitor::start()
{
    if (isRunning() || !logUsable())
        return;
    if (m_input->currentText() == kWavInput) {
        startWav(m_wavFile->text());
        return;
    }
    if (m_input->currentText() == IqFileInput || m_input->currentText() == RtlSdrInput) {
        startSdr();
        return;
    }
    if (!m_audio)
        m_audio = new AudioInput(this);
    QString why;
    const QString name = m_input->currentText();
    if (!m_audio->start(name, &why)) {
        setStatus(why);
        return;
    }
    makeSession(m_audio->sampleRate(), QStringLiteral("monitor:") + name);
    connect(m_audio, &AudioInput::samples, this, [this](const QVector<qint16> &block) {
        if (!m_session)
            return;
        m_session->feed(block.constData(), block.size());
        m_level->setValue(int(m_session->level() * 100));
    }, Qt::UniqueConnection);
    setRunning(true);
    setStatus(QStringLiteral("Listening to %1 at %2 samples/s.").arg(name).arg(m_audio->sampleRate()));
}

bool frmMonitor::startWav(const QString &path)
{
    m_input->setCurrentText(kWavInput);
    m_wavFile->setText(path);
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        setStatus(path.isEmpty() ? QStringLiteral("Choose a WAV file.")
                                 : QStringLiteral("Cannot read %1: %2").arg(path, f.errorString()));
        return false;
    }
    if (!logUsable())
        return false;
    int rate = 0;
    QString why;
    // The recording's own time, when its file states one.
    WavStream head;
    const QDateTime recorded = head.open(&f, &why) ? head.recorded() : QDateTime();
    f.seek(0);
    if (!readWavSamples(f.read(64 * 1024 * 1024), &m_wavSamples, &rate, &why)) {
        setStatus(QStringLiteral("%1: %2").arg(path, why));
        return false;
    }
    makeSession(rate, QStringLiteral("monitor:wav"), recorded);
    m_wavAt = 0;
    setRunning(true);
    setStatus(QStringLiteral("Decoding %1 (%2 samples/s).").arg(path).arg(rate));
    m_wavTimer->start();
    return true;
}

void frmMonitor::startSdr()
{
    MonitorSession::Options o;
    o.mode = SameMode(m_mode->currentData().toInt());
    o.logFile = m_setup.logPath;
    o.names = &m_names;
    QString why;
    if (!m_sdr->start(o, &m_transmitters, &why)) {
        setStatus(QStringLiteral("Not started: ") + why);
        return;
    }
    setRunning(true);
    setStatus(QStringLiteral("Listening to %1.").arg(m_sdr->describe()));
}

void frmMonitor::feedWav()
{
    if (!m_session)
        return;
    const int rate = m_session->options().sampleRate;
    const qsizetype chunk = m_wavSpeed > 0 ? qsizetype(rate * m_wavSpeed * m_wavTimer->interval() / 1000.0) : rate * 10;
    const qsizetype n = std::min(std::max<qsizetype>(chunk, 1), m_wavSamples.size() - m_wavAt);
    m_session->feed(m_wavSamples.constData() + m_wavAt, n);
    m_wavAt += n;
    m_level->setValue(int(m_session->level() * 100));
    if (m_wavAt >= m_wavSamples.size()) {
        stop();
        setStatus(m_messages.size() == 1 ? QStringLiteral("End of the recording: 1 message.")
                                         : QStringLiteral("End of the recording: %1 messages.").arg(m_messages.size()));
    }
}

void frmMonitor::stop()
{
    const bool was = isRunning();
    m_wavTimer->stop();
    if (m_audio)
        m_audio->stop();
    m_sdr->stop();
    if (m_session)
        m_session->finish();
    setRunning(false);
    if (was) {
        setStatus(QStringLiteral("Stopped."));
        emit finished();
    }
}

void frmMonitor::addMessage(const MonitorMessage &m)
{
    m_messages.append(m);
    const SameHeader &h = m.report.header;
    const bool alerts = m_program.alertsFor(h.event, h.locations);
    // Local times with their zone ("15:00 EST"); a header whose issue day or
    // time is out of range says so.
    const QDateTime issued = m.issued();
    const QString outOfRange = QStringLiteral("out of range: ") + h.note;
    // Short cells, the whole sentence in the tool tip: a narrow column
    // shows "Not programmed" on one line rather than a sentence on four.
    const QStringList cells{
        alerts ? QStringLiteral("\u2714 Alerts") : QStringLiteral("Not programmed"),
        QStringLiteral("%1 (%2)").arg(m.eventName, h.event),
        countiesCell(m_names, h.locations, m.countyNames),
        issued.isValid() ? monitorZoneTime(issued, m.heard) : outOfRange,
        issued.isValid() ? monitorZoneTime(m.ends(), m.heard) : QString(),
        (h.sender.isEmpty() ? h.originator : QStringLiteral("%1 %2").arg(h.originator, h.sender.trimmed()))
            // From a software radio: the channel, and the transmitters on it
            // that cover the header's counties.
            + (m.frequencyHz <= 0 ? QString()
               : QLatin1Char('\n') + (m.transmitters.isEmpty() ? WeatherBand::channelName(m.frequencyHz) + QStringLiteral(" MHz")
                                                                : m.transmitters.join(QStringLiteral(", ")))),
        // A no-break space: "100.0 %" never breaks before its sign.
        QStringLiteral("%1, %2\u00a0%").arg(sameModeName(m.report.mode)).arg(m.report.confidence * 100.0, 0, 'f', 1),
    };
    EventClass cls = EventClass::Other;
    QString name;
    EventCatalog catalog;
    GetEventName(catalog, h.event, &name, &cls);
    const int row = m_grid->rowCount();
    m_grid->insertRow(row);
    for (int c = 0; c < cells.size(); ++c) {
        auto *item = new QTableWidgetItem(cells.at(c));
        if (c == CountiesColumn)
            item->setToolTip(QString::fromLatin1(h.text));
        if (c == ReceiverColumn)
            item->setToolTip(alerts ? QStringLiteral("The receiver, as programmed, alerts for this message.")
                                    : QStringLiteral("Not programmed: the message is ") + kNotProgrammed + QLatin1Char('.'));
        if (c == EventColumn)   // the colour the history grid gives its class
            item->setForeground(QColor(QRgb(EventClassRgb(cls))));
        m_grid->setItem(row, c, item);
    }
    setStatus(QStringLiteral("Heard %1 at %2.").arg(m.eventName, monitorZoneTime(m.heard, m.heard)));
    updateCrossCheck();
}

void frmMonitor::updateCrossCheck()
{
    if (!m_setup.historyRead) {
        m_crossCheck->setText(QStringLiteral("Receiver cross-check: the receiver's history has not been read yet; "
                                             "transfer data to compare what it recorded with what was heard."));
        return;
    }
    QList<HeardAlert> heard;
    for (const MonitorMessage &m : std::as_const(m_messages))
        heard.append({monitorLogEntry(m), m.report.header.locations, m.frequencyHz, m.transmitters});
    const CrossCheckResult r = RunReceiverCrossCheck(heard, m_setup.receiverHistory, m_program);
    m_crossCheck->setText(QStringLiteral("Receiver cross-check: ") + CrossCheckText(r).trimmed().replace(QLatin1Char('\n'), QStringLiteral("; ")));
}
