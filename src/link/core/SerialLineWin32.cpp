// SPDX-License-Identifier: GPL-3.0-or-later
// SerialLine on Windows, over the communications API.
//
// The port is opened for overlapped I/O and without sharing, which is what
// keeps every other program (and a second open of ours) off it. A wait for
// "a byte arrived" (WaitCommEvent) is always outstanding; the event loop
// learns of it through the wait's event (QWinEventNotifier), and then takes
// what the driver holds with reads that return at once. Nothing spins and
// nothing blocks. Writes are queued and handed to the driver one at a time
// the same way.
#include "link/core/SerialLine.h"

#include "base/Platform.h"

#include <QByteArray>
#include <QList>
#include <QSettings>
#include <QWinEventNotifier>

#include <windows.h>

#include <algorithm>

namespace {

constexpr DWORD ReadChunk = 4096;

// "COM3", "com3", "\\.\COM3" and "//./COM3" all name \\.\COM3; COM10 and
// above can only be opened by the long name.
QString portPath(const QString &device)
{
    const QString path = Platform::RealPath(device);
    return path.isEmpty() ? device : path;
}

QString systemText(DWORD error)
{
    return qt_error_string(int(error));
}

} // namespace

struct SerialLine::Impl
{
    explicit Impl(SerialLine *owner) : q(owner) {}
    void startWait();
    void drain();
    void startWrite();
    void fail(const QString &reason)
    {
        if (failed)
            return;
        failed = true;
        emit q->failed(reason);
    }

    SerialLine *q;
    HANDLE handle = INVALID_HANDLE_VALUE;
    QString device;
    QString error;
    bool failed = false;

    OVERLAPPED waitOv {};
    QWinEventNotifier *waitDone = nullptr;
    DWORD waitMask = 0;
    bool waiting = false;
    OVERLAPPED readOv {};
    char readBuffer[ReadChunk];
    QByteArray received;

    OVERLAPPED writeOv {};
    QWinEventNotifier *writeDone = nullptr;
    QByteArray writing;     // handed to the driver, not yet done
    QByteArray queued;      // waiting for the write before it
};

SerialLine::SerialLine(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>(this))
{
}

SerialLine::~SerialLine()
{
    close();
}

namespace {

bool configure(HANDLE h, int baudRate, int parity, DWORD *error)
{
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        *error = GetLastError();
        return false;
    }
    dcb.BaudRate = DWORD(baudRate);
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    switch (parity) {
    case 1: dcb.Parity = ODDPARITY; break;
    case 2: dcb.Parity = EVENPARITY; break;
    case 3: dcb.Parity = MARKPARITY; break;
    case 4: dcb.Parity = SPACEPARITY; break;
    default: dcb.Parity = NOPARITY; break;
    }
    dcb.fBinary = TRUE;
    dcb.fParity = parity != 0;
    // No flow control of any kind, and no byte is changed or dropped.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h, &dcb)) {
        *error = GetLastError();
        return false;
    }
    // A read returns at once with whatever has arrived, even nothing; the
    // wait for a byte is WaitCommEvent's.
    COMMTIMEOUTS t {};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(h, &t) || !SetCommMask(h, EV_RXCHAR | EV_ERR)) {
        *error = GetLastError();
        return false;
    }
    return true;
}

} // namespace

bool SerialLine::open(const QString &device, int baudRate, int parity, QStringList *)
{
    close();
    d->failed = false;
    d->device = device;
    const QString path = portPath(device);
    d->handle = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                            0 /* no sharing: this program alone */, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                            nullptr);
    if (d->handle == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        QString why;
        switch (e) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            why = tr("no such port");
            break;
        // A COM port that another program holds refuses the open as denied.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            why = tr("the port is busy (another program has it open)");
            break;
        default:
            why = systemText(e);
            break;
        }
        d->error = tr("Cannot open %1: %2").arg(device, why);
        return false;
    }
    DWORD e = 0;
    if (!configure(d->handle, baudRate, parity, &e)) {
        d->error = tr("Cannot open %1: not a serial device (%2)").arg(device, systemText(e));
        close();
        return false;
    }
    // Whatever waited in the driver from before the open answers nothing
    // that this open will send.
    PurgeComm(d->handle, PURGE_RXCLEAR | PURGE_RXABORT);

    d->waitOv = {};
    d->waitOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    d->readOv = {};
    d->readOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    d->writeOv = {};
    d->writeOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    d->waitDone = new QWinEventNotifier(d->waitOv.hEvent, this);
    d->writeDone = new QWinEventNotifier(d->writeOv.hEvent, this);
    connect(d->waitDone, &QWinEventNotifier::activated, this, [this] {
        DWORD ignored = 0;
        ResetEvent(d->waitOv.hEvent);
        d->waiting = false;
        const bool ok = GetOverlappedResult(d->handle, &d->waitOv, &ignored, FALSE);
        const DWORD err = ok ? 0 : GetLastError();
        if (!ok && err != ERROR_OPERATION_ABORTED) {
            d->fail(tr("the port failed (%1)").arg(systemText(err)));
            return;
        }
        // A wait can also end with nothing to report (Wine ends it so on a
        // pseudo-terminal): what the driver holds is taken all the same, and
        // the wait made again.
        d->drain();
    });
    connect(d->writeDone, &QWinEventNotifier::activated, this, [this] {
        DWORD done = 0;
        ResetEvent(d->writeOv.hEvent);
        const bool ok = GetOverlappedResult(d->handle, &d->writeOv, &done, FALSE);
        d->writing.clear();
        if (!ok) {
            const DWORD err = GetLastError();
            if (err != ERROR_OPERATION_ABORTED)
                d->fail(tr("writing failed (%1)").arg(systemText(err)));
            return;
        }
        d->startWrite();
    });
    d->startWait();
    return true;
}

