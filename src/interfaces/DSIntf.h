#pragma once
// The in-memory table engine (libdsengine.so): a table holding the rows of a data packet, cursors that
// move over them, read and edit them, and a writer that builds data packets. Objects are reached
// through the library's exported entry DllGetClassObject and its class factories, COM style, and are
// reference counted: whoever receives an object owns one reference and gives it back with Release().
// A cursor keeps its table alive.
//
// Every operation answers a DBResult: DBERR_NONE (0) or one of the status codes below. The table's
// GetErrorString turns a code into text.
//
// Data packet (all numbers little-endian, the byte order of the machine; a packet never leaves the
// process that made it):
//
//   header, 24 bytes:
//     0  char[4]   magic "MVDP"
//     4  uint16    format version (1)
//     6  uint16    packet flags (DSPacketFlag)
//     8  uint32    field count n (at least 1)
//     12 uint32    row count
//     16 uint32    offset of the first row from the start of the packet
//     20 uint32    0
//   n field descriptions:
//     uint8 name length (1..63), name bytes, uint16 type (DSFieldType), uint16 subtype,
//     uint32 size, uint16 precision, int16 scale, uint8 attributes (DSFieldAttr)
//   rows, one after the other, each:
//     null bitmap: (n + 7) / 8 bytes, bit (c % 8) of byte c / 8 set when column c (0-based) is null;
//     fixed part: one slot per fixed-width column in column order, of the type's width, holding the
//       value (zero when null);
//     variable part: for each non-null text, bytes or blob column in column order, the
//       length as an unsigned LEB128 number (7 bits a byte, low bits first) followed by the bytes.
//
// The table keeps its rows in exactly this row form, so appending a packet copies its row block once,
// or not at all when the engine's own writer built the packet (the table then shares its bytes).
//
// Values, as PutValue / PutField take them and GetField gives them (`length` counts bytes):
//   dsfText, dsfFixedText     bytes of the process code page, at most `size` of them; GetField adds a
//                             terminating zero (the value buffer needs size + 1 bytes). A fixed-length
//                             value is stored as given (no padding).
//   dsfBytes, dsfVarBytes     at most `size` bytes (the value buffer needs size bytes).
//   dsfBlob, dsfMemo          any number of bytes; GetField with a null value answers only the length.
//   dsfInt16 int16_t, dsfInt32 int32_t, dsfInt64 int64_t, dsfUInt16 uint16_t,
//   dsfFloat64 and dsfCurrency double,
//   dsfBcd and dsfFmtBcd      int64_t: the number times 10^scale,
//   dsfDate                   int32_t: days since 30 December 1899,
//   dsfTime                   int32_t: milliseconds since midnight, 0..86399999,
//   dsfTimeStamp              int64_t: milliseconds since 30 December 1899 00:00,
//   dsfBoolean                uint8_t: 0 or 1 (any other value is taken as 1).
//   A fixed-width value's length must be the type's width.
//
// A value longer than its field's declared size is refused with DBERR_STRINGTOOLONG, never cut: the
// engine does not lose bytes silently. Whoever shortens a value (a text field of a smaller size) does
// so before handing it over.
#include <cstdint>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return false;
        return true;
    }
};

inline constexpr GUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Table.
inline constexpr GUID CLSID_DSBase{0x58398081, 0xA733, 0x5076, {0x93, 0xAD, 0xF7, 0xBA, 0xD3, 0x36, 0x3F, 0x1F}};
inline constexpr GUID IID_IDSBase{0x388B2AC6, 0x105F, 0x5B59, {0xA3, 0xCF, 0x66, 0x28, 0xF4, 0x10, 0x77, 0xCD}};
// Cursor.
inline constexpr GUID CLSID_DSCursor{0xDD8E5AB3, 0x3A75, 0x5C75, {0xB0, 0xF9, 0x5D, 0x2F, 0x23, 0xAA, 0xBE, 0xDA}};
inline constexpr GUID IID_IDSCursor{0xCC0CFB29, 0x4EFB, 0x5D3B, {0x80, 0x89, 0x3D, 0xA2, 0x64, 0xCE, 0xF3, 0x15}};
// Packet writer.
inline constexpr GUID CLSID_DSWriter{0xB99B185C, 0x4561, 0x5B15, {0x8A, 0xC6, 0x95, 0x77, 0x10, 0x79, 0x67, 0x55}};
inline constexpr GUID IID_IDSWriter{0xB8D3291E, 0x99E2, 0x5C4A, {0x8C, 0xD0, 0xAD, 0x17, 0xE5, 0x71, 0x28, 0xA3}};

