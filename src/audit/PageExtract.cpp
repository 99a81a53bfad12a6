#include "PageExtract.h"

#include "tools/PoliteCrawler.h"

#include <QStringDecoder>

#include <cctype>
#include <cstddef>
#include <memory>

#include <gumbo.h>

#if defined(__SANITIZE_ADDRESS__)
#define VANTOR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTOR_ASAN 1
#endif
#endif
#ifdef VANTOR_ASAN
#include <sanitizer/asan_interface.h>
#endif

#include <vector>

namespace PageExtract {

namespace {

// Windows-1252's 0x80..0x9F; the rest of the range is Latin-1. Undefined
// bytes map to the C1 control of the same value, as browsers do.
const char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes)
{
    QString out;
    out.resize(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes.at(i));
        out[i] = (c >= 0x80 && c < 0xA0) ? QChar(cp1252High[c - 0x80]) : QChar(c);
    }
    return out;
}

bool decodeAs(const QByteArray& body, const QString& charset, QString* out)
{
    const QString name = charset.toLower();
    // Labels that browsers read as Windows-1252.
    if (name == QLatin1String("windows-1252") || name == QLatin1String("iso-8859-1") ||
        name == QLatin1String("latin1") || name == QLatin1String("us-ascii") || name == QLatin1String("cp1252") ||
        name == QLatin1String("ascii") || name == QLatin1String("l1")) {
        *out = fromWindows1252(body);
        return true;
    }
    QStringDecoder decoder(name.toLatin1().constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return false;
    *out = decoder.decode(body);
    return true;
}

QString charsetToken(const QByteArray& text, qsizetype from)
{
    qsizetype i = from;
    while (i < text.size() && (text.at(i) == ' ' || text.at(i) == '\t' || text.at(i) == '\n' || text.at(i) == '\r'))
        ++i;
    if (i >= text.size() || text.at(i) != '=')
        return QString();
    ++i;
    while (i < text.size() && (text.at(i) == ' ' || text.at(i) == '"' || text.at(i) == '\''))
        ++i;
    const qsizetype start = i;
    while (i < text.size()) {
        const char c = text.at(i);
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':'))
            break;
        ++i;
    }
    return QString::fromLatin1(text.mid(start, i - start)).toLower();
}

QString attribute(const GumboElement& element, const char* name)
{
    const GumboAttribute* a = gumbo_get_attribute(&element.attributes, name);
    return a ? QString::fromUtf8(a->value) : QString();
}

bool hasAttribute(const GumboElement& element, const char* name)
{
    return gumbo_get_attribute(&element.attributes, name) != nullptr;
}

// The attribute's tokens, split on ASCII whitespace as HTML splits them. Called for
// every link of every page: no pattern is compiled here.
QStringList relTokens(const GumboElement& element)
{
    QStringList tokens;
    const GumboAttribute* rel = gumbo_get_attribute(&element.attributes, "rel");
    if (!rel)
        return tokens;
    const QString text = QString::fromUtf8(rel->value).toLower();
    const auto space = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
    };
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && space(text.at(i)))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !space(text.at(i)))
            ++i;
        if (i > start)
            tokens.append(text.mid(start, i - start));
    }
    return tokens;
}

// The text of every text node under `node`, without recursion (pages may nest deeply).
QString textOf(const GumboNode* root)
{
    QString text;
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
            text += QString::fromUtf8(node->v.text.text);
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            const GumboVector& children = node->v.element.children;
            for (unsigned i = children.length; i > 0; --i)
                stack.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
        }
    }
    return text;
}

// Gumbo makes many small allocations for every page it parses. Served from blocks
// kept from page to page, they stay out of the main heap, whose allocator grows
// slower as a long crawl fills it with the pages' facts.
class ParseArena
{
public:
    static constexpr size_t BlockSize = 64 * 1024;

    static void* allocate(void* userdata, size_t size)
    {
        return static_cast<ParseArena*>(userdata)->take(size);
    }
    static void release(void*, void*) {}

