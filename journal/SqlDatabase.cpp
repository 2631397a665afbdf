#include "SqlDatabase.h"

#include <QFile>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace veltrane {

namespace {

// How long a reader waits while another program writes.
constexpr int kBusyMs = 5000;

bool copyDatabase(sqlite3* to, sqlite3* from)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        return false;
    sqlite3_backup_step(backup, -1);
    return sqlite3_backup_finish(backup) == SQLITE_OK;
}

} // namespace

SqlDatabase::Query::Query(sqlite3* db, const char* sql)
{
    const int result = db ? sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) : SQLITE_MISUSE;
    if (result != SQLITE_OK) {
        m_ok = false;
        m_error = db ? sqlite3_extended_errcode(db) : result;
    }
}

SqlDatabase::Query::~Query()
{
    sqlite3_finalize(m_statement);
}

SqlDatabase::Query& SqlDatabase::Query::bind(int position, const QVariant& value)
{
    if (!m_statement)
        return *this;
    int result = SQLITE_OK;
    if (value.isNull()) {
        result = sqlite3_bind_null(m_statement, position);
    } else if (value.typeId() == QMetaType::QString) {
        const QByteArray utf8 = value.toString().toUtf8();
        result = sqlite3_bind_text(m_statement, position, utf8.constData(), int(utf8.size()),
                                   SQLITE_TRANSIENT);
    } else {
        result = sqlite3_bind_int64(m_statement, position, value.toLongLong());
    }
    if (result != SQLITE_OK) {
        m_ok = false;
        m_error = result;
    }
    return *this;
}

bool SqlDatabase::Query::next()
{
    if (!m_ok)
        return false;
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE) {
        m_ok = false;
        m_error = sqlite3_extended_errcode(sqlite3_db_handle(m_statement));
    }
    return false;
}

bool SqlDatabase::Query::run()
{
    while (next()) {
    }
    return m_ok;
}

void SqlDatabase::Query::reset()
{
    if (m_statement) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
}

QString SqlDatabase::Query::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(m_statement, column));
}

qint64 SqlDatabase::Query::number(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

bool SqlDatabase::Query::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

SqlDatabase::SqlDatabase() = default;

SqlDatabase::~SqlDatabase()
{
    close();
}

SqlDatabase::SqlDatabase(SqlDatabase&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_openFailure(std::move(other.m_openFailure))
{
}

SqlDatabase& SqlDatabase::operator=(SqlDatabase&& other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_openFailure = std::move(other.m_openFailure);
    }
    return *this;
}

bool SqlDatabase::opened(int result)
{
    if (result != SQLITE_OK) {
        m_openFailure = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
        close();
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyMs);
    sqlite3_extended_result_codes(m_db, 1);
    return true;
}

bool SqlDatabase::openFile(const QString& path, bool readOnly)
{
    close();
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    return opened(sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr));
}

bool SqlDatabase::createFile(const QString& path)
{
    close();
    return opened(sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr));
}

bool SqlDatabase::openInMemory()
{
    close();
    return opened(sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE, nullptr));
}

void SqlDatabase::close()
{
    // Closed also when it failed to open: SQLite hands out a handle for its message.
    sqlite3_close_v2(std::exchange(m_db, nullptr));
}

bool SqlDatabase::exec(const char* sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqlDatabase::copyTo(const QString& path) const
{
    SqlDatabase target;
    return m_db && target.createFile(path) && copyDatabase(target.m_db, m_db);
}

bool SqlDatabase::copyFrom(const SqlDatabase& other)
{
    return m_db && other.m_db && copyDatabase(m_db, other.m_db);
}

QString SqlDatabase::errorText() const
{
    if (m_db)
        return QString::fromUtf8(sqlite3_errmsg(m_db));
    return m_openFailure.isEmpty() ? u"the database is not open"_s : m_openFailure;
}

int SqlDatabase::errorCode() const
{
    return m_db ? sqlite3_extended_errcode(m_db) : SQLITE_MISUSE;
}

} // namespace veltrane