using DBResult = int32_t;

// Status codes.
inline constexpr DBResult DBERR_NONE = 0;
inline constexpr DBResult DBERR_BOF = 0x2201;             // no row before the cursor
inline constexpr DBResult DBERR_EOF = 0x2202;             // no row after the cursor
inline constexpr DBResult DBERR_NOCURRREC = 0x2203;       // the cursor is between rows
inline constexpr DBResult DBERR_OUTOFRANGE = 0x2204;      // a sequence number beyond the rows
inline constexpr DBResult DBERR_INVALIDBOOKMARK = 0x2205; // a bookmark of no row of this table, or of a deleted row
inline constexpr DBResult DBERR_INVALIDFIELDNO = 0x2301;  // a column number outside 1..field count
inline constexpr DBResult DBERR_INVALIDFIELDTYPE = 0x2302; // an unknown field type
inline constexpr DBResult DBERR_INVALIDFIELDDESC = 0x2303; // a field description that cannot be used (name, size)
inline constexpr DBResult DBERR_STRINGTOOLONG = 0x2304;   // a value longer than its field's size
inline constexpr DBResult DBERR_INVALIDVALUE = 0x2305;    // a value the field's type cannot hold (width, time of day)
inline constexpr DBResult DBERR_INVALIDBLOB = 0x2306;     // a record buffer naming blob bytes the table does not hold
inline constexpr DBResult DBERR_INVALIDPACKET = 0x2401;   // a data packet that is not well formed
inline constexpr DBResult DBERR_PACKETMISMATCH = 0x2402;  // a further packet whose fields differ from the table's
inline constexpr DBResult DBERR_READONLY = 0x2501;        // the table is read-only
inline constexpr DBResult DBERR_NOTINITIALIZED = 0x2601;  // a table without fields, a cursor without table, a writer not begun
inline constexpr DBResult DBERR_ROWINCOMPLETE = 0x2602;   // a writer asked to finish in the middle of a row
inline constexpr DBResult DBERR_INVALIDPARAM = 0x2603;    // a null pointer or an unknown property
inline constexpr DBResult DBERR_NOMEMORY = 0x2604;

// Results of the COM-style calls (QueryInterface, class factories, DllGetClassObject).
inline constexpr int32_t DS_E_NOINTERFACE = static_cast<int32_t>(0x80004002);
inline constexpr int32_t DS_E_POINTER = static_cast<int32_t>(0x80004003);
inline constexpr int32_t DS_E_NOAGGREGATION = static_cast<int32_t>(0x80040110);
inline constexpr int32_t DS_E_CLASSNOTAVAILABLE = static_cast<int32_t>(0x80040111);

enum DSFieldType : uint16_t {
    dsfUnknown = 0,
    dsfText = 1,
    dsfFixedText = 2,
    dsfInt16 = 3,
    dsfInt32 = 4,
    dsfInt64 = 5,
    dsfUInt16 = 6,
    dsfFloat64 = 7,
    dsfCurrency = 8,
    dsfBcd = 9,
    dsfFmtBcd = 10,
    dsfDate = 11,
    dsfTime = 12,
    dsfTimeStamp = 13,
    dsfBoolean = 14,
    dsfBytes = 15,
    dsfVarBytes = 16,
    dsfBlob = 17,
    dsfMemo = 18,
    dsfLastType = dsfMemo,
};

enum DSFieldAttr : uint8_t {
    dsattrRequired = 1,
    dsattrReadOnly = 2,
};

