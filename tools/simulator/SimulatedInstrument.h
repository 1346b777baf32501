#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

namespace sim {

class ChannelSignal;
struct InstrumentConfig;

// One simulated instrument model as the link and console layers see it:
// how requests are cut from a byte stream, how they are answered, which
// faults its protocol can show, and the channels the console drives. Each
// model family (3107A loggers, temperature sources) implements it in its own
// source pair.
class SimulatedInstrument
{
public:
    enum class Fault {
        BadChecksum,    // the reply's checksum does not match its bytes
        ForeignAddress, // the reply comes from another station address
        Garbage,        // a text reply replaced by a line that is no number
    };

    virtual ~SimulatedInstrument() = default;

    // "3107A-TC id "…" address 1": the first line of the status report.
    virtual QString summary() const = 0;
    // Further status lines (settings, one per channel), indented.
    virtual QStringList details() = 0;

    // Length of the request that starts the buffer: 0 when more bytes are
    // needed, -1 when its first byte cannot start a request.
    virtual int frameLength(const QByteArray& buffer) const = 0;
    // A request of that length passes the protocol's own check (a checksum).
    virtual bool frameIntact(const QByteArray& frame) const = 0;
    // Requests and replies are text lines (shown quoted in traces and
    // records) rather than binary frames (shown in hex).
    virtual bool textProtocol() const { return false; }
    // The reply to one request; empty when the instrument stays silent.
    virtual QByteArray handle(const QByteArray& request) = 0;

    // Whether the protocol knows the fault at all (a text protocol has no
    // station address, for instance), and applying it to one reply.
    virtual bool supports(Fault fault) const = 0;
    virtual void inject(Fault fault, QByteArray* reply) const = 0;

    virtual int channelCount() const = 0;
    virtual ChannelSignal& signal(int channel) = 0;
    // Seconds on the instrument's monotonic clock.
    virtual double now() const = 0;
    // The next reading takes a fresh scan (after the console changed a channel).
    virtual void invalidateScan() = 0;

    // Milliseconds the instrument needs before the reply `handle` just
    // returned goes out (a measurement in progress); 0: at once.
    virtual int replyDelayMs() const { return 0; }
    // Channel index of a channel number as the console and options name it
    // ("101" … "116" on a 3107A); -1 when the instrument has no such channel.
    virtual int channelIndex(const QString& number) const;
    virtual QString channelName(int index) const { return QString::number(101 + index); }
    // Writes the instrument's data file (the scans it holds in memory, in its
    // own export format); false with a message when it has none.
    virtual bool exportData(const QString& path, QString* error);
    // Sets the instrument's own clock as its front panel does; false when it
    // keeps no clock.
    virtual bool setClockTime(const QDateTime&) { return false; }

    // The measured values the reply `handle` just returned carries, for the
    // record file: kind "VALUES" (a scan, values "101=25.01,102=…") or
    // "REFERENCE" (a source's reference reading), each value as the reply
    // encodes it; kind empty when the reply carried none. Taking clears it.
    struct SentValues
    {
        QString kind;
        QString name; // identity or serial
        QString values;
    };
    SentValues takeSentValues() { return std::exchange(m_sent, SentValues()); }

protected:
    void noteSent(const QString& kind, const QString& name, const QString& values)
    {
        m_sent = {kind, name, values};
    }

private:
    SentValues m_sent;
};

// The instrument a configuration describes, with its identity and address
// set; channel signals keep their defaults.
std::unique_ptr<SimulatedInstrument> createInstrument(const InstrumentConfig& config, int index);

// Cuts a received byte stream into requests with the instrument's framing
// rules. A gap of more than `gapMs` discards an unfinished request, as an
// instrument's line timer does; bytes that cannot start a request or fail
// the check are skipped.
// A frame as traces and records show it: hex for binary protocols, C-style
// quoted text ("s 25.00\r\n") for text protocols.
QString frameText(const SimulatedInstrument& instrument, const QByteArray& frame, bool spaced = false);

class FrameAssembler
{
public:
    FrameAssembler() = default;
    explicit FrameAssembler(const SimulatedInstrument& protocol, qint64 gapMs = 500)
        : m_protocol(&protocol), m_gapMs(gapMs)
    {
    }
    QList<QByteArray> feed(const QByteArray& bytes, qint64 nowMs);
    void clear() { m_buffer.clear(); }
    int pending() const { return m_buffer.size(); }

private:
    const SimulatedInstrument* m_protocol = nullptr;
    QByteArray m_buffer;
    qint64 m_lastMs = 0;
    qint64 m_gapMs = 500;
};

} // namespace sim
