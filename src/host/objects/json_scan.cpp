#include "host/objects/json_scan.h"

#include "veltrane/contracts/error.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace veltrane::host::exchange {

QByteArray MemorySource::read(qint64 from, qint64 length) const
{
    const qint64 n = std::max<qint64>(0, std::min(length, size() - from));
    return QByteArray::fromRawData(m_bytes.constData() + from, qsizetype(n));
}

FileSource::FileSource(QFile &file, QString path)
    : m_file(file)
    , m_path(std::move(path))
    , m_size(file.size())
{}

QByteArray FileSource::read(qint64 from, qint64 length) const
{
    length = std::max<qint64>(0, std::min(length, m_size - from));
    QByteArray bytes;
    if (m_file.seek(from))
        bytes = m_file.read(length);
    if (bytes.size() != length)
        throw Error(
            kStoreImportInvalid, QStringLiteral("Import"),
            QStringLiteral("%1: cannot be read (it changed while it was read): %2").arg(m_path, m_file.errorString()));
    return bytes;
}

namespace {

// Deeper than this a document is refused, as Qt's own parser refuses it.
constexpr int kNestingLimit = 1024;
// How much of a file is read at a time.
constexpr qint64 kChunk = 1 << 20;

// The document read forward, a chunk at a time.
class Input
{
public:
    Input(const ByteSource &source, qint64 start)
        : m_source(source)
        , m_size(source.size())
        , m_pos(start)
        , m_base(start)
    {}

    // The byte at the position, or -1 at the end.
    int peek()
    {
        if (m_pos >= m_size)
            return -1;
        if (m_pos - m_base >= m_chunk.size()) {
            m_base = m_pos;
            m_chunk = m_source.read(m_pos, kChunk);
        }
        return uchar(m_chunk.at(qsizetype(m_pos - m_base)));
    }
    void advance() { ++m_pos; }
    qint64 pos() const { return m_pos; }

    [[noreturn]] void fail(const char *reason) const { throw SyntaxError{m_pos, QString::fromLatin1(reason)}; }

    void skipSpace()
    {
        // Indented documents are mostly blanks: they are passed over within the chunk read.
        while (peek() >= 0) {
            const char *data = m_chunk.constData();
            const qsizetype from = qsizetype(m_pos - m_base);
            qsizetype at = from;
            while (at < m_chunk.size() && (data[at] == ' ' || data[at] == '\t' || data[at] == '\n' || data[at] == '\r'))
                ++at;
            m_pos += at - from;
            if (at < m_chunk.size())
                return;
        }
    }
    void expect(char c, const char *reason)
    {
        if (peek() != uchar(c))
            fail(reason);
        advance();
    }

    // A string at the position; its text when decode is set.
    QString string(bool decode)
    {
        expect('"', "illegal value");
        QString text;
        for (;;) {
            const int c = peek();
            if (c < 0)
                fail("unterminated string");
            if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
                // A run of plain characters, taken at once.
                const char *data = m_chunk.constData();
                const qsizetype from = qsizetype(m_pos - m_base);
                qsizetype to = from + 1;
                while (to < m_chunk.size() && uchar(data[to]) >= 0x20 && uchar(data[to]) < 0x80 && data[to] != '"' &&
                       data[to] != '\\')
                    ++to;
                if (decode)
                    text += QLatin1StringView(data + from, to - from);
                m_pos += to - from;
                continue;
            }
            advance();
            if (c == '"')
                return text;
            if (c == '\\') {
                escape(decode ? &text : nullptr);
            } else if (c < 0x20) {
                fail("illegal value");
            } else {
                const char32_t point = utf8(c);
                if (decode)
                    text += QString::fromUcs4(&point, 1);
            }
        }
    }

    void value(int depth)
    {
        switch (peek()) {
        case '{':
            object(
                depth + 1, [this](const QString &, int d) { value(d); }, false);
            return;
        case '[':
            list(depth + 1, [this](int d) { value(d); });
            return;
        case '"':
            string(false);
            return;
        case 't':
            literal("true");
            return;
        case 'f':
            literal("false");
            return;
        case 'n':
            literal("null");
            return;
        default:
            number();
        }
    }

    // An object at the position: member(key, depth) reads each member's value (with an empty key when
    // the keys are not wanted).
    template <typename Member> void object(int depth, Member &&member, bool decodeKeys = true)
    {
        sequence('{', '}', "unterminated object", depth, [&](int itemDepth) {
            if (peek() != '"')
                fail(peek() < 0 ? "unterminated object" : "object is missing after a comma");
            const QString key = string(decodeKeys);
            skipSpace();
            expect(':', "missing name separator");
            skipSpace();
            member(key, itemDepth);
        });
    }

