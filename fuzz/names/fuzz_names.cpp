// Fuzzes the rules of stored names and texts (nameFault, textFault, storedName, printable) and the
// stores that follow them. The first byte says how the rest is read: as UTF-8, or as UTF-16 (which
// can hold a lone half of a surrogate pair). Then:
//   - a name the rules let through prints as itself (nothing in it needs escaping), is a text too, and
//     composing it again or folding either form gives the same;
//   - written as a project's name and as an SNP locus tag's text, into a seeded in-memory SQLite store
//     and, when VELTRANE_TEST_PG_URL names a server, a PostgreSQL one: what the rules let through is
//     stored and read back the same on each engine (the name as composed, found by either form), and
//     what they refuse each store refuses as an invalid object, never with an engine's error.
// Every write happens inside a transaction that is rolled back, so every input meets the same stores.

#include "host/objects/connection.h"
#include "host/objects/sql_store.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/stored_rules.h"

#include <QCoreApplication>
#include <QUrl>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace veltrane;
using namespace veltrane::host;

namespace {

// A seeded in-memory SQLite store, and a PostgreSQL one when VELTRANE_TEST_PG_URL names a server. (Made
// before the list is, so they go before the database connections' own records do at the exit.)
const QList<SqlStorePtr> &stores()
{
    static const QList<SqlStorePtr> list = [] {
        QList<SqlStorePtr> opened{SqlStore::open(QStringLiteral(":memory:"))};
        const QString server = qEnvironmentVariable("VELTRANE_TEST_PG_URL");
        if (!server.isEmpty()) {
            QUrl url(server);
            url.setQuery(QStringLiteral("schema=fuzz_names_%1").arg(QCoreApplication::applicationPid()));
            opened.append(SqlStore::open(url.toString()));
        }
        return opened;
    }();
    return list;
}

[[noreturn]] void broken(const char *what, const QString &text, const QString &detail = {})
{
    std::fprintf(stderr, "%s: \"%s\" (%s)\n", what, qPrintable(printable(text)), qPrintable(detail));
    std::abort();
}

// Runs write on the store; answers the error it raised, if any (an engine's error breaks the rules).
qint32 refusal(const std::function<void()> &write, const QString &text)
{
    try {
        write();
        return 0;
    } catch (const Error &e) {
        if (e.number() != kStoreInvalidObject && e.number() != kStoreDuplicateName)
            broken("refused by the engine, not by the rules", text, e.description());
        return e.number();
    }
}

void checkStore(SqlStore &store, const QString &text, bool nameAllowed, bool textAllowed)
{
    Transaction outer(store.pool(), Transaction::Write);
    const qint32 named = refusal([&] { store.addProject(text); }, text);
    if (nameAllowed && named == kStoreInvalidObject)
        broken("a name the rules let through was refused", text);
    if (!nameAllowed && named == 0)
        broken("a name the rules refuse was stored", text);
    if (named == 0) {
        const ProjectPtr back = store.project(0, text);
        if (!back || back->Name() != storedName(text) || !store.project(0, storedName(text)))
            broken("a stored name did not come back as composed", text, back ? back->Name() : QString());
    }

    SNPLocusTag tag;
    auto data = SNPLocusTagSettingsPtr::create();
    data->setName(QStringLiteral("rsFuzz"));
    data->setTagText3(text);
    tag.setTagData(data);
    const qint32 texted = refusal([&] { store.commit(tag); }, text);
    if ((texted == 0) != textAllowed)
        broken(textAllowed ? "a text the rules let through was refused" : "a text the rules refuse was stored", text);
    if (texted == 0) {
        const SNPLocusTagPtr back = store.snpLocusTag(0, QStringLiteral("rsFuzz"));
        if (!back || back->TagData()->TagText3() != text)
            broken("a stored text did not come back as it was", text,
                   back ? printable(back->TagData()->TagText3()) : QString());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    stores();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const QString text = data[0] % 2 == 0
                             ? QString::fromUtf8(rest, qsizetype(size - 1))
                             : QString::fromUtf16(reinterpret_cast<const char16_t *>(rest), qsizetype((size - 1) / 2));

    const bool nameAllowed = !nameFault(text) && !nameKey(text).isEmpty();
    const bool textAllowed = !textFault(text);
    const QString composed = storedName(text);
    if (nameAllowed) {
        if (printable(composed) != composed)
            broken("a name the rules let through needs escaping", text);
        if (!textAllowed)
            broken("a name the rules let through is no text", text);
        if (storedName(composed) != composed || nameKey(composed) != nameKey(text))
            broken("composing a name again changed it", text);
    }
    for (const SqlStorePtr &store : stores())
        checkStore(*store, text, nameAllowed, textAllowed);
    return 0;
}
