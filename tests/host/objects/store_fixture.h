#pragma once

#include "host/objects/sql_store.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

namespace veltrane::test {

// The engines the store tests run on: "sqlite" always, "postgresql" when VELTRANE_TEST_PG_URL names
// a server.
QStringList storeEngines();

// A fresh, empty database for one test: a file in a temporary folder, or a schema of its own on the
// PostgreSQL server (dropped again when the location goes).
class StoreLocation
{
public:
    explicit StoreLocation(const QString &engine);
    ~StoreLocation();
    StoreLocation(const StoreLocation &) = delete;
    StoreLocation &operator=(const StoreLocation &) = delete;

    const QString &location() const { return m_location; }
    host::SqlStorePtr open(bool seed = true) const;
    // Runs one statement directly on the database (to simulate other programs and broken stores).
    void executeRaw(const QString &sql) const;

private:
    QString m_engine;
    QString m_location;
    QString m_schema;
    std::unique_ptr<QTemporaryDir> m_dir;
};

// Every field of a parameter set as text, one per line, so two sets compare with a readable
// difference. Store identities (IDs, and the project's ID, which is given by name) are left out.
QString describe(const FragAnalysisParam &settings);

// Every set of a store described (as describe() does, with the project's name), in the store's order.
QString heldSets(host::SqlStore &store);

// The content of a file the test needs (the test fails at once when it cannot be read).
QByteArray contentOf(const QString &path);

// A set with every field away from its default, yet within the editor's rules: odd floats and the
// ends of the ranges, both entry shapes, peaks, tags of both kinds (taken from the store's seed data).
FragAnalysisParamPtr richSet(host::SqlStore &store, const QString &name);

// The set a writer stores as its n-th version: every field, entry and tag list depends on n, so two
// versions never look alike and a half-written one matches none.
FragAnalysisParamPtr numberedSet(host::SqlStore &store, const QString &name, int n);

// The set of that name as Retrieve gives it from the store, or null when Retrieve finds none.
FragAnalysisParamPtr retrieved(const host::SqlStorePtr &store, const QString &name);

// An exchange document with the node at a path such as "sets[1].slopeThreshold" set to value, or
// removed when there is none.
QJsonDocument withNode(const QJsonDocument &doc, const QString &path, const std::optional<QJsonValue> &value);

// The node at such a path; undefined when there is none.
QJsonValue nodeAt(const QJsonDocument &doc, const QString &path);

// A new object with nothing but a name.
template <typename T> QSharedPointer<T> named(const QString &name)
{
    auto object = QSharedPointer<T>::create();
    object->setName(name);
    return object;
}

// Nothing when call raises the error numbered number, whose description holds every text of says
// (and none marked "!"); otherwise what it raised instead. Compared with QString() in a test, so a
// failure shows the error that came.
QString refused(const std::function<void()> &call, qint32 number, const QStringList &says = {});

// Runs the test object once per engine; each run sees the engine through its constructor.
template <typename T> int runForEachEngine(int argc, char **argv)
{
    int failures = 0;
    for (const QString &engine : storeEngines()) {
        T test(engine);
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures;
}

} // namespace veltrane::test

#define VELTRANE_STORE_TEST_MAIN(TestClass)                                                                            \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        QCoreApplication app(argc, argv);                                                                              \
        return veltrane::test::runForEachEngine<TestClass>(argc, argv);                                                \
    }
