// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/gui/SdrPanel.h"

#include "coverage/core/HeardChannels.h"
#include "monitor/core/IqMonitor.h"
#include "monitor/core/RtlSdrInput.h"
#include "widgets/NamedWidgets.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// The meters span this much below full scale: an empty channel reads the
// noise floor near the bottom, a strong carrier near the top.
constexpr double MeterFloorDb = -80;

} // namespace

SdrPanel::SdrPanel(const Clock &clock, QWidget *parent) : QGroupBox(parent), m_clock(clock)
{
    setObjectName(QStringLiteral("fraSdr"));
    setTitle(QStringLiteral("Software radio"));
    setAccessibleName(title());
    auto *grid = new QGridLayout(this);

    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("txtIqFile"));
    grid->addWidget(Widgets::heading(this, QStringLiteral("lblIqFile"), QStringLiteral("I&Q file:"), m_file), 0, 0);
    grid->addWidget(m_file, 0, 1, 1, 7);
    m_browse = Widgets::button(this, QStringLiteral("cmdIqBrowse"), QStringLiteral("Bro&wse..."));
    grid->addWidget(m_browse, 0, 8);

    auto *settings = new QHBoxLayout;
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("cboIqFormat"));
    m_format->addItem(QStringLiteral("cu8 (rtl_sdr)"), int(IqFormat::Cu8));
    m_format->addItem(QStringLiteral("cs16"), int(IqFormat::Cs16));
    m_format->addItem(QStringLiteral("cf32"), int(IqFormat::Cf32));
    settings->addWidget(Widgets::heading(this, QStringLiteral("lblIqFormat"), QStringLiteral("&Format:"), m_format));
    settings->addWidget(m_format);
    m_rate = new QLineEdit(QStringLiteral("2400000"), this);
    m_rate->setObjectName(QStringLiteral("txtIqRate"));
    settings->addWidget(Widgets::heading(this, QStringLiteral("lblIqRate"), QStringLiteral("Samples/&s:"), m_rate));
    settings->addWidget(m_rate);
    m_centre = new QLineEdit(QStringLiteral("162.475M"), this);
    m_centre->setObjectName(QStringLiteral("txtIqCentre"));
    settings->addWidget(Widgets::heading(this, QStringLiteral("lblIqCentre"), QStringLiteral("&Tuned to:"), m_centre));
    settings->addWidget(m_centre);
    settings->addStretch();
    grid->addLayout(settings, 1, 0, 1, 9);

    // One column per channel: its frequency, its meter, and what was heard.
    const QVector<qint64> channels = WeatherBand::channels();
    for (int i = 0; i < channels.size(); ++i) {
        const QString mhz = WeatherBand::channelName(channels.at(i));
        auto *name = Widgets::label(this, Widgets::arrayName("lblChannel", i), mhz);
        name->setAlignment(Qt::AlignCenter);
        auto *meter = new QProgressBar(this);
        meter->setObjectName(Widgets::arrayName("prgChannel", i));
        meter->setAccessibleName(QStringLiteral("Signal on %1 MHz").arg(mhz));
        meter->setRange(0, 100);
        meter->setValue(0);
        meter->setFormat(QStringLiteral("-"));
        meter->setMinimumWidth(70);
        auto *heard = Widgets::label(this, Widgets::arrayName("lblHeard", i), QString());
        heard->setAlignment(Qt::AlignCenter);
        heard->setWordWrap(true);
        grid->addWidget(name, 2, 1 + i);
        grid->addWidget(meter, 3, 1 + i);
        grid->addWidget(heard, 4, 1 + i);
        m_names << name;
        m_meters << meter;
        m_heardLabels << heard;
    }
    grid->addWidget(Widgets::label(this, QStringLiteral("lblSignal"), QStringLiteral("Signal:")), 3, 0);

    m_timer = new QTimer(this);
    m_timer->setInterval(20);
    connect(m_timer, &QTimer::timeout, this, &SdrPanel::feedFile);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("IQ recording to monitor"), m_file->text(),
                                                          QStringLiteral("IQ recordings (*.cu8 *.cs16 *.cf32 *.iq *.bin *.raw);;All files (*)"));
        if (file.isEmpty())
            return;
        m_file->setText(file);
        // The usual endings name the format.
        IqFormat f;
        if (iqFormatFromName(QFileInfo(file).suffix(), &f))
            m_format->setCurrentIndex(m_format->findData(int(f)));
    });
}

