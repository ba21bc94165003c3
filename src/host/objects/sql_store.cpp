#include "host/objects/sql_store.h"

#include "host/objects/connection.h"
#include "host/objects/history_io.h"
#include "host/objects/schema.h"
#include "host/objects/seed_data.h"
#include "host/objects/store_io.h"
#include "veltrane/contracts/stored_rules.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMutexLocker>
#include <cmath>
#include <unistd.h>

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("SqlStore");

io::Filter filterFor(qint32 id, const QString &name)
{
    return id > 0 ? io::Filter::byId(id) : io::Filter::byName(name);
}

template <typename T> QSharedPointer<T> firstOf(const QList<QSharedPointer<T>> &list)
{
    return list.isEmpty() ? QSharedPointer<T>() : list.first();
}

} // namespace

SqlStore::SqlStore(std::unique_ptr<ConnectionPool> pool)
    : m_pool(std::move(pool))
{}

SqlStore::~SqlStore() = default;

std::shared_ptr<SqlStore> SqlStore::open(const QString &location, const StoreOptions &options)
{
    return open(ConnectionSpec::parse(location), options);
}

std::shared_ptr<SqlStore> SqlStore::open(ConnectionSpec spec, const StoreOptions &options)
{
    // A store others keep (a shared folder, an archive) that this user may not write is read from a
    // copy: SQLite would otherwise leave a log and its index beside it, this user's, which would keep
    // its owner from writing.
    bool copy = false;
    if (spec.engine == Engine::SQLite && !spec.memory) {
        const QFileInfo file(spec.file);
        if (file.isFile()) {
            const bool fileWritable = ::access(QFile::encodeName(spec.file).constData(), W_OK) == 0;
            const bool folderWritable = ::access(QFile::encodeName(file.absolutePath()).constData(), W_OK) == 0;
            copy = !fileWritable || !folderWritable;
        } else {
            if (!QDir().mkpath(file.absolutePath()))
                throw Error(
                    kStoreCannotOpen, kSource,
                    QStringLiteral("Cannot open the store at %1: its folder cannot be created.").arg(spec.display));
            if (file.isDir())
                throw Error(
                    kStoreCannotOpen, kSource,
                    QStringLiteral("Cannot open the store at %1: it is a folder, not a file.").arg(spec.display));
        }
    }
    const QString file = spec.file;
    if (copy) {
        spec.memory = true;
        spec.file = ConnectionSpec::memoryUri();
    }
    spec.writeWaitMs = options.writeWaitMs;
    const QString display = spec.display;
    std::shared_ptr<SqlStore> store(new SqlStore(std::make_unique<ConnectionPool>(std::move(spec))));
    store->m_options = options;
    if (store->m_pool->spec().readOnly) {
        // Another session on a copy made before.
        io::Context ctx = store->context();
        Transaction transaction(*store->m_pool, Transaction::Read);
        store->m_schemaVersion = schema::version(ctx.db);
        transaction.commit();
        return store;
    }
    try {
        io::Context ctx = store->context();
        if (copy)
            copySnapshot(ctx.db, file, display);
        Transaction transaction(*store->m_pool, Transaction::Write);
        // A copy is brought up to this program's tables too, so an older store can still be read.
        const int found = schema::migrate(ctx.db, store->m_pool->spec());
        if (copy && found == 0)
            throw Error(kStoreNotWritable, kSource,
                        QStringLiteral("The file %1 holds no store, and none can be made there, as you cannot write "
                                       "to it or to its folder.")
                            .arg(display));
        store->m_createdOnOpen = found == 0;
        if (found == 0) {
            writeGridLayouts(ctx);
            if (options.seed)
                seedStore(ctx);
        }
        transaction.commit();
    } catch (const Error &e) {
        if (e.number() != kStoreQueryFailed)
            throw;
        // A database that refuses our tables is not a store we can use; say where.
        throw Error(kStoreCannotOpen, kSource,
                    QStringLiteral("Cannot open the store at %1: %2").arg(display, e.description()));
    }
    if (copy)
        store->m_pool->markReadOnly();
    store->m_schemaVersion = schema::kCurrentVersion;
    return store;
}

std::shared_ptr<SqlStore> SqlStore::openAnother() const
{
    StoreOptions options = m_options;
    options.seed = false;
    return open(m_pool->spec(), options);
}

