#pragma once
// The published driver interfaces: what a database driver library offers and what TSQLConnection and
// the statement datasets call. Every call answers a 16-bit result code, 0 meaning success. Values
// cross as raw bytes: text as zero-terminated bytes of the database's own text (no character-set
// conversion unless a server character set was asked for), dates and times in the plain structs below.
//
// Objects are reference counted: whoever receives an object from a call owns one reference and gives
// it back with release(). An object keeps its parent alive (a cursor its command, a command its
// connection, a connection its driver), so references may be given back in any order.
#include <cstdint>

using SQLResult = uint16_t;

// Result codes.
enum : SQLResult {
    SQL_SUCCESS = 0,
    SQL_WARNING = 1,
    SQL_NO_MEMORY = 2,
    SQL_INVALID_FIELD_TYPE = 3,
    SQL_INVALID_HANDLE = 4,
    SQL_NOT_SUPPORTED = 5,
    SQL_INVALID_TIME = 6,
    SQL_INVALID_TRANSLATION = 7,
    SQL_OUT_OF_RANGE = 8,
    SQL_INVALID_PARAMETER = 9,
    SQL_EOF = 10,
    SQL_PARAMETER_NOT_SET = 11,
    SQL_INVALID_LOGIN = 12,
    SQL_INVALID_PRECISION = 13,
    SQL_INVALID_LENGTH = 14,
    SQL_INVALID_ISOLATION = 15,
    SQL_INVALID_TRANSACTION_ID = 16,
    SQL_DUPLICATE_TRANSACTION_ID = 17,
    SQL_TRANSACTION_ACTIVE = 19,
    SQL_MULTIPLE_TRANSACTIONS_DISABLED = 20,
    SQL_CONNECTION_FAILED = 21,
    SQL_DRIVER_INIT_FAILED = 22,
    SQL_OPTIMISTIC_LOCK_FAILED = 23,
    SQL_INVALID_REF = 24,
    SQL_NO_TABLE = 25,
    SQL_NO_MORE_DATA = 64,
    SQL_SERVER_ERROR = 65,   // the server refused the request; its own text is the object's error message
    SQL_END_OF_DATA = 100,
};

// Connection options (ISQLConnection::setOption / getOption). Flags are 0 or 1, numbers are numbers,
// text options take a pointer to zero-terminated text on set and fill a buffer on get.
enum SQLConnectionOption : int32_t {
    SQL_CONN_AUTO_COMMIT = 0,
    SQL_CONN_BLOCKING_MODE = 1,
    SQL_CONN_BLOB_SIZE = 2,            // kilobytes read of a blob at most; -1 = no limit
    SQL_CONN_ROLE_NAME = 3,
    SQL_CONN_WAIT_ON_LOCKS = 4,
    SQL_CONN_COMMIT_RETAIN = 5,
    SQL_CONN_TRANSACTION_ISOLATION = 6,  // SQLIsolation
    SQL_CONN_TRACE_CALLBACK = 9,
    SQL_CONN_HOST_NAME = 10,
    SQL_CONN_TRACE_DATA = 12,
    SQL_CONN_MAX_ACTIVE_STATEMENTS = 14, // 0 = no limit
    SQL_CONN_SERVER_CHARSET = 15,
    SQL_CONN_SQL_DIALECT = 16,
    SQL_CONN_OS_AUTHENTICATION = 20,
    SQL_CONN_MULTIPLE_TRANSACTION = 22,
    SQL_CONN_SERVER_PORT = 23,
    SQL_CONN_TRIM_CHAR = 25,
    SQL_CONN_CUSTOM_STRING = 31,
    SQL_CONN_TIMEOUT = 32,             // seconds
};

enum SQLIsolation : int32_t {
    SQL_ISOLATION_READ_COMMITTED = 0,
    SQL_ISOLATION_REPEATABLE_READ = 1,
    SQL_ISOLATION_DIRTY_READ = 2,
};

// Metadata options (ISQLMetaData::setOption / getOption).
enum SQLMetaDataOption : int32_t {
    SQL_META_SCHEMA_NAME = 1,
    SQL_META_TRANSACTIONS_SUPPORTED = 5,     // 4-byte flag
    SQL_META_OBJECT_QUOTE_CHAR = 11,         // 1 byte
    SQL_META_MULTIPLE_TRANSACTIONS = 15,     // 4-byte flag
};

// Command options (ISQLCommand::setOption / getOption).
enum SQLCommandOption : int32_t {
    SQL_CMD_ROWS_PER_FETCH = 0,
    SQL_CMD_STORED_PROCEDURE = 7,
    SQL_CMD_RETURNS_CURSOR = 40,  // get only, after prepare: 4-byte flag, 1 when executing gives a cursor
};

