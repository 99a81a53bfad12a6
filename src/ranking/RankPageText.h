#pragma once

#include <QByteArray>
#include <QString>

// The text of one result page as the rank check collects it: every chunk the
// client delivers is read up to its first zero byte and starts a new line, and
// every line ends with CR LF, whatever line ends the page used. So a mark that
// falls across two chunks is not found. The text is kept in that form as it
// grows, so a page of several megabytes costs one pass over its bytes.
class RankPageText
{
public:
    void clear() { m_text.clear(); }
    void appendChunk(const char* data, int len);

    // The page's lines joined with CR LF (no line end after the last).
    QByteArray text() const;
    // Whether the page holds the mark, letter case included. The page's bytes are
    // compared with the mark's UTF-8 form, and with its Latin-1 form for an older page.
    bool contains(const QString& mark) const;

private:
    QByteArray m_text; // each line followed by CR LF
};