SdrPanel::~SdrPanel()
{
    stop();
}

void SdrPanel::setDongle(bool dongle)
{
    m_dongle = dongle;
    setFieldsEnabled(!isRunning());
}

void SdrPanel::setFieldsEnabled(bool on)
{
    m_file->setEnabled(on && !m_dongle);
    m_browse->setEnabled(on && !m_dongle);
    m_format->setEnabled(on && !m_dongle);
    m_rate->setEnabled(on);
    m_centre->setEnabled(on);
}

void SdrPanel::setFile(const QString &path, IqFormat format, double rate, const QString &centre)
{
    m_file->setText(path);
    m_format->setCurrentIndex(m_format->findData(int(format)));
    m_rate->setText(QString::number(rate, 'f', 0));
    m_centre->setText(centre);
}

bool SdrPanel::isRunning() const
{
    return m_timer->isActive() || m_reader != nullptr;
}

QString SdrPanel::describe() const
{
    if (!m_monitor)
        return QString();
    const QVector<qint64> list = m_monitor->channels();
    return QStringLiteral("%1 to %2 MHz, %3 channel(s)")
        .arg(WeatherBand::channelName(list.first()), WeatherBand::channelName(list.last()))
        .arg(list.size());
}

bool SdrPanel::start(const MonitorSession::Options &session, TransmitterFrequency *transmitters, QString *why)
{
    stop();
    IqMonitor::Options o;
    o.session = session;
    o.transmitters = transmitters;
    bool ok = false;
    o.band.sampleRate = m_rate->text().trimmed().toDouble(&ok);
    if (!ok) {
        *why = QStringLiteral("The sample rate \"%1\" is not a number of samples per second.").arg(m_rate->text());
        return false;
    }
    if (!WeatherBand::parseFrequency(m_centre->text(), &o.band.centreHz)) {
        *why = QStringLiteral("\"%1\" is not a frequency such as 162.475M.").arg(m_centre->text());
        return false;
    }
    o.format = m_dongle ? IqFormat::Cu8 : IqFormat(m_format->currentData().toInt());
    if (m_dongle) {
        m_radio = std::make_unique<RtlSdrInput>();
        RtlSdrInput::Options ro;
        ro.sampleRate = o.band.sampleRate;
        ro.centreHz = o.band.centreHz;
        if (!m_radio->open(ro, why)) {
            m_radio.reset();
            return false;
        }
        o.source = QStringLiteral("monitor:rtl-sdr:0");
    } else {
        m_input.setFileName(m_file->text());
        if (m_file->text().isEmpty()) {
            *why = QStringLiteral("Choose an IQ file.");
            return false;
        }
        if (!m_input.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(m_file->text()), m_input.errorString());
            return false;
        }
        o.session.realTime = false;
    }
    m_monitor = std::make_unique<IqMonitor>(o, m_clock);
    if (!m_monitor->start(why)) {
        why->replace(0, 1, why->left(1).toUpper());
        *why += QLatin1Char('.');
        m_monitor.reset();
        m_input.close();
        m_radio.reset();
        return false;
    }
    connect(m_monitor.get(), &IqMonitor::messageDecoded, this, [this](const MonitorMessage &m) {
        markHeard(m);
        emit messageDecoded(m);
    });
    connect(m_monitor.get(), &IqMonitor::problem, this, &SdrPanel::problem);
    m_heard.clear();
    m_messageCount = 0;
    HeardChannels::instance().clear();
    const QVector<qint64> all = WeatherBand::channels(), used = m_monitor->channels();
    for (int i = 0; i < all.size(); ++i) {
        m_heardLabels[i]->clear();
        m_meters[i]->setEnabled(used.contains(all.at(i)));
        m_meters[i]->setValue(0);
        m_meters[i]->setFormat(used.contains(all.at(i)) ? QStringLiteral("-") : QStringLiteral("not in band"));
    }
    m_bytesPerSecond = o.band.sampleRate * iqSampleBytes(o.format);
    setFieldsEnabled(false);
    if (m_dongle) {
        // The dongle blocks while it fills a buffer: it is read in a thread
        // of its own, and the samples are decoded here.
        m_stopReading = false;
        RtlSdrInput *radio = m_radio.get();
        m_reader = QThread::create([this, radio] {
            QByteArray buffer;
            QString readWhy;
            while (!m_stopReading) {
                if (!radio->read(&buffer, &readWhy)) {
                    QMetaObject::invokeMethod(this, [this, readWhy] { emit problem(readWhy); stop(); }, Qt::QueuedConnection);
                    return;
                }
                QMetaObject::invokeMethod(this, [this, buffer] { feed(buffer); }, Qt::QueuedConnection);
            }
        });
        m_reader->start();
    } else {
        m_timer->start();
    }
    return true;
}

