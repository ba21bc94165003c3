#include "host/objects/schema.h"

#include "veltrane/contracts/error.h"

#include <QDateTime>
#include <QStringList>

namespace veltrane::host::schema {

namespace {

// One statement per entry; %PK% is the engine's auto-numbered 32-bit key. Every name has a
// name_key beside it (see nameKey()) that carries the uniqueness, so names are unique exactly as
// keyed collections compare them.
const char *const kVersion1[] = {
    R"(CREATE TABLE projects (
         id %PK%,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE))",
    R"(CREATE TABLE size_standards (
         id %PK%,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         attributes INTEGER NOT NULL DEFAULT 0,
         dye_index INTEGER NOT NULL DEFAULT 0,
         fit_coefficient DOUBLE PRECISION NOT NULL DEFAULT 0))",
    R"(CREATE TABLE size_standard_fragments (
         size_standard_id INTEGER NOT NULL REFERENCES size_standards (id) ON DELETE CASCADE,
         position INTEGER NOT NULL,
         size DOUBLE PRECISION NOT NULL,
         PRIMARY KEY (size_standard_id, position)))",
    R"(CREATE TABLE mobility_calibrations (
         id %PK%,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         %COEFFICIENTS%))",
    R"(CREATE TABLE mobility_references (
         id %PK%,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         enum_type_id INTEGER NOT NULL DEFAULT 0))",
    R"(CREATE TABLE str_locus_tags (
         id %PK%,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         dye INTEGER NOT NULL DEFAULT 0,
         min_size DOUBLE PRECISION NOT NULL DEFAULT 0,
         max_size DOUBLE PRECISION NOT NULL DEFAULT 0,
         date_modified BIGINT NOT NULL DEFAULT 0))",
    R"(CREATE TABLE snp_locus_tags (
         id %PK%,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         tag_number DOUBLE PRECISION NOT NULL DEFAULT 0,
         text1 TEXT NOT NULL DEFAULT '',
         text2 TEXT NOT NULL DEFAULT '',
         text3 TEXT NOT NULL DEFAULT '',
         text4 TEXT NOT NULL DEFAULT '',
         date_modified BIGINT NOT NULL DEFAULT 0))",
    R"(CREATE TABLE grid_types (
         id INTEGER PRIMARY KEY,
         name TEXT NOT NULL))",
    R"(CREATE TABLE grid_type_columns (
         grid_type_id INTEGER NOT NULL REFERENCES grid_types (id) ON DELETE CASCADE,
         position INTEGER NOT NULL,
         title TEXT NOT NULL,
         width_twips INTEGER NOT NULL,
         alignment INTEGER NOT NULL DEFAULT 0,
         PRIMARY KEY (grid_type_id, position)))",
    // version counts commits of the row; it is how a session notices that someone else changed a
    // set since it read it.
    R"(CREATE TABLE parameter_sets (
         id %PK%,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         version INTEGER NOT NULL DEFAULT 1,
         project_id TEXT NOT NULL DEFAULT '',
         project_name TEXT NOT NULL DEFAULT '',
         type_code INTEGER NOT NULL DEFAULT 0,
         attributes INTEGER NOT NULL DEFAULT 0,
         date_created BIGINT NOT NULL DEFAULT 0,
         date_modified BIGINT NOT NULL DEFAULT 0,
         slope_threshold DOUBLE PRECISION NOT NULL DEFAULT 0,
         snp_analysis INTEGER NOT NULL DEFAULT 0,
         size_standard_id INTEGER REFERENCES size_standards (id),
         mobility_calibration_id INTEGER REFERENCES mobility_calibrations (id),
         mobility_reference_id INTEGER REFERENCES mobility_references (id),
         use_calculated_dye_spectra INTEGER NOT NULL DEFAULT 0,
         id_standard_by_size INTEGER NOT NULL DEFAULT 0,
         quantity_by_height INTEGER NOT NULL DEFAULT 0,
         %ROWS%))",
    R"(CREATE TABLE set_entries (
         set_id INTEGER NOT NULL REFERENCES parameter_sets (id) ON DELETE CASCADE,
         entry_index INTEGER NOT NULL,
         identify_alleles INTEGER NOT NULL DEFAULT 0,
         relative_peak_height_threshold DOUBLE PRECISION NOT NULL DEFAULT 0,
         confidence_level DOUBLE PRECISION NOT NULL DEFAULT 0,
         has_calibration INTEGER NOT NULL DEFAULT 0,
         calibration_name TEXT NOT NULL DEFAULT '',
         calibration_kind INTEGER NOT NULL DEFAULT 1,
         model_index INTEGER NOT NULL DEFAULT 0,
         migration_variable INTEGER NOT NULL DEFAULT 0,
         enum_type_id INTEGER NOT NULL DEFAULT 0,
         calibration_size_standard_id INTEGER REFERENCES size_standards (id),
         PRIMARY KEY (set_id, entry_index)))",
    R"(CREATE TABLE entry_selected_peaks (
         set_id INTEGER NOT NULL,
         entry_index INTEGER NOT NULL,
         position INTEGER NOT NULL,
         peak INTEGER NOT NULL,
         PRIMARY KEY (set_id, entry_index, position),
         FOREIGN KEY (set_id, entry_index) REFERENCES set_entries (set_id, entry_index) ON DELETE CASCADE))",
    R"(CREATE TABLE set_str_tags (
         set_id INTEGER NOT NULL,
         entry_index INTEGER NOT NULL,
         position INTEGER NOT NULL,
         tag_id INTEGER NOT NULL REFERENCES str_locus_tags (id),
         PRIMARY KEY (set_id, entry_index, position),
         FOREIGN KEY (set_id, entry_index) REFERENCES set_entries (set_id, entry_index) ON DELETE CASCADE))",
    R"(CREATE TABLE set_snp_tags (
         set_id INTEGER NOT NULL,
         entry_index INTEGER NOT NULL,
         position INTEGER NOT NULL,
         tag_id INTEGER NOT NULL REFERENCES snp_locus_tags (id),
         PRIMARY KEY (set_id, entry_index, position),
         FOREIGN KEY (set_id, entry_index) REFERENCES set_entries (set_id, entry_index) ON DELETE CASCADE))",
    "CREATE INDEX set_str_tags_tag ON set_str_tags (tag_id)",
    "CREATE INDEX set_snp_tags_tag ON set_snp_tags (tag_id)",
};

