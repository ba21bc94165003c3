// A second program on a store, for the tests of what one program's locks and faults do to another's:
//   store_child hold-write-lock FILE MS     takes the write lock of a SQLite store, prints "locked", holds
//                                            it for MS milliseconds, then lets go
//   store_child commit-loop LOCATION NAME   commits the set NAME as numberedSet(1), (2), ... and prints
//                                            "committed N" after each, until it is killed (at most 100,000)
//   store_child save-race LOCATION K N NAME...
//                                            process K of a race: N saves, each reading then saving one of
//                                            the NAMEs in turn as numberedSet(K * 1000 + i); prints "stored
//                                            NAME" or, when someone else saved it meanwhile, "refused NAME"

#include "host/objects/sql_store.h"
#include "store_fixture.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <cstdio>

using namespace veltrane;

namespace {

int holdWriteLock(const QString &file, int ms)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        db.setDatabaseName(file);
        if (!db.open())
            return 2;
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
            return 3;
        }
        std::printf("locked\n");
        std::fflush(stdout);
        QThread::msleep(ulong(ms));
        q.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    return 0;
}

int commitLoop(const QString &location, const QString &name)
{
    const host::SqlStorePtr store = host::SqlStore::open(location);
    auto seen = FragAnalysisParamPtr::create();
    seen->setName(name);
    seen->setStore(store);
    seen->Retrieve(); // a set left by an earlier run is this session's to write over
    for (int n = 1; n <= 100000; ++n) {
        const FragAnalysisParamPtr set = test::numberedSet(*store, name, n);
        store->commit(*set);
        std::printf("committed %d\n", n);
        std::fflush(stdout);
    }
    return 0;
}

int saveRace(const QString &location, int process, int saves, const QStringList &names)
{
    const host::SqlStorePtr store = host::SqlStore::open(location);
    for (int i = 0; i < saves; ++i) {
        const QString &name = names.at((process + i) % names.size());
        auto seen = FragAnalysisParamPtr::create();
        seen->setName(name);
        seen->setStore(store);
        seen->Retrieve(); // as the editor opens the set
        try {
            store->commit(*test::numberedSet(*store, name, process * 1000 + i + 1));
            std::printf("stored %s\n", qPrintable(name));
        } catch (const Error &e) {
            if (e.number() != kStoreConflict)
                throw;
            std::printf("refused %s\n", qPrintable(name));
        }
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 4 && args[1] == QLatin1String("hold-write-lock"))
            return holdWriteLock(args[2], args[3].toInt());
        if (args.size() == 4 && args[1] == QLatin1String("commit-loop"))
            return commitLoop(args[2], args[3]);
        if (args.size() >= 6 && args[1] == QLatin1String("save-race"))
            return saveRace(args[2], args[3].toInt(), args[4].toInt(), args.mid(5));
    } catch (const Error &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    std::fprintf(stderr,
                 "usage: store_child hold-write-lock FILE MS | commit-loop LOCATION NAME | save-race LOCATION K N "
                 "NAME...\n");
    return 2;
}