void SerialLine::close()
{
    if (d->handle != INVALID_HANDLE_VALUE) {
        // Outstanding reads and writes end (aborted) before the buffers they
        // use go away.
        SetCommMask(d->handle, 0);   // ends the wait for a byte
        CancelIo(d->handle);
        DWORD ignored = 0;
        if (d->waiting)
            GetOverlappedResult(d->handle, &d->waitOv, &ignored, TRUE);
        if (!d->writing.isEmpty())
            GetOverlappedResult(d->handle, &d->writeOv, &ignored, TRUE);
        CloseHandle(d->handle);
        d->handle = INVALID_HANDLE_VALUE;
    }
    delete d->waitDone;
    d->waitDone = nullptr;
    delete d->writeDone;
    d->writeDone = nullptr;
    for (HANDLE *event : {&d->waitOv.hEvent, &d->readOv.hEvent, &d->writeOv.hEvent}) {
        if (*event)
            CloseHandle(*event);
        *event = nullptr;
    }
    d->waiting = false;
    d->writing.clear();
    d->queued.clear();
    d->received.clear();
}

bool SerialLine::isOpen() const
{
    return d->handle != INVALID_HANDLE_VALUE;
}

QString SerialLine::errorString() const
{
    return d->error;
}

void SerialLine::Impl::startWait()
{
    if (waiting || handle == INVALID_HANDLE_VALUE || failed)
        return;
    waiting = true;
    if (WaitCommEvent(handle, &waitMask, &waitOv))
        return;   // a byte is there already; the event is set and the notifier fires
    const DWORD err = GetLastError();
    if (err == ERROR_IO_PENDING)
        return;
    waiting = false;
    fail(SerialLine::tr("the port failed (%1)").arg(systemText(err)));
}

// Takes what the driver holds (reads that return at once), tells the owner,
// and waits for the next byte unless the buffer is full.
void SerialLine::Impl::drain()
{
    bool got = false;
    while (handle != INVALID_HANDLE_VALUE && !failed && received.size() < BufferBytes) {
        DWORD errors = 0;
        COMSTAT stat {};
        if (!ClearCommError(handle, &errors, &stat)) {
            fail(SerialLine::tr("the port failed (%1)").arg(systemText(GetLastError())));
            return;
        }
        if (stat.cbInQue == 0)
            break;
        DWORD n = 0;
        const DWORD want = std::min<DWORD>(stat.cbInQue, ReadChunk);
        if (!ReadFile(handle, readBuffer, want, &n, &readOv)) {
            if (GetLastError() != ERROR_IO_PENDING
                || !GetOverlappedResult(handle, &readOv, &n, TRUE)) {
                fail(SerialLine::tr("the port failed (%1)").arg(systemText(GetLastError())));
                return;
            }
        }
        if (n == 0)
            break;
        received.append(readBuffer, qsizetype(n));
        got = true;
    }
    if (got)
        emit q->readyRead();
    // The owner may have closed the line from readyRead().
    if (handle != INVALID_HANDLE_VALUE && received.size() < BufferBytes)
        startWait();
}

void SerialLine::Impl::startWrite()
{
    if (!writing.isEmpty() || queued.isEmpty() || handle == INVALID_HANDLE_VALUE || failed)
        return;
    writing.swap(queued);
    if (WriteFile(handle, writing.constData(), DWORD(writing.size()), nullptr, &writeOv))
        return;   // the notifier fires all the same
    const DWORD err = GetLastError();
    if (err == ERROR_IO_PENDING)
        return;
    writing.clear();
    fail(SerialLine::tr("writing failed (%1)").arg(systemText(err)));
}

void SerialLine::write(const QByteArray &data)
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return;
    d->queued.append(data);
    d->startWrite();
}

QByteArray SerialLine::read(qint64 maxBytes)
{
    const QByteArray out = d->received.left(qsizetype(maxBytes));
    d->received.remove(0, out.size());
    // A full buffer stopped the reading; there is room again.
    // Taken up from the event loop: the owner may be reading in readyRead().
    if (!out.isEmpty() && d->received.size() < BufferBytes && !d->waiting)
        QMetaObject::invokeMethod(this, [this] {
            if (!d->waiting && d->handle != INVALID_HANDLE_VALUE)
                d->drain();
        }, Qt::QueuedConnection);
    return out;
}

qint64 SerialLine::bytesAvailable() const
{
    return d->received.size();
}

QList<SerialDeviceInfo> SerialLine::availableDevices()
{
    // The system lists the COM ports it knows under SERIALCOMM; where it
    // lists none (some virtual setups), COM1..COM256 are tried: a port that
    // exists opens, or refuses as busy.
    QStringList names;
    QSettings registry(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"), QSettings::NativeFormat);
    const QStringList keys = registry.childKeys();
    for (const QString &key : keys) {
        const QString name = registry.value(key).toString().trimmed();
        if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    if (names.isEmpty()) {
        for (int n = 1; n <= 256; ++n) {
            const QString name = QStringLiteral("COM%1").arg(n);
            const QString path = portPath(name);
            HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                CloseHandle(h);
                names << name;
            } else if (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION) {
                names << name;
            }
        }
    }
    // COM2 before COM10.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QList<SerialDeviceInfo> out;
    for (const QString &name : std::as_const(names)) {
        SerialDeviceInfo info;
        info.path = name.toUpper();
        info.description = tr("Serial port");
        out << info;
    }
    return out;
}
