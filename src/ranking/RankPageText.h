#pragma once

#include <QByteArray>
#include <QString>

// The text of one result page as the rank check collects it: every chunk the
// client delivers is read up to its first zero byte and continues the text
// where the last chunk stopped, so a mark is found wherever the network cuts
// the page; every line ends with CR LF, whatever line ends the page used. The
// text is kept in that form as it grows, so a page of several megabytes costs
// one pass over its bytes.
class RankPageText
{
public:
    void clear()
    {
        m_text.clear();
        m_pendingCr = false;
    }
    void appendChunk(const char* data, int len);

    // The page's lines joined with CR LF (no line end after the last).
    QByteArray text() const;
    // Whether the page holds the mark, letter case included. The page's bytes are
    // compared with the mark's UTF-8 form, and with its Latin-1 form for an older page.
    bool contains(const QString& mark) const;

private:
    QByteArray m_text;        // each finished line followed by CR LF
    bool m_pendingCr = false; // the last chunk ended with a CR, whose LF may open the next
};