// Column and parameter types (getColumnType) and their subtypes.
enum SQLColumnType : uint16_t {
    SQL_COL_UNKNOWN = 0,
    SQL_COL_TEXT = 1,        // zero-terminated bytes; length = bytes without the terminator
    SQL_COL_DATE = 2,        // SQLDate
    SQL_COL_BLOB = 3,
    SQL_COL_BOOL = 4,        // read with getShort: 0 or 1
    SQL_COL_INT16 = 5,
    SQL_COL_INT32 = 6,
    SQL_COL_FLOAT = 7,       // read with getDouble
    SQL_COL_BCD = 8,         // SQLBcd
    SQL_COL_BYTES = 9,
    SQL_COL_TIME = 10,       // SQLTime
    SQL_COL_TIMESTAMP = 11,  // SQLTimeStamp
    SQL_COL_UINT16 = 12,
    SQL_COL_UINT32 = 13,
    SQL_COL_VARBYTES = 15,
    SQL_COL_CURSOR = 17,
    SQL_COL_INT64 = 18,
    SQL_COL_UINT64 = 19,
    SQL_COL_ADT = 20,
    SQL_COL_ARRAY = 21,
    SQL_COL_REF = 22,
    SQL_COL_TABLE = 23,
    SQL_COL_DATETIME = 24,   // SQLTimeStamp
    SQL_COL_DECIMAL = 25,    // SQLBcd
};

enum SQLColumnSubType : uint16_t {
    SQL_SUBTYPE_NONE = 0,
    SQL_SUBTYPE_MEMO = 1,        // text blob
    SQL_SUBTYPE_BINARY = 2,      // binary blob
    SQL_SUBTYPE_FMTMEMO = 3,
    SQL_SUBTYPE_GRAPHIC = 4,
    SQL_SUBTYPE_MONEY = 21,
    SQL_SUBTYPE_AUTOINC = 29,
    SQL_SUBTYPE_FIXEDCHAR = 31,  // CHAR: the value always has the column's length (unless trimmed)
};

struct SQLDate {
    int16_t year;
    uint16_t month;
    uint16_t day;
};

struct SQLTime {
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint32_t fraction;  // ten-thousandths of a second
};

struct SQLTimeStamp {
    int16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint32_t fraction;  // ten-thousandths of a second
};

// An exact number: value / 10^scale.
struct SQLBcd {
    int64_t value;
    int16_t precision;
    int16_t scale;
};

// Parameter directions (ISQLCommand::setParameter).
enum SQLParamDirection : uint16_t {
    SQL_PARAM_IN = 1,
    SQL_PARAM_OUT = 2,
    SQL_PARAM_INOUT = 3,
    SQL_PARAM_RESULT = 4,
};

// Called with trace text when a trace callback is set (connection option 9; option 12 is its data).
typedef void (*SQLTraceCallback)(void* data, const char* text);

class ISQLObject {
public:
    virtual uint32_t addRef() = 0;
    virtual uint32_t release() = 0;

protected:
    virtual ~ISQLObject() = default;
};

class ISQLCursor;
class ISQLCommand;
class ISQLMetaData;
class ISQLConnection;

class ISQLDriver : public ISQLObject {
public:
    virtual SQLResult getSQLConnection(ISQLConnection** connection) = 0;
    virtual SQLResult setOption(int32_t option, intptr_t value) = 0;
    virtual SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) = 0;
};

class ISQLConnection : public ISQLObject {
public:
    virtual SQLResult connect(const char* database, const char* userName, const char* password) = 0;
    virtual SQLResult disconnect() = 0;
    virtual SQLResult getSQLCommand(ISQLCommand** command) = 0;
    virtual SQLResult getSQLMetaData(ISQLMetaData** metaData) = 0;
    // A text option's value is a pointer to zero-terminated text; every other a number or flag.
    virtual SQLResult setOption(int32_t option, intptr_t value) = 0;
    virtual SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) = 0;
    // One transaction at a time; `id` names it for commit and rollback.
    virtual SQLResult beginTransaction(uint32_t id, int32_t isolation) = 0;
    virtual SQLResult commit(uint32_t id) = 0;
    virtual SQLResult rollback(uint32_t id) = 0;
    // The text of the last failure: length without the terminator, then the text into length + 1 bytes.
    virtual SQLResult getErrorMessage(char* buffer) = 0;
    virtual SQLResult getErrorMessageLen(uint16_t* length) = 0;
};

class ISQLCommand : public ISQLObject {
public:
    virtual SQLResult setOption(int32_t option, intptr_t value) = 0;
    virtual SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) = 0;
    // Parameter `index` counts from 1; `type` is an SQLColumnType; `value` holds `length` bytes of the
    // type's representation (text: its bytes, no terminator needed).
    virtual SQLResult setParameter(uint16_t index, uint16_t direction, uint16_t type, const void* value,
                                   uint32_t length, bool isNull) = 0;
    virtual SQLResult getParameter(uint16_t index, void* buffer, uint32_t length, bool* isNull) = 0;
    virtual SQLResult prepare(const char* sql, uint16_t paramCount) = 0;
    // A statement that yields rows answers a cursor; any other answers a null cursor.
    virtual SQLResult execute(ISQLCursor** cursor) = 0;
    virtual SQLResult executeImmediate(const char* sql, ISQLCursor** cursor) = 0;
    virtual SQLResult getNextCursor(ISQLCursor** cursor) = 0;
    virtual SQLResult getRowsAffected(uint32_t* rows) = 0;
    virtual SQLResult close() = 0;
    virtual SQLResult getErrorMessage(char* buffer) = 0;
    virtual SQLResult getErrorMessageLen(uint16_t* length) = 0;
};

