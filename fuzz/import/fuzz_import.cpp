// Fuzzes the import of exchange documents: any bytes go into a seeded in-memory store, inside a
// transaction that is rolled back afterwards, so every input meets the same store. An import may
// refuse its input with an Error; it must never crash, leak, trip a sanitizer or take long.

#include "host/objects/connection.h"
#include "host/objects/json_exchange.h"
#include "host/objects/sql_store.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

namespace {

veltrane::host::SqlStore &store()
{
    static const veltrane::host::SqlStorePtr seeded = veltrane::host::SqlStore::open(QStringLiteral(":memory:"));
    return *seeded;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    store();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace veltrane::host;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The import joins this transaction, which is never committed: what an input wrote goes with it.
    Transaction outer(store().pool(), Transaction::Write);
    for (const bool replace : {false, true}) {
        try {
            importStore(store(), bytes, QStringLiteral("fuzz.json"), ImportOptions{replace, replace});
        } catch (const veltrane::Error &) {
            // Refusing an input is what an import may do.
        }
    }
    return 0;
}
