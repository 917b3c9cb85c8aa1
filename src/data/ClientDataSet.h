#pragma once
// TClientDataSet: every row of its provider's result held in memory in an engine table. It opens
// through the provider named by ProviderName among its owner's components, binds its fields to the
// packet's columns, and edits, inserts, deletes and posts in memory only; closing discards it all.
//
// Rows come in packets as reading needs them. Opening asks for the first packet, so the statement is
// prepared and run, and every error of that, the field binding included, is raised by the open
// itself; the provider keeps the statement open on the next row. Reading past the last row held
// (moving, filling a data link's record window) asks for the next packet; the record count, the last
// record, a record number beyond the rows held and an appended record ask for all that are left;
// ReadMoreRecords takes them a packet of a given size at a time (a reader in idle time does so), and
// HeldRecordCount counts the rows held without asking for more.
// Closing ends the provider's read, so rows never read are never fetched. With PacketRecords -1 (all
// rows) this is invisible but for its cost: an open that nothing reads costs one small packet, not
// the whole result. PacketRecords above 0 fixes the packet size; FetchOnDemand False then leaves
// further packets to GetNextPacket. PacketRecords 0 opens with the field descriptions alone.
#include "data/DSEngine.h"
#include "data/DataSet.h"
#include "data/Params.h"
#include "data/Provider.h"

#include <map>
#include <memory>
#include <set>

class TClientDataSet : public TDataSet {
    MORVANE_CLASS_PROPS(TClientDataSet, TDataSet)
public:
    explicit TClientDataSet(TComponent* owner);
    ~TClientDataSet() override;

    const AnsiString& ProviderName() const { return providerName_; }
    void SetProviderName(const AnsiString& name);
    // Sent to the provider at the next open; rebuilds the parameters from its markers.
    const AnsiString& CommandText() const { return commandText_; }
    void SetCommandText(const AnsiString& text);
    int PacketRecords() const { return packetRecords_; }
    void SetPacketRecords(int value) { packetRecords_ = value; }
    bool FetchOnDemand() const { return fetchOnDemand_; }
    void SetFetchOnDemand(bool value) { fetchOnDemand_ = value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    TParams& Params() { return params_; }
    // Fetches the next packet (with PacketRecords -1 or 0: every row left) and answers how many rows
    // it brought; 0 once the provider has sent every row.
    int GetNextPacket();
    // Every row of the result is held: the provider has reached its end.
    bool AllFetched() const { return providerEOF_; }
    // The message of a packet request that failed after the open (the server's, say), empty if none
    // did. The rows held before it stay; no further packet is asked for, so a walk of the rows ends
    // early at them: whoever must see every row asks here.
    const AnsiString& FetchError() const { return fetchError_; }
    // The active record came from the provider (it was not inserted here), and a field's value as
    // the provider sent it (a text field), whole even where the field is narrower, whatever was posted
    // over it since.
    bool RecordFromProvider() const;
    AnsiString ProvidedText(const TField* field) const;
    // The rows held; all are held once the provider has sent its last or reading does not ask it for
    // more by itself (FetchOnDemand False with a packet size: GetNextPacket alone fetches).
    int HeldRecordCount() const override;
    bool AllRecordsHeld() const override { return !cursor_ || providerEOF_ || !fetchesOnDemand(); }
    // Fetches a packet of `count` rows (at least 1) when rows are still owed.
    int ReadMoreRecords(int count) override;
    // Entries of the in-memory change log (posted edits, inserts and deletes).
    int ChangeCount() const;
    // Bytes the engine holds for the rows, their index and the change log; 0 while closed.
    int64_t DataSize() const;

    int GetRecNo() const override;
    void SetRecNoValue(int value) override;
    // Reads the engine's rows through a cursor of its own, made at the first call.
    int ScanRecords(int from, int to, const std::vector<TField*>& fields, const TRecordTextVisitor& visit) override;

protected:
    void Notification(TComponent* component, Operation operation) override;
    int GetRecordSize() const override { return recordSize_; }
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return static_cast<bool>(cursor_); }
    void InternalFirst() override;
    void InternalLast() override;
    TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) override;
    void InternalInitRecord(char* buffer) override;
    TBookmarkFlag GetBookmarkFlag(const char* buffer) const override;
    void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) override;
    TBookmark GetBookmarkData(const char* buffer) const override;
    void SetBookmarkData(char* buffer, const TBookmark& bookmark) override;
    void InternalGotoBookmark(const TBookmark& bookmark) override;
    void InternalSetToRecord(const char* buffer) override;
    int DoCompareBookmarks(const TBookmark& a, const TBookmark& b) const override;
    bool DoBookmarkValid(const TBookmark& bookmark) const override;
    bool GetFieldData(const TField* field, void* buffer) const override;
    void SetFieldData(TField* field, const void* buffer) override;
    bool GetBlobData(const TField* field, AnsiString& value) const override;
    void SetBlobData(TField* field, const AnsiString* value) override;
    void InternalPost() override;
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalDelete() override;
    bool GetCanModify() const override;
    int GetRecordCount() const override;

private:
    void check(DBResult status) const { Check(status, table_.get()); }
    TLocalAppServer* appServer();
    void dropServer();
    // Builds the table and the fields from the first packet.
    void openTable(TDataPacket& packet);
    void putValue(TField* field, const void* value, uint32_t length);
    // Reading may ask the provider for more rows by itself.
    bool fetchesOnDemand() const { return packetRecords_ < 0 || fetchOnDemand_; }
    // Asks for `count` more rows (-1: all that are left) and appends them; answers the rows added.
    int fetchPacket(int count);
    // The size of the next packet a read asks for.
    int nextPacketSize();
    // Fetches until `rows` rows are held or the provider has no more (-1: no more).
    void fetchUpTo(int rows);
    // Tells the provider to reset; answers its status.
    int32_t resetProvider();

    AnsiString providerName_;
    AnsiString commandText_;
    int packetRecords_ = -1;
    bool fetchOnDemand_ = true;
    bool readOnly_ = false;
    TParams params_;

    std::unique_ptr<TLocalAppServer> server_;
    TComponent* providerComponent_ = nullptr;  // the provider server_ reaches
    DSPtr<IDSBase> table_;
    DSPtr<IDSCursor> cursor_;
    bool providerEOF_ = true;
    int64_t ownerData_ = 0;  // the provider's number of this dataset's read
    int packetSize_ = 0;     // of the next packet while PacketRecords is -1 or 0
    uint16_t packetFlags_ = 0;
    bool canModify_ = false;
    int engineRecordSize_ = 0;
    int bookmarkSize_ = 0;
    int recordSize_ = 0;
    mutable std::vector<char> scratch_;  // one value of any column
    AnsiString fetchError_;
    // Rows as the provider sent them, taken at their first modification, and the rows inserted here;
    // both by bookmark, both dropped on close.
    std::map<TBookmark, std::vector<char>> provided_;
    std::set<TBookmark> inserted_;
    DSPtr<IDSCursor> scanCursor_;        // ScanRecords' own, on table_
};
