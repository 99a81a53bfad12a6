#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Takes a server's answer apart as it arrives, without knowing about sockets:
// the caller copies received bytes into receiveSpace() and reports them with
// received(). Lines go to the header handler, which fills the response fields
// and tells the Handler what it found; once the header has ended (or the server
// sent "<HTML>" without one) the bytes go to the Handler as body chunks. Every
// chunk handed on is followed by a zero byte.
class HttpResponseParser
{
public:
    static constexpr int BufferSize = 8192;
    // A header beyond this is hostile or broken; collecting it would let a server fill our memory.
    static constexpr qint64 MaxHeaderBytes = 1024 * 1024;
    // The stored header grows by this much at a time.
    static constexpr qsizetype HeaderGrowth = 64 * 1024;

    enum class HeaderEndAction {
        Body, // hand the bytes behind the header on as one chunk, then raw chunks
        Stop, // drop what is buffered and take nothing more
    };

    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual void headerBegin() = 0;
        virtual void headerData() = 0;
        virtual void location(const QString& value) = 0;
        virtual void contentRange(const QString& begin, const QString& end) = 0;
        virtual void acceptRanges(const QString& value) = 0;
        virtual void cookie(const QString& value) = 0;
        // The server answered "<HTML>" without a header; the parser is already in body mode.
        virtual void htmlWithoutHeader() = 0;
        virtual HeaderEndAction headerEnd() = 0;
        virtual void bodyChunk(const char* data, int len) = 0;
    };

    explicit HttpResponseParser(Handler& handler);

    // A new request: empty buffer, header mode, fields at their starting values.
    void reset();
    // A redirect: like reset() but the reason phrase stays until the next answer sets it.
    void resetForRedirect();
    // Nothing more is taken until the next reset.
    void stop();
    bool stopped() const { return m_stopped; }

    // Where the next received bytes go and how many fit; throws EHttpException
    // "HTTP line too long" when a header line has filled the buffer.
    char* receiveSpace(int& free);
    // Takes in `count` bytes just written to receiveSpace(). Throws EHttpException
    // when a status line or Content-Length holds no decimal number.
    void received(int count);
    // At the close: a last body line that came without a line end is handed on.
    void flush();

    bool inBody() const { return m_mode == Mode::Body; }
    bool headerInProgress() const { return m_headerInProgress; }
    // The request ends without the rest of the header.
    void abandonHeader() { m_headerInProgress = false; }
    int headerLineCount() const { return m_headerLines; }
    int bufferedBytes() const { return m_fill; }

    // Response fields; the client reports and overrides them.
    int code = 0;
    QString text;
    qint64 length = -1;
    QString type;
    // Every non-empty header line received, the status line included.
    QStringList header() const;

private:
    enum class Mode { Header, Body };

    void headerLine(const QByteArray& line, quint64 generation);
    void resetCommon();

    Handler& m_handler;
    char m_buffer[BufferSize + 1];
    int m_fill = 0;
    int m_pos = 0; // bytes of the buffer already handed on in this receive
    Mode m_mode = Mode::Header;
    bool m_stopped = false;
    bool m_headerInProgress = false;
    int m_headerLines = 0;
    qint64 m_headerBytes = 0;
    // The header lines, each ended by a line feed, in one buffer: a list of
    // strings would cost several times their length in memory per short line.
    QByteArray m_header;
    quint64 m_generation = 0; // bumped by every reset, so a callback that restarts ends the loop
};