    void* take(size_t size)
    {
        constexpr size_t Align = alignof(std::max_align_t);
        size = (size + Align - 1) & ~(Align - 1);
        if (size > BlockSize / 4) {
            m_large.push_back(std::unique_ptr<char[]>(new char[size]));
            return m_large.back().get();
        }
        if (m_blocks.empty() || m_used + size > BlockSize) {
            if (m_current + 1 < m_blocks.size()) {
                ++m_current;
            } else {
                m_blocks.push_back(std::unique_ptr<char[]>(new char[BlockSize]));
#ifdef VANTOR_ASAN
                ASAN_POISON_MEMORY_REGION(m_blocks.back().get(), BlockSize);
#endif
                m_current = m_blocks.size() - 1;
            }
            m_used = 0;
        }
        void* p = m_blocks[m_current].get() + m_used;
        m_used += size;
#ifdef VANTOR_ASAN
        ASAN_UNPOISON_MEMORY_REGION(p, size);
#endif
        return p;
    }

    // After a parse: keeps a few blocks for the next page, frees what a large page took.
    void reset()
    {
        m_large.clear();
        if (m_blocks.size() > 4)
            m_blocks.resize(4);
#ifdef VANTOR_ASAN
        // A tree read after its parse is over shows up as a fault under the sanitizers.
        for (const auto& block : m_blocks)
            ASAN_POISON_MEMORY_REGION(block.get(), BlockSize);
#endif
        m_current = 0;
        m_used = 0;
    }

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_large;
    size_t m_current = 0;
    size_t m_used = 0;
};

} // namespace

QString collapse(const QString& text)
{
    return text.simplified();
}

int characterCount(const QString& text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate())
            ++count;
    }
    return count;
}

void addDirectives(QStringList& into, const QString& value)
{
    for (const QString& part : value.split(QLatin1Char(','))) {
        const QString directive = part.trimmed().toLower();
        if (!directive.isEmpty() && !into.contains(directive))
            into.append(directive);
    }
}

QString headerCharset(const QString& contentType)
{
    const QByteArray lower = contentType.toLatin1().toLower();
    const qsizetype at = lower.indexOf("charset");
    if (at < 0)
        return QString();
    return charsetToken(lower, at + 7);
}

QString metaCharset(const QByteArray& body)
{
    const QByteArray head = body.left(1024).toLower();
    qsizetype pos = 0;
    while ((pos = head.indexOf("<meta", pos)) >= 0) {
        const qsizetype end = head.indexOf('>', pos);
        const QByteArray tag = head.mid(pos, end < 0 ? -1 : end - pos);
        const qsizetype at = tag.indexOf("charset");
        if (at >= 0) {
            const QString charset = charsetToken(tag, at + 7);
            if (!charset.isEmpty())
                return charset;
        }
        if (end < 0)
            break;
        pos = end;
    }
    return QString();
}