QString SqlStore::location() const
{
    return m_pool->spec().display;
}

QString SqlStore::file() const
{
    return m_pool->spec().storeFile;
}

bool SqlStore::isReadOnly() const
{
    return m_pool->spec().readOnly;
}

bool SqlStore::isPostgreSQL() const
{
    return m_pool->engine() == Engine::PostgreSQL;
}

int SqlStore::schemaVersion() const
{
    return m_schemaVersion;
}

io::Context SqlStore::context()
{
    return io::Context{m_pool->database(), m_pool->engine(), shared_from_this()};
}

std::optional<qint32> SqlStore::seenVersion(const QString &setName) const
{
    QMutexLocker lock(&m_seenMutex);
    auto it = m_seen.constFind(nameKey(setName));
    if (it == m_seen.cend())
        return std::nullopt;
    return *it;
}

void SqlStore::noteVersion(const QString &setName, qint32 version)
{
    QMutexLocker lock(&m_seenMutex);
    m_seen.insert(nameKey(setName), version);
}

void SqlStore::noteVersions(const QList<std::pair<QString, qint32>> &byNameKey)
{
    QMutexLocker lock(&m_seenMutex);
    for (const auto &[key, version] : byNameKey)
        m_seen.insert(key, version);
}

void SqlStore::forgetVersion(const QString &setName)
{
    QMutexLocker lock(&m_seenMutex);
    m_seen.remove(nameKey(setName));
}

// ---- business objects ---------------------------------------------------------------------------

qint32 SqlStore::retrieve(FragAnalysisParam &settings)
{
    if (nameKey(settings.Name()).isEmpty())
        return 1;
    io::Context ctx = context();
    Transaction transaction(*m_pool, Transaction::Read);
    const std::optional<qint32> version = io::readSettings(ctx, io::Filter::byName(settings.Name()), settings);
    transaction.commit();
    if (!version)
        return 1;
    noteVersion(settings.Name(), *version);
    return 0;
}

void SqlStore::commit(FragAnalysisParam &settings)
{
    const QString &source = types::kFragAnalysisParam;
    const QString name = settings.Name();
    io::requireName(QStringLiteral("parameter set"), name, source);

    try {
        io::Context ctx = context();
        Transaction transaction(*m_pool, Transaction::Write);
        const std::optional<io::StoredSet> stored = io::findSet(ctx, name, true);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        io::SetStamp stamp{settings.Attributes(), now, now};
        if (stored) {
            if (stored->attributes & limits::kReadOnlyBits)
                throw Error(kStoreReadOnly, source,
                            QStringLiteral("The parameter set \"%1\" is read-only and cannot be overwritten. "
                                           "Save your settings under a new name.")
                                .arg(printable(stored->name)));
            const std::optional<qint32> seen = seenVersion(name);
            if (!seen || *seen != stored->version) {
                // Whoever wrote it last is who changed it under us; the store keeps who and when.
                QString who = printable(io::lastWriter(ctx, stored->id));
                if (who.isEmpty())
                    who = QStringLiteral("someone else");
                const QString when =
                    QLocale().toString(settings.ConvertDate(stored->dateModified), QLocale::ShortFormat);
                if (!seen)
                    throw Error(kStoreConflict, source,
                                QStringLiteral("A parameter set named \"%1\" was stored by %2 at %3 while you were "
                                               "editing, so your settings were not saved. Save them under another "
                                               "name.")
                                    .arg(printable(stored->name), who, when));
                throw Error(kStoreConflict, source,
                            QStringLiteral("The parameter set \"%1\" was changed by %2 at %3, after you opened it, so "
                                           "your changes were not saved. Save them under a new name, or open the set "
                                           "again.")
                                .arg(printable(stored->name), who, when));
            }
            stamp.attributes = stored->attributes;
            stamp.dateCreated = stored->dateCreated;
        } else if (seenVersion(name)) {
            // The set this session read is gone under this name: stored again, it would become a second
            // set beside the renamed one, or bring back a deleted one unasked.
            throw Error(kStoreConflict, source,
                        QStringLiteral("The parameter set \"%1\" was renamed or deleted by someone else after you "
                                       "opened it, so your settings were not saved. Save them under a new name.")
                            .arg(printable(name)));
        }
        const io::WrittenSet written = io::writeSet(
            ctx, settings, stored, stamp, io::Change{stored ? RevisionAction::Saved : RevisionAction::Created, {}, 0});
        transaction.commit();

        noteVersion(name, written.version);
        settings.setID(written.id);
        settings.setAttributes(stamp.attributes);
        settings.setDateCreated(stamp.dateCreated);
        settings.setDateModified(stamp.dateModified);
    } catch (const Error &e) {
        if (!io::storeFailure(e))
            throw;
        // The store's words say what went wrong, not which of the user's sets was lost.
        throw io::undone(e, QStringLiteral("The parameter set \"%1\" was not saved").arg(printable(name)));
    }
}