// Columns count from 1. A value getter fills its out value and the null flag; a text value needs a
// buffer of the column's length + 1 bytes, a bytes value one of the column's length.
class ISQLCursor : public ISQLObject {
public:
    virtual SQLResult setOption(int32_t option, intptr_t value) = 0;
    virtual SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) = 0;
    virtual SQLResult getErrorMessage(char* buffer) = 0;
    virtual SQLResult getErrorMessageLen(uint16_t* length) = 0;
    virtual SQLResult getColumnCount(uint16_t* count) = 0;
    virtual SQLResult getColumnNameLength(uint16_t column, uint16_t* length) = 0;
    virtual SQLResult getColumnName(uint16_t column, char* name) = 0;
    virtual SQLResult getColumnType(uint16_t column, uint16_t* type, uint16_t* subType) = 0;
    virtual SQLResult getColumnLength(uint16_t column, uint32_t* length) = 0;
    virtual SQLResult getColumnPrecision(uint16_t column, int16_t* precision) = 0;
    virtual SQLResult getColumnScale(uint16_t column, int16_t* scale) = 0;
    virtual SQLResult isNullable(uint16_t column, bool* nullable) = 0;
    virtual SQLResult isAutoIncrement(uint16_t column, bool* autoIncrement) = 0;
    virtual SQLResult isReadOnly(uint16_t column, bool* readOnly) = 0;
    virtual SQLResult isSearchable(uint16_t column, bool* searchable) = 0;
    virtual SQLResult isBlobSizeExact(uint16_t column, bool* exact) = 0;
    // SQL_SUCCESS: a row is current; SQL_EOF or SQL_END_OF_DATA: no more rows.
    virtual SQLResult next() = 0;
    virtual SQLResult getString(uint16_t column, char* value, bool* isNull) = 0;
    virtual SQLResult getShort(uint16_t column, int16_t* value, bool* isNull) = 0;
    virtual SQLResult getLong(uint16_t column, int32_t* value, bool* isNull) = 0;
    virtual SQLResult getInt64(uint16_t column, int64_t* value, bool* isNull) = 0;
    virtual SQLResult getDouble(uint16_t column, double* value, bool* isNull) = 0;
    virtual SQLResult getBcd(uint16_t column, SQLBcd* value, bool* isNull) = 0;
    virtual SQLResult getTimeStamp(uint16_t column, SQLTimeStamp* value, bool* isNull) = 0;
    virtual SQLResult getTime(uint16_t column, SQLTime* value, bool* isNull) = 0;
    virtual SQLResult getDate(uint16_t column, SQLDate* value, bool* isNull) = 0;
    virtual SQLResult getBytes(uint16_t column, uint8_t* value, bool* isNull) = 0;
    virtual SQLResult getBlobSize(uint16_t column, uint32_t* size, bool* isNull) = 0;
    // Reads at most `length` bytes of the blob.
    virtual SQLResult getBlob(uint16_t column, void* value, bool* isNull, uint32_t length) = 0;
};

// Object lists answer cursors. getTables: columns TABLE_NAME (text), TABLE_TYPE (int32: 1 table,
// 2 view, 4 system table). getColumns: COLUMN_NAME (text), COLUMN_POSITION (int32), NULLABLE (int32).
enum SQLTableType : uint32_t {
    SQL_TABLE_TYPE_TABLE = 1,
    SQL_TABLE_TYPE_VIEW = 2,
    SQL_TABLE_TYPE_SYSTEM = 4,
};

class ISQLMetaData : public ISQLObject {
public:
    virtual SQLResult setOption(int32_t option, intptr_t value) = 0;
    virtual SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) = 0;
    // `pattern` is a LIKE pattern; null or empty = every object.
    virtual SQLResult getTables(const char* pattern, uint32_t tableTypes, ISQLCursor** cursor) = 0;
    virtual SQLResult getColumns(const char* tableName, ISQLCursor** cursor) = 0;
    virtual SQLResult getErrorMessage(char* buffer) = 0;
    virtual SQLResult getErrorMessageLen(uint16_t* length) = 0;
};

// The exported entry of a driver library (for Firebird "getSQLDriverFIREBIRD"): loads the client
// library `vendorLib` and answers a new driver object.
typedef SQLResult (*GetDriverFunc)(const char* vendorLib, const char* errorResourceFile, ISQLDriver** out);