// Who wrote each set last, so a commit refused because someone else changed the set can say who.
const char *const kVersion2[] = {
    "ALTER TABLE parameter_sets ADD COLUMN modified_by TEXT NOT NULL DEFAULT ''",
};

QString expand(const char *statement, Engine engine)
{
    QString sql = QString::fromLatin1(statement);
    sql.replace(QLatin1String("%PK%"), engine == Engine::SQLite
                                           ? QLatin1String("INTEGER PRIMARY KEY")
                                           : QLatin1String("INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
    QStringList coefficients;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            coefficients << QStringLiteral("c%1%2 DOUBLE PRECISION NOT NULL DEFAULT 0").arg(r).arg(c);
    sql.replace(QLatin1String("%COEFFICIENTS%"), coefficients.join(QLatin1String(",\n         ")));
    QStringList rows;
    for (int i = 0; i < 4; ++i)
        rows << QStringLiteral("dye_spectra_%1 INTEGER NOT NULL DEFAULT 0").arg(i)
             << QStringLiteral("quant_size_time_%1 DOUBLE PRECISION NOT NULL DEFAULT 0").arg(i)
             << QStringLiteral("quant_window_%1 DOUBLE PRECISION NOT NULL DEFAULT 0").arg(i)
             << QStringLiteral("quant_amount_%1 DOUBLE PRECISION NOT NULL DEFAULT 0").arg(i)
             << QStringLiteral("quant_unit_%1 INTEGER NOT NULL DEFAULT 0").arg(i);
    sql.replace(QLatin1String("%ROWS%"), rows.join(QLatin1String(",\n         ")));
    return sql;
}

struct Migration
{
    int version;
    const char *const *begin;
    const char *const *end;
};

const Migration kMigrations[] = {
    {1, std::begin(kVersion1), std::end(kVersion1)},
    {2, std::begin(kVersion2), std::end(kVersion2)},
};

} // namespace

int migrate(const QSqlDatabase &db, const ConnectionSpec &spec)
{
    if (spec.engine == Engine::PostgreSQL) {
        // Two programs opening a new shared store at once must not both create it.
        execute(db, QStringLiteral("SELECT pg_advisory_xact_lock(7316501)"));
        if (!spec.schema.isEmpty())
            execute(db, QStringLiteral("CREATE SCHEMA IF NOT EXISTS \"%1\"").arg(spec.schema));
    }
    execute(db, QStringLiteral("CREATE TABLE IF NOT EXISTS schema_migrations ("
                               " version INTEGER PRIMARY KEY,"
                               " applied_at BIGINT NOT NULL)"));
    Statement current(db, QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_migrations"));
    current.exec();
    const int found = current.next() ? current.intAt(0) : 0;
    current.finish();
    if (found > kCurrentVersion)
        throw Error(kStoreSchemaTooNew, QStringLiteral("SqlStore"),
                    QStringLiteral("The store at %1 has schema version %2, which is newer than this program "
                                   "understands (version %3). Use a newer version of the program.")
                        .arg(spec.display)
                        .arg(found)
                        .arg(kCurrentVersion));

    for (const Migration &m : kMigrations) {
        if (m.version <= found)
            continue;
        for (auto it = m.begin; it != m.end; ++it)
            execute(db, expand(*it, spec.engine));
        Statement done(db, QStringLiteral("INSERT INTO schema_migrations (version, applied_at) VALUES (?, ?)"));
        done.bind(m.version).bind(QDateTime::currentSecsSinceEpoch()).exec();
    }
    return found;
}

} // namespace veltrane::host::schema