qint32 SqlStore::retrieve(SizeCalibration &entry)
{
    // Only standard mobility references are stored on their own; other entries belong to a set.
    if (entry.Kind() != SizeCalibration::kMobilityReference || nameKey(entry.Name()).isEmpty())
        return 1;
    const SizeCalibrationPtr found = firstOf(io::mobilityReferences(context(), io::Filter::byName(entry.Name())));
    if (!found)
        return 1;
    entry.setID(found->ID());
    entry.setName(found->Name());
    entry.setEnumTypeID(found->EnumTypeID());
    return 0;
}

void SqlStore::commit(SNPLocusTag &tag)
{
    const QString &source = types::kSNPLocusTag;
    const SNPLocusTagSettingsPtr data = tag.TagData();
    if (!data)
        throw Error(kStoreInvalidObject, source, QStringLiteral("The SNP locus tag has no settings to store."));
    io::requireName(QStringLiteral("SNP locus tag"), data->Name(), source);
    if (std::isnan(data->TagNumber()))
        throw Error(
            kStoreInvalidObject, source,
            QStringLiteral("The SNP locus tag \"%1\" cannot be stored: its number is not a number.").arg(data->Name()));

    const qint64 previousDate = data->DateModified();
    data->setDateModified(QDateTime::currentSecsSinceEpoch());
    try {
        io::Context ctx = context();
        Transaction transaction(*m_pool, Transaction::Write);
        qint32 id = data->ID();
        if (id > 0) {
            const bool changesSets = io::tagChangesSets(ctx, *data);
            io::updateSnpLocusTag(ctx, *data);
            if (changesSets)
                io::recordTagChange(ctx, Kind::SnpTag, id);
        } else {
            id = io::insertSnpLocusTag(ctx, *data);
        }
        transaction.commit();
        data->setID(id);
        tag.setID(id);
        data->setStore(shared_from_this());
        tag.setStore(shared_from_this());
    } catch (...) {
        data->setDateModified(previousDate);
        throw;
    }
}

// ---- queries ------------------------------------------------------------------------------------

QList<AnalysisParameterPtr> SqlStore::parameterSets(bool includeHidden)
{
    QList<AnalysisParameterPtr> sets;
    forEachParameterSet(includeHidden, [&sets](AnalysisParameterPtr &&set) { sets.append(std::move(set)); });
    return sets;
}

void SqlStore::forEachParameterSet(bool includeHidden, const std::function<void(AnalysisParameterPtr &&)> &visit)
{
    io::readParameterSets(context(), includeHidden, {}, [&visit](AnalysisParameterPtr &&set) {
        // A list is read for its names; the settings of a set are read when somebody looks at
        // them, so listing a thousand sets costs one query.
        set->deferSettings();
        visit(std::move(set));
    });
}

void SqlStore::forEachSnpLocusTag(const std::function<void(SNPLocusTagPtr &&)> &visit)
{
    io::readSnpLocusTags(context(), {}, visit);
}

FragAnalysisParamPtr SqlStore::settingsOf(const AnalysisParameter &set)
{
    return settingsOf(set.ID(), set.Name());
}

FragAnalysisParamPtr SqlStore::settingsOf(qint32 setId, const QString &nameForMessages)
{
    io::Context ctx = context();
    Transaction transaction(*m_pool, Transaction::Read);
    auto settings = FragAnalysisParamPtr::create();
    const std::optional<qint32> version = io::readSettings(ctx, io::Filter::byId(setId), *settings);
    transaction.commit();
    if (!version)
        throw Error(kStoreNotFound, types::kAnalysisParameter,
                    QStringLiteral("The parameter set \"%1\" is no longer stored.")
                        .arg(nameForMessages.isEmpty() ? QString::number(setId) : nameForMessages));
    noteVersion(settings->Name(), *version);
    return settings;
}

