#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Putting a HEAD block into an HTML file's text in place of its own head.
// Everything works on the file's bytes, one byte per character, so a file in
// any single-byte encoding keeps every byte outside the replaced region.

// The old head within a text: [start, end). `start` is -1 when the text has
// no head start or no end mark after it.
struct HeadRegion
{
    qsizetype start = -1;
    qsizetype end = -1;
    // The region ends before the head's first script, which stays.
    bool beforeScript = false;

    bool isValid() const { return start >= 0; }
};

// The start is the first "<HEAD" (any letter case) that is not the start of a
// longer tag name such as "<HEADER". The end mark is the first "<SCRIPT"
// after the start when it comes before the first "</HEAD>" after the start,
// else that "</HEAD>"; both are searched from the start, so text before the
// head is never part of the region.
HeadRegion findHeadRegion(const QByteArray& text);

// Every line end (CR LF, a lone LF, a lone CR) becomes CR LF.
QByteArray withCrLfLineEnds(const QByteArray& bytes);

// The block's text in the file's encoding: UTF-8 in a UTF-8 file; in any
// other file Latin-1 where a character fits one byte (ASCII only in a pure
// ASCII file), a numeric character reference where it does not.
QByteArray encodeForFile(const QString& text, const QByteArray& fileBytes);

struct HeadInjection
{
    bool injected = false;
    // The new file text, line ends CR LF; unchanged but for the line ends
    // when nothing was injected.
    QByteArray text;
    // The lines that went in (the block without its "</HEAD>" before a script).
    QStringList insertedLines;
};

HeadInjection injectHeadBlock(const QByteArray& fileBytes, const QStringList& block);
