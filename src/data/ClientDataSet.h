#pragma once
// TClientDataSet: every row of its provider's result held in memory in an engine table. It opens
// through the provider named by ProviderName among its owner's components, binds its fields to the
// packet's columns, and edits, inserts, deletes and posts in memory only; closing discards it all.
#include "data/DSEngine.h"
#include "data/DataSet.h"
#include "data/Params.h"
#include "data/Provider.h"

#include <memory>

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
    // Entries of the in-memory change log (posted edits, inserts and deletes).
    int ChangeCount() const;
    // Bytes the engine holds for the rows, their index and the change log; 0 while closed.
    int64_t DataSize() const;

    int GetRecNo() const override;
    void SetRecNoValue(int value) override;

protected:
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
    void putValue(TField* field, const void* value, uint32_t length);

    AnsiString providerName_;
    AnsiString commandText_;
    int packetRecords_ = -1;
    bool fetchOnDemand_ = true;
    bool readOnly_ = false;
    TParams params_;

    std::unique_ptr<TLocalAppServer> server_;
    DSPtr<IDSBase> table_;
    DSPtr<IDSCursor> cursor_;
    bool providerEOF_ = false;
    uint16_t packetFlags_ = 0;
    bool canModify_ = false;
    int engineRecordSize_ = 0;
    int bookmarkSize_ = 0;
    int recordSize_ = 0;
    mutable std::vector<char> scratch_;  // one value of any column
};
