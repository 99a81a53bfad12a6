#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The title, description and keyword scans of a page, by plain substring
// search on its bytes (one byte per character), upper-casing ASCII letters
// only. Values are kept as bytes and decoded only when shown.
namespace PageScan {

// Copy with a-z upper-cased and every other byte unchanged (same length).
QByteArray asciiUpper(const QByteArray& text);
// UTF-8 when the bytes are valid UTF-8, else Latin-1.
QString decodeValue(const QByteArray& value);
// A received block as text: its bytes up to the first NUL, then every line
// feed and carriage return removed.
QByteArray blockText(const char* buffer, int len);
// A file's lines: CR LF, LF and CR each end a line and are not kept.
QList<QByteArray> splitLines(const QByteArray& bytes);

struct Cut
{
    QByteArray value;
    // A double quote or ">" ended the value; otherwise its end may not have arrived yet.
    bool terminated = false;
};
// The value of a CONTENT= attribute, from the text right after "CONTENT=".
Cut valueCut(const QByteArray& text);

} // namespace PageScan

// What the keyword split has put into the Keywords box: the items before the
// last comma seen, and the text after it (the last item), which every later
// scan of the rebuilt text replaces instead of adding again.
class KeywordList
{
public:
    void clear();
    // Appends the items before each comma and returns the rest, from which
    // the scanned text is rebuilt.
    QByteArray split(QByteArray value);
    // The items and the last item, joined by ", ".
    QByteArray text() const;

private:
    QByteArray m_items;
    QByteArray m_last;
};

// The stream scan (pages received in blocks) and the file scan (local files
// read line by line) over one page, with the texts they collect.
class PageScanner
{
public:
    struct Options
    {
        bool title = true;
        bool description = true;
        bool keywords = true;
    };

    // Longest stretch of text kept waiting for the end of a keyword value
    // cut by a block or line end; beyond it the value is taken as it stands.
    static constexpr int MaxPendingValue = 16384;

    void setOptions(const Options& options) { m_options = options; }
    const Options& options() const { return m_options; }

    // Empties the head buffer and the three values.
    void reset();
    // Empties the head buffer only.
    void clearHead();

    // One received block (already through blockText): appended to the head
    // buffer, scanned, then the head buffer is emptied once it holds "<A",
    // "<F" or "<B".
    void streamBlock(const QByteArray& block);
    // One line of a local file; `between` runs where the scan lets pending events run.
    void fileLine(const QByteArray& line, const std::function<void()>& between = {});
    // The page or file has ended: a keyword value still waiting for its end is taken as it stands.
    void finish();

    QByteArray head() const { return m_head; }
    QByteArray title() const { return m_title; }
    QByteArray description() const { return m_description; }
    QByteArray keywords() const { return m_keywords.text(); }

private:
    void scanTitle(const QByteArray& upper);
    // The keyword value from `valueStart` in the head; rebuilds the head, or leaves it waiting.
    void takeKeywords(int tagStart, int valueStart, bool contentFound);
    void emptyHeadAtLinks();

    Options m_options;
    QByteArray m_head;
    QByteArray m_title;
    QByteArray m_description;
    KeywordList m_keywords;
    bool m_pending = false; // a keyword value has begun and not ended
};
