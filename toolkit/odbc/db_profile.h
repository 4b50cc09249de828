// What differs between ODBC drivers, behind one small interface: a profile per driver
// (SQLite3, PostgreSQL) and a plain default for any other. The connection and the table
// ask their profile instead of testing driver names, so the next driver is one file.
#ifndef VQ_ODBC_DB_PROFILE_H
#define VQ_ODBC_DB_PROFILE_H

// NOTE: MinGW's <sql.h> needs the types of <windows.h> declared before it.
#include "vq/platform/windows_fixups.h"
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

class vqDbProfile {
public:
    virtual ~vqDbProfile() = default;

    // The profile for a driver, named as a connection string or SQL_DRIVER_NAME names it;
    // the default profile for a driver no profile claims. Profiles live for the program.
    static const vqDbProfile& ForDriver(const std::string& driverName);
    // Whether this profile serves the driver (its name in lower case).
    virtual bool Serves(const std::string& lowerDriverName) const = 0;
    virtual const char* Name() const = 0;

    // A connection-string key and the attributes added under it unless the string sets
    // the key: the option that makes the driver stream result sets. Null for none.
    virtual const char* StreamingKey() const { return nullptr; }
    virtual const char* StreamingAttributes() const { return nullptr; }
    // The same for the longest a statement waits for another connection's lock.
    virtual const char* LockWaitKey() const { return nullptr; }
    virtual std::string LockWaitAttributes(int /*milliseconds*/) const { return std::string(); }
    // Files the driver may be loaded from when the driver manager does not know its name.
    virtual std::vector<std::string> DriverPaths() const { return {}; }

    // Whether a failed statement's SQLSTATE and native code say it gave up waiting for a
    // lock that another connection holds.
    virtual bool IsLockWait(const std::string& sqlState, long nativeError) const;
    // SQL that is true when column (quoted) holds what the parameter markers it contains
    // carry, nulls equal to nulls; markers tells how many markers (each bound to the same
    // value). cType is the column's buffer type.
    virtual std::string SameValue(const std::string& column, SWORD cType, int& markers) const;
    // An expression giving the length in bytes of a text column's stored value when the
    // driver may cut a value at an embedded NUL when reading it; empty when it does not.
    virtual std::string StoredTextBytes(const std::string& /*column*/) const {
        return std::string();
    }
    // A column that orders the rows of a table and lets a scan read forward in batches,
    // each a statement read to its end, so the scan holds no lock between them. Null when
    // the driver's cursors hold no lock that stops other connections writing.
    virtual const char* BatchScanColumn() const { return nullptr; }
    // Whether an application's ORDER BY clause orders the rows of a table (its name
    // quoted) as the batch column does, so batches can go on from the last row read.
    virtual bool OrdersAsBatchColumn(SQLHDBC /*hdbc*/, const std::string& /*quotedTable*/,
                                     const std::string& /*orderBy*/) const {
        return false;
    }

    // Server cursors: whether the connection (its string as used) makes one of every
    // statement, and how many rows a cursor fetches per round trip.
    virtual bool UsesServerCursors(const std::string& /*connectionString*/) const { return false; }
    virtual bool SetCursorBatch(SQLHDBC /*hdbc*/, SQLULEN /*rows*/) const { return false; }
    // The connection string for a second connection that looks keys up without server
    // cursors; empty when the driver has no use for one.
    virtual std::string LookupConnectionString(const std::string& /*connectionString*/) const {
        return std::string();
    }
    // Gives the lookup connection the session settings of the main one and a lock wait
    // of at most lockWaitMs; false, with why set, when the lookups must stay on the main
    // connection.
    virtual bool PrepareLookupSession(SQLHDBC /*main*/, SQLHDBC /*lookup*/, long /*lockWaitMs*/,
                                      std::string& why) const {
        why = "the driver has no lookup connection";
        return false;
    }
    // The schema-qualified name under which the lookup connection finds the relation the
    // main connection finds as quotedName; empty when it cannot (a temporary table).
    virtual std::string LookupRelation(SQLHDBC /*main*/, const std::string& /*quotedName*/,
                                       std::string& why) const {
        why = "the driver has no lookup connection";
        return std::string();
    }
    // An expression that is the text "0" while no transaction changes, deletes or locks a
    // row, for lookups aside; null when the driver has none.
    virtual const char* RowVersionColumn() const { return nullptr; }
};

// Runs one statement with text parameters on a connection and collects its rows as UTF-8
// text (a null as an empty string). False, with why set, when it fails.
bool vqDbRunText(SQLHDBC hdbc, const std::string& sql, const std::vector<std::string>& params,
                 std::vector<std::vector<std::string>>* rows, std::string& why);

#endif