// Settings a packet carries for its reader. The table reports them; it enforces only dspfReadOnly.
enum DSPacketFlag : uint16_t {
    dspfReadOnly = 1,
    dspfDisableEdits = 2,
    dspfDisableInserts = 4,
    dspfDisableDeletes = 8,
    dspfNoResetCall = 16,
};

constexpr int DS_MAX_NAME = 63;
constexpr int DS_MAX_ERROR_STRING = 2048;

// One column. `size` is the declared length in bytes for text and bytes fields and 0 for the others
// (the table fills it in for fixed-width types as their width); precision and scale matter for the
// two decimal types and are carried for the others. `subType` is kept for the reader, never looked at
// (memo kind of a blob, automatic numbering of an integer, ...). A fixed-length text is dsfFixedText.
struct DSFieldDesc {
    char name[DS_MAX_NAME + 1];  // zero-terminated
    uint16_t type;               // DSFieldType
    uint16_t subType;
    uint32_t size;
    uint16_t precision;
    int16_t scale;
    uint8_t attributes;          // DSFieldAttr bits
    uint32_t valueSize;          // out: bytes a GetField value buffer needs (blob: 0, ask for the length)
};

// What a table (and a cursor on it) reports.
struct DSProps {
    uint32_t fieldCount;
    uint32_t recordSize;      // bytes of a record buffer
    uint32_t bookmarkSize;    // bytes of a bookmark
    uint32_t recordCount;     // rows, deleted ones not counted
    uint32_t changeCount;     // entries of the change log
    uint16_t packetFlags;     // DSPacketFlag bits of the first packet
    bool readOnly;            // from the packet or set afterwards
    bool isDelta;             // the table holds a change log packet (never, for now)
    bool complete;            // the last packet appended carried the end flag
    bool trimStrings;
    uint64_t arenaBytes;      // bytes the table holds for its rows, their index and order
};

// Settings of a table (IDSBase::SetProp).
enum DSProp : uint32_t {
    dspropTrimStrings = 1,  // 0/1, default 0: GetField drops trailing blanks of text values
    dspropReadOnly = 2,     // 0/1: refuse modify, insert and delete
};

enum DSChangeKind : uint8_t {
    dschModify = 1,
    dschInsert = 2,
    dschDelete = 3,
};

