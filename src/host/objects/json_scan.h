#pragma once

// Internal to the exchange format: a JSON document checked and mapped without being held, so that an
// import holds one part of a large file at a time. The scan finds the members of the top-level object
// and the items of its lists as ranges of bytes, which are read and parsed one at a time later.

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

class QFile;

namespace veltrane::host::exchange {

// Where the bytes of a document come from.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual qint64 size() const = 0;
    // The bytes from `from` on, `length` of them (fewer only at the end). Throws an Error when they
    // cannot be read.
    virtual QByteArray read(qint64 from, qint64 length) const = 0;
};

// Bytes in memory (which must outlive the source).
class MemorySource : public ByteSource
{
public:
    explicit MemorySource(const QByteArray &bytes)
        : m_bytes(bytes)
    {}
    qint64 size() const override { return m_bytes.size(); }
    QByteArray read(qint64 from, qint64 length) const override;

private:
    const QByteArray &m_bytes;
};

// A file, read piece by piece; its size is taken once, when it is opened. A read that meets a file
// grown shorter meanwhile throws kStoreImportInvalid naming the file.
class FileSource : public ByteSource
{
public:
    FileSource(QFile &file, QString path);
    qint64 size() const override { return m_size; }
    QByteArray read(qint64 from, qint64 length) const override;

private:
    QFile &m_file;
    QString m_path;
    qint64 m_size = 0;
};

// A value's bytes: [begin, end).
struct Span
{
    qint64 begin = 0;
    qint64 end = 0;
};

// An item of a top-level list. For the lists whose items' names are wanted, the item's "name" is read
// during the scan (the last one, as a parser keeps it).
struct ScannedItem
{
    enum class Name { Missing, Text, NotText };
    Span span;
    bool isObject = false;
    Name nameState = Name::Missing;
    QString name;
};

struct ScannedMember
{
    QString key;
    Span value;
    bool isList = false; // a list whose items were mapped
    QList<ScannedItem> items;
};

// The syntax error the scan stops at: the byte offset and what is wrong, in the words of Qt's parser.
struct SyntaxError
{
    qint64 offset = 0;
    QString reason;
};

// Checks the document's syntax from start on (after a byte order mark, say), throwing SyntaxError, and
// maps the members of its top-level object (which it must begin with). Members named in lists that hold
// a list are mapped item by item; the items of those named in namedLists come with their names.
QList<ScannedMember> scanDocument(const ByteSource &source, qint64 start, const QSet<QString> &lists,
                                  const QSet<QString> &namedLists);

// The value in the span, read and parsed (a SyntaxError at its place in the document should it be
// broken).
QJsonValue parseValue(const ByteSource &source, const Span &span);

} // namespace veltrane::host::exchange