QString decode(const QByteArray& body, const QString& contentType, QString* used)
{
    QString text;
    for (const QString& charset : {headerCharset(contentType), metaCharset(body)}) {
        if (!charset.isEmpty() && decodeAs(body, charset, &text)) {
            if (used)
                *used = charset;
            return text;
        }
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    text = utf8.decode(body);
    if (!utf8.hasError()) {
        if (used)
            *used = QStringLiteral("utf-8");
        return text;
    }
    if (used)
        *used = QStringLiteral("windows-1252");
    return fromWindows1252(body);
}

PageFacts extract(const QByteArray& body, const QString& contentType, const QUrl& page)
{
    PageFacts facts;
    QByteArray utf8;
    // Most pages are valid UTF-8 already: gumbo then reads the body as it came,
    // without a round trip through UTF-16. The charset is judged as decode() does.
    const auto isUtf8 = [](const QString& label) {
        return label == QLatin1String("utf-8") || label == QLatin1String("utf8");
    };
    const QString declared = headerCharset(contentType);
    const QString meta = declared.isEmpty() ? metaCharset(body) : QString();
    if ((declared.isEmpty() ? meta.isEmpty() || isUtf8(meta) : isUtf8(declared)) && body.isValidUtf8()) {
        facts.charset = !declared.isEmpty() ? declared : !meta.isEmpty() ? meta : QStringLiteral("utf-8");
        utf8 = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : body;
    } else {
        QString text = decode(body, contentType, &facts.charset);
        // A byte-order mark is not part of the document.
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        utf8 = text.toUtf8();
    }
    static thread_local ParseArena arena;
    struct Reset {
        ParseArena& arena;
        ~Reset() { arena.reset(); }
    } resetArena{arena};
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &ParseArena::allocate;
    options.deallocator = &ParseArena::release;
    options.userdata = &arena;
    GumboOutput* output = gumbo_parse_with_options(&options, utf8.constData(), static_cast<size_t>(utf8.size()));
    if (!output)
        return facts;

    // Elements in document order; the first <base href> decides how addresses resolve.
    std::vector<const GumboNode*> elements;
    std::vector<const GumboNode*> stack{output->root};
    QUrl base = page;
    bool baseSeen = false;
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT)
            continue;
        elements.push_back(node);
        const GumboElement& element = node->v.element;
        if (!baseSeen && element.tag == GUMBO_TAG_BASE && hasAttribute(element, "href")) {
            baseSeen = true;
            const QUrl resolved = page.resolved(QUrl(attribute(element, "href").trimmed()));
            if (resolved.isValid())
                base = resolved;
        }
        const GumboVector& children = element.children;
        for (unsigned i = children.length; i > 0; --i)
            stack.push_back(static_cast<const GumboNode*>(children.data[i - 1]));
    }
    auto resolve = [&base](const QString& href) {
        const QUrl url = PoliteCrawler::resolveLink(base, href);
        return url.isValid() ? url.toString(QUrl::FullyEncoded) : QString();
    };

    for (const GumboNode* node : elements) {
        const GumboElement& element = node->v.element;
        const bool html = element.tag_namespace == GUMBO_NAMESPACE_HTML;
        if (!html)
            continue;
        switch (element.tag) {
        case GUMBO_TAG_TITLE:
            if (!facts.hasTitle) {
                facts.hasTitle = true;
                facts.title = collapse(textOf(node));
            }
            break;
        case GUMBO_TAG_H1:
            facts.h1s.append(collapse(textOf(node)));
            break;
        case GUMBO_TAG_META: {
            const QString name = attribute(element, "name").trimmed().toLower();
            if (name == QLatin1String("description") && !facts.hasDescription) {
                facts.hasDescription = true;
                facts.description = collapse(attribute(element, "content"));
            } else if (name == QLatin1String("robots")) {
                addDirectives(facts.robotsMeta, attribute(element, "content"));
            }
            break;
        }
        case GUMBO_TAG_LINK: {
            const QStringList rel = relTokens(element);
            const QString href = attribute(element, "href");
            if (rel.contains(QLatin1String("canonical")) && facts.canonical.isEmpty() && !href.trimmed().isEmpty())
                facts.canonical = resolve(href);
            if (rel.contains(QLatin1String("alternate")) && hasAttribute(element, "hreflang")) {
                const QString target = resolve(href);
                if (!target.isEmpty())
                    facts.hreflang.append({attribute(element, "hreflang").trimmed().toLower(), target});
            }
            if (rel.contains(QLatin1String("stylesheet")) && hasAttribute(element, "href")) {
                const QString target = resolve(href);
                if (!target.isEmpty())
                    facts.resources.append(target);
            }
            break;
        }
        case GUMBO_TAG_A:
            if (hasAttribute(element, "href")) {
                PageLink link;
                link.url = resolve(attribute(element, "href"));
                link.anchor = collapse(textOf(node));
                link.nofollow = relTokens(element).contains(QLatin1String("nofollow"));
                facts.links.append(link);
            }
            break;
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_SCRIPT:
            if (hasAttribute(element, "src")) {
                const QString target = resolve(attribute(element, "src"));
                if (!target.isEmpty())
                    facts.resources.append(target);
            }
            break;
        default:
            break;
        }
    }
    // The arena's reset frees the tree; nothing of it is read after this point.
    return facts;
}

} // namespace PageExtract