class IUnknown {
public:
    virtual int32_t QueryInterface(const GUID& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
public:
    virtual int32_t CreateInstance(IUnknown* outer, const GUID& iid, void** out) = 0;
};

// The packet writer. Begin with the field descriptions (beginning again drops what was written); put
// the values of each row in column order (a row ends with its last column); Finish gives the packet,
// which stays owned by the writer until it begins again or is released. More rows may follow a
// Finish; the next Finish gives the longer packet.
class IDSWriter : public IUnknown {
public:
    virtual DBResult Begin(const DSFieldDesc* fields, uint32_t fieldCount, uint16_t packetFlags) = 0;
    // The next column's value; a null `value` puts a null.
    virtual DBResult PutValue(const void* value, uint32_t length) = 0;
    virtual DBResult Finish(const uint8_t** packet, uint64_t* length) = 0;
    virtual DBResult GetRowCount(uint32_t* rows) = 0;
};

// The table.
class IDSBase : public IUnknown {
public:
    // The first packet gives the fields and rows; each further one adds its rows and must describe the
    // same fields. `complete` tells that the sender has no more rows. A failing packet adds nothing.
    virtual DBResult AppendData(const uint8_t* packet, uint64_t length, bool complete) = 0;
    virtual DBResult GetProps(DSProps* props) = 0;
    // One description per field, in column order, into an array of field-count entries.
    virtual DBResult GetFieldDescs(DSFieldDesc* fields) = 0;
    virtual DBResult SetProp(uint32_t prop, int64_t value) = 0;
    // The text for a status code, zero-terminated, at most DS_MAX_ERROR_STRING bytes with the zero.
    virtual DBResult GetErrorString(DBResult code, char* text) = 0;
    // Change log entry `index` (0-based, oldest first): its kind and the bookmark of its row.
    virtual DBResult GetChange(uint32_t index, uint8_t* kind, void* bookmark) = 0;
};

// Receives one row's texts during IDSCursor::ScanText: the bytes and length of each column asked for,
// in the order asked; answers true to stop the scan at this row.
using DSTextVisitor = bool (*)(void* context, uint32_t seqNo, const char* const* texts, const uint32_t* lengths);

// A cursor. It stands either on a row or between two rows (before the first row = the beginning,
// after the last = the end). Columns count from 1. Record buffers are recordSize bytes the caller owns;
// a buffer filled by the cursor or by InitRecord may be edited with PutField and written back.
class IDSCursor : public IUnknown {
public:
    virtual DBResult InitCursor(IDSBase* table) = 0;
    virtual DBResult GetCursorProps(DSProps* props) = 0;
    virtual DBResult MoveToBOF() = 0;
    virtual DBResult MoveToEOF() = 0;
    // Move one row on (back) and fill `record` (may be null). At the last (first) row the cursor
    // moves to the end (beginning) and answers DBERR_EOF (DBERR_BOF).
    virtual DBResult GetNextRecord(void* record) = 0;
    virtual DBResult GetPriorRecord(void* record) = 0;
    // DBERR_NOCURRREC between rows.
    virtual DBResult GetCurrentRecord(void* record) = 0;
    virtual DBResult GetRecordCount(uint32_t* count) = 0;
    // The current row's position, 1-based; DBERR_NOCURRREC between rows.
    virtual DBResult GetSequenceNumber(uint32_t* seqNo) = 0;
    // DBERR_OUTOFRANGE outside 1..record count (the cursor stays).
    virtual DBResult MoveToSeqNo(uint32_t seqNo) = 0;
    virtual DBResult GetCurrentBookmark(void* bookmark) = 0;
    virtual DBResult MoveToBookmark(const void* bookmark) = 0;
    // -1, 0 or 1 by the rows' order; 2 when either bookmark is null, invalid or of a deleted row.
    virtual DBResult CompareBookmarks(const void* bookmark1, const void* bookmark2, int32_t* result) = 0;
    virtual DBResult IsValidBookmark(const void* bookmark, bool* valid) = 0;
    // Every field null.
    virtual DBResult InitRecord(void* record) = 0;
    // `value` receives the value (see the header comment; may be null), `length` its bytes, `isNull`
    // the null flag; both outs may be null.
    virtual DBResult GetField(const void* record, uint32_t column, void* value, uint32_t* length,
                              bool* isNull) = 0;
    // Would PutField accept this value? A null `value` is a null.
    virtual DBResult VerifyField(uint32_t column, const void* value, uint32_t length) = 0;
    virtual DBResult PutField(void* record, uint32_t column, const void* value, uint32_t length) = 0;
    // The buffer replaces the current row.
    virtual DBResult ModifyRecord(const void* record) = 0;
    // The buffer becomes a new row before the current one (at the end: after the last); the cursor
    // moves onto it.
    virtual DBResult InsertRecord(const void* record) = 0;
    // The current row goes; the cursor stands between its neighbours.
    virtual DBResult DeleteRecord() = 0;
    // A search's reading: the text of `count` columns of the rows from position `from` to `to`
    // (1-based, either way; `to` past the last row stops at the last), read in place from the stored
    // rows, with no record buffer filled and the cursor left where it is. A null value, column 0 and a
    // column that is not text read as empty; text is trimmed as GetField trims it. The scan stops at
    // the first row `visit` answers true for, whose position goes to *found, else *found is 0.
    // DBERR_OUTOFRANGE when `from` is no row.
    virtual DBResult ScanText(uint32_t from, uint32_t to, const uint32_t* columns, uint32_t count,
                              DSTextVisitor visit, void* context, uint32_t* found) = 0;
};

// The library's exported entry: a class factory for one of the three classes.
extern "C" int32_t DllGetClassObject(const GUID& clsid, const GUID& iid, void** out);
using DllGetClassObjectFunc = int32_t (*)(const GUID& clsid, const GUID& iid, void** out);
