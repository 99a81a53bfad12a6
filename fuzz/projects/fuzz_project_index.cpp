// Feeds arbitrary bytes to the project index reader and rewriter as an index
// file and checks them against the profile-file reads and key-by-key writes
// of IniDocument, whose results they must give exactly.
#include "projects/ProjectIndex.h"
#include "settings/IniDocument.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The key-by-key reference is quadratic; keep the files small.
    if (size > 4096)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const IniDocument doc = IniDocument::fromBytes(bytes);

    const QList<QPair<QString, QString>> pairs = ProjectIndex::readListSection(bytes);
    if (pairs != doc.readSection(QStringLiteral("List")))
        std::abort();
    const QStringList names = ProjectIndex::namesFrom(pairs);
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i) != doc.readString(QStringLiteral("List"), QString::number(i), QString()))
            std::abort();
    }

    // Rewrite with the names read, with the input's own first line as one
    // more name, and with none.
    QStringList written = names;
    written.append(QString::fromLatin1(bytes.left(bytes.indexOf('\n') < 0 ? 40 : bytes.indexOf('\n'))));
    for (const QStringList& list : {written, QStringList()}) {
        IniDocument reference = doc;
        reference.eraseSection(QStringLiteral("List"));
        for (int i = 0; i < list.size(); ++i) {
            reference.writeString(QStringLiteral("Session"), QStringLiteral("Count"), QString::number(i));
            reference.writeString(QStringLiteral("List"), QString::number(i), list.at(i));
        }
        bool changed = false;
        const QByteArray ours = ProjectIndex::rewritten(bytes, list, &changed);
        if (changed && ours != reference.toBytes())
            std::abort();
        if (!changed && (!list.isEmpty() || doc.hasSection(QStringLiteral("List"))))
            std::abort();
    }
    return 0;
}