QList<SizeStandardPtr> SqlStore::sizeStandards()
{
    return io::sizeStandards(context());
}

QList<MobilityCalibrationPtr> SqlStore::mobilityCalibrations()
{
    return io::mobilityCalibrations(context());
}

QList<SizeCalibrationPtr> SqlStore::mobilityReferences()
{
    return io::mobilityReferences(context());
}

QList<SNPLocusTagPtr> SqlStore::snpLocusTags()
{
    return io::snpLocusTags(context());
}

QList<STRLocusTagPtr> SqlStore::strLocusTags()
{
    return io::strLocusTags(context());
}

QList<ProjectPtr> SqlStore::projects()
{
    return io::projects(context());
}

GridTypePtr SqlStore::gridType(qint32 gridTypeId)
{
    return io::gridType(context(), gridTypeId);
}

AnalysisParameterPtr SqlStore::parameterSet(qint32 id, const QString &name)
{
    io::Context ctx = context();
    Transaction transaction(*m_pool, Transaction::Read);
    const AnalysisParameterPtr set = firstOf(io::parameterSets(ctx, true, filterFor(id, name)));
    if (set)
        set->setFragAnalysisParam(settingsOf(set->ID(), set->Name()));
    transaction.commit();
    return set;
}

SizeStandardPtr SqlStore::sizeStandard(qint32 id, const QString &name)
{
    return firstOf(io::sizeStandards(context(), filterFor(id, name)));
}

MobilityCalibrationPtr SqlStore::mobilityCalibration(qint32 id, const QString &name)
{
    return firstOf(io::mobilityCalibrations(context(), filterFor(id, name)));
}

SizeCalibrationPtr SqlStore::mobilityReference(qint32 id, const QString &name)
{
    return firstOf(io::mobilityReferences(context(), filterFor(id, name)));
}

SNPLocusTagPtr SqlStore::snpLocusTag(qint32 id, const QString &name)
{
    return firstOf(io::snpLocusTags(context(), filterFor(id, name)));
}

STRLocusTagPtr SqlStore::strLocusTag(qint32 id, const QString &name)
{
    return firstOf(io::strLocusTags(context(), filterFor(id, name)));
}

ProjectPtr SqlStore::project(qint32 id, const QString &name)
{
    return firstOf(io::projects(context(), filterFor(id, name)));
}

// ---- definitions --------------------------------------------------------------------------------

template <typename F> static qint32 inWriteTransaction(SqlStore &store, F &&write)
{
    io::Context ctx = store.context();
    Transaction transaction(store.pool(), Transaction::Write);
    const qint32 id = write(ctx);
    transaction.commit();
    return id;
}

qint32 SqlStore::addProject(const QString &name)
{
    return inWriteTransaction(*this, [&](const io::Context &ctx) { return io::insertProject(ctx, name); });
}

qint32 SqlStore::addSizeStandard(const SizeStandardSettings &standard)
{
    return inWriteTransaction(*this, [&](const io::Context &ctx) { return io::insertSizeStandard(ctx, standard); });
}

qint32 SqlStore::addMobilityCalibration(const MobilityCalibrationSettings &calibration)
{
    return inWriteTransaction(*this,
                              [&](const io::Context &ctx) { return io::insertMobilityCalibration(ctx, calibration); });
}

qint32 SqlStore::addMobilityReference(const QString &name, qint32 enumTypeId)
{
    SizeCalibration reference;
    reference.setKind(SizeCalibration::kMobilityReference);
    reference.setName(name);
    reference.setEnumTypeID(enumTypeId);
    return inWriteTransaction(*this,
                              [&](const io::Context &ctx) { return io::insertMobilityReference(ctx, reference); });
}

qint32 SqlStore::addStrLocusTag(const STRLocusTag &tag)
{
    return inWriteTransaction(*this, [&](const io::Context &ctx) { return io::insertStrLocusTag(ctx, tag); });
}

} // namespace veltrane::host
