#pragma once

#include <QString>
#include <QVariant>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace veltrane {

// One connection to an SQLite database, through SQLite's own library: the few calls the
// inventory needs, with SQLite's messages for what failed.
class SqlDatabase {
public:
    // A statement with its values bound, stepped row by row.
    class Query {
    public:
        Query(sqlite3* db, const char* sql);
        ~Query();
        Query(const Query&) = delete;
        Query& operator=(const Query&) = delete;

        // Values by position, from 1; a null QVariant binds NULL.
        Query& bind(int position, const QVariant& value);
        // The next row; false at the end or on a failure (then ok() is false).
        bool next();
        // Steps a statement that gives no rows; false on a failure.
        bool run();
        // To run it again with other values.
        void reset();

        QString text(int column) const;
        qint64 number(int column) const;
        bool isNull(int column) const;

        bool ok() const { return m_ok; }
        // SQLite's code of the failure: tells a damaged file from other failures.
        int errorCode() const { return m_error; }

    private:
        sqlite3_stmt* m_statement = nullptr;
        bool m_ok = true;
        int m_error = 0;
    };

    SqlDatabase();
    ~SqlDatabase();
    SqlDatabase(SqlDatabase&&) noexcept;
    SqlDatabase& operator=(SqlDatabase&&) noexcept;

    // An existing database file, for reading only or for reading and writing.
    bool openFile(const QString& path, bool readOnly);
    // A new or existing file, made when it is missing.
    bool createFile(const QString& path);
    bool openInMemory();
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // Runs statements that give no rows; false on a failure.
    bool exec(const char* sql);
    // The whole database copied to a file made for it; false on a failure.
    bool copyTo(const QString& path) const;
    // The whole database of another connection copied into this one.
    bool copyFrom(const SqlDatabase& other);
    sqlite3* handle() const { return m_db; }
    // What SQLite says of the last failure.
    QString errorText() const;
    int errorCode() const;

private:
    bool opened(int result);

    sqlite3* m_db = nullptr;
    // Why the last open failed.
    QString m_openFailure;
};

} // namespace veltrane