void SdrPanel::feed(const QByteArray &bytes)
{
    if (!m_monitor)
        return;
    m_monitor->feed(bytes.constData(), bytes.size());
    updateMeters();
}

void SdrPanel::feedFile()
{
    // A tick's worth of the recording at the chosen speed, whole samples.
    const double seconds = m_speed > 0 ? m_speed * m_timer->interval() / 1000.0 : 0.5;
    const qint64 bytes = std::max<qint64>(qint64(seconds * m_bytesPerSecond) & ~qint64(7), 8);
    const QByteArray chunk = m_input.read(bytes);
    if (!chunk.isEmpty())
        feed(chunk);
    if (chunk.size() < bytes) {
        const bool partial = m_monitor && m_monitor->hasPartialSample();
        const QString file = QDir::toNativeSeparators(m_input.fileName());
        stop();   // the last header still pending is decided here
        emit ended(QStringLiteral("End of %1: %2%3.")
                       .arg(file,
                            m_messageCount == 1 ? QStringLiteral("1 message")
                                                : QStringLiteral("%1 messages").arg(m_messageCount))
                       .arg(partial ? QStringLiteral("; it ends in the middle of a sample") : QString()));
    }
}

void SdrPanel::updateMeters()
{
    const QVector<qint64> all = WeatherBand::channels(), used = m_monitor->channels();
    for (int k = 0; k < used.size(); ++k) {
        const int i = int(all.indexOf(used.at(k)));
        const double db = m_monitor->channelPowerDb(k);
        const int value = int(std::clamp((db - MeterFloorDb) * 100.0 / -MeterFloorDb, 0.0, 100.0));
        if (m_meters[i]->value() != value) {
            m_meters[i]->setValue(value);
            m_meters[i]->setFormat(QStringLiteral("%1 dB").arg(std::lround(db)));
        }
    }
}

void SdrPanel::markHeard(const MonitorMessage &m)
{
    const int i = int(WeatherBand::channels().indexOf(m.frequencyHz));
    if (i < 0)
        return;
    ++m_messageCount;
    if (!m_heard.contains(m.frequencyHz))
        m_heard.append(m.frequencyHz);
    // The transmitter's call sign when the listing names one on the channel.
    QStringList calls;
    for (const QString &t : m.transmitters)
        calls << t.section(QLatin1Char(' '), 0, 0);
    m_heardLabels[i]->setText(QStringLiteral("Heard %1%2")
                                  .arg(m.report.header.event,
                                       calls.isEmpty() ? QString() : QStringLiteral(" from ") + calls.join(QStringLiteral(", "))));
    HeardChannels::instance().markHeard(WeatherBand::channelName(m.frequencyHz));
}

void SdrPanel::stop()
{
    m_timer->stop();
    if (m_reader) {
        m_stopReading = true;
        m_reader->wait();
        delete m_reader;
        m_reader = nullptr;
    }
    if (m_monitor)
        m_monitor->finish();
    m_monitor.reset();
    m_radio.reset();
    m_input.close();
    for (QProgressBar *meter : std::as_const(m_meters)) {
        meter->setValue(0);
        meter->setFormat(QStringLiteral("-"));
    }
    setFieldsEnabled(true);
}