    // A list at the position: item(depth) reads each item.
    template <typename Item> void list(int depth, Item &&item)
    {
        sequence('[', ']', "unterminated array", depth, item);
    }

private:
    // Items between open and close, separated by commas; item(depth) reads each.
    template <typename Item> void sequence(char open, char close, const char *unterminated, int depth, Item &&item)
    {
        if (depth > kNestingLimit)
            fail("too deeply nested document");
        expect(open, "illegal value");
        skipSpace();
        if (peek() == uchar(close)) {
            advance();
            return;
        }
        for (;;) {
            skipSpace();
            item(depth);
            skipSpace();
            const int c = peek();
            if (c == uchar(close)) {
                advance();
                return;
            }
            if (c != ',')
                fail(c < 0 ? unterminated : "missing value separator");
            advance();
        }
    }

    void literal(const char *word)
    {
        for (const char *c = word; *c; ++c) {
            if (peek() != uchar(*c))
                fail("illegal value");
            advance();
        }
    }

    bool digits()
    {
        bool any = false;
        for (int c = peek(); c >= '0' && c <= '9'; c = peek()) {
            advance();
            any = true;
        }
        return any;
    }

    void number()
    {
        const int first = peek();
        if (first != '-' && (first < '0' || first > '9'))
            fail("illegal value");
        if (first == '-')
            advance();
        if (peek() == '0')
            advance();
        else if (!digits())
            fail("illegal number");
        if (peek() == '.') {
            advance();
            if (!digits())
                fail("illegal number");
        }
        if (peek() == 'e' || peek() == 'E') {
            advance();
            if (peek() == '+' || peek() == '-')
                advance();
            if (!digits())
                fail("illegal number");
        }
    }

    int hexDigit()
    {
        const int c = peek();
        advance();
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        fail("illegal escape sequence");
    }

    void escape(QString *text)
    {
        const int c = peek();
        advance();
        QChar decoded;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            decoded = QChar(c);
            break;
        case 'b':
            decoded = QChar(u'\b');
            break;
        case 'f':
            decoded = QChar(u'\f');
            break;
        case 'n':
            decoded = QChar(u'\n');
            break;
        case 'r':
            decoded = QChar(u'\r');
            break;
        case 't':
            decoded = QChar(u'\t');
            break;
        case 'u': {
            int unit = 0;
            for (int i = 0; i < 4; ++i)
                unit = unit * 16 + hexDigit();
            // Halves of a surrogate pair meet in the text as they come; a lone one stays, for the rules
            // of names and texts to refuse.
            decoded = QChar(char16_t(unit));
            break;
        }
        default:
            fail("illegal escape sequence");
        }
        if (text)
            *text += decoded;
    }

    // The rest of a character whose first byte (of two to four) was lead.
    char32_t utf8(int lead)
    {
        int more = 0;
        char32_t point = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            point = lead & 0x1F;
            least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            point = lead & 0x0F;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            point = lead & 0x07;
            least = 0x10000;
        } else {
            fail("invalid UTF8 string");
        }
        for (int i = 0; i < more; ++i) {
            const int c = peek();
            if (c < 0x80 || c > 0xBF)
                fail("invalid UTF8 string");
            advance();
            point = (point << 6) | char32_t(c & 0x3F);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            fail("invalid UTF8 string");
        return point;
    }

    const ByteSource &m_source;
    const qint64 m_size;
    qint64 m_pos = 0;
    qint64 m_base = 0;
    QByteArray m_chunk;
};

} // namespace

QList<ScannedMember> scanDocument(const ByteSource &source, qint64 start, const QSet<QString> &lists,
                                  const QSet<QString> &namedLists)
{
    Input in(source, start);
    QList<ScannedMember> members;
    in.skipSpace();
    in.object(1, [&](const QString &key, int depth) {
        ScannedMember member;
        member.key = key;
        member.value.begin = in.pos();
        if (lists.contains(key) && in.peek() == '[') {
            member.isList = true;
            const bool named = namedLists.contains(key);
            in.list(depth + 1, [&](int itemDepth) {
                ScannedItem item;
                item.span.begin = in.pos();
                item.isObject = in.peek() == '{';
                if (named && item.isObject)
                    in.object(itemDepth + 1, [&](const QString &field, int fieldDepth) {
                        if (field != QLatin1String("name")) {
                            in.value(fieldDepth);
                        } else if (in.peek() == '"') {
                            item.nameState = ScannedItem::Name::Text;
                            item.name = in.string(true);
                        } else {
                            item.nameState = ScannedItem::Name::NotText;
                            item.name.clear();
                            in.value(fieldDepth);
                        }
                    });
                else
                    in.value(itemDepth);
                item.span.end = in.pos();
                member.items.append(std::move(item));
            });
        } else {
            in.value(depth);
        }
        member.value.end = in.pos();
        members.append(std::move(member));
    });
    in.skipSpace();
    if (in.peek() >= 0)
        in.fail("garbage at the end of the document");
    return members;
}

QJsonValue parseValue(const ByteSource &source, const Span &span)
{
    // A document is an object or a list, so the value is parsed as the one item of a list.
    QByteArray bytes;
    bytes.reserve(qsizetype(span.end - span.begin) + 2);
    bytes.append('[').append(source.read(span.begin, span.end - span.begin)).append(']');
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw SyntaxError{span.begin + std::max(0, error.offset - 1), error.errorString()};
    return document.array().at(0);
}

} // namespace veltrane::host::exchange
