#include "data/ClientDataSet.h"

#include "core/Exception.h"
#include "core/Format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace {
constexpr double kMsPerDay = 86400000.0;

// Packets of a read that fetches as it goes, while PacketRecords leaves their size open: the first is
// enough for any grid's first page, each further one twice the last, up to a bound, so that reading
// on costs few requests and a few rows past the ones read at most.
constexpr int kFirstPacket = 100;
constexpr int kLargestPacket = 65536;

TFieldType fieldTypeOf(const DSFieldDesc& d) {
    // The provider's own field type travels as the subtype; a packet from elsewhere is read by its type.
    if (d.subType > ftUnknown && d.subType <= ftFMTBcd &&
        std::unique_ptr<TField>(CreateFieldOfType(static_cast<TFieldType>(d.subType), nullptr)))
        return static_cast<TFieldType>(d.subType);
    switch (d.type) {
    case dsfText:
        return ftString;
    case dsfFixedText:
        return ftFixedChar;
    case dsfInt16:
        return ftSmallint;
    case dsfInt32:
        return ftInteger;
    case dsfInt64:
        return ftLargeint;
    case dsfUInt16:
        return ftWord;
    case dsfFloat64:
        return ftFloat;
    case dsfCurrency:
        return ftCurrency;
    case dsfBcd:
        return ftBCD;
    case dsfFmtBcd:
        return ftFMTBcd;
    case dsfDate:
        return ftDate;
    case dsfTime:
        return ftTime;
    case dsfTimeStamp:
        return ftDateTime;
    case dsfBoolean:
        return ftBoolean;
    case dsfBytes:
        return ftBytes;
    case dsfVarBytes:
        return ftVarBytes;
    case dsfBlob:
        return ftBlob;
    case dsfMemo:
        return ftMemo;
    default:
        return ftUnknown;
    }
}

TDateTime fromLinearMs(int64_t ms) {
    double days = std::floor(static_cast<double>(ms) / kMsPerDay);
    double time = (static_cast<double>(ms) - days * kMsPerDay) / kMsPerDay;
    return days < 0 ? days - time : days + time;  // negative values keep the time as a positive fraction
}

int64_t linearMs(TDateTime v) {
    double days = std::trunc(v);
    return static_cast<int64_t>(days * kMsPerDay + std::round(std::fabs(v - days) * kMsPerDay));
}
} // namespace

void TClientDataSet::DefineProperties(ClassInfo& info) {
    info.Add("ProviderName", &TClientDataSet::ProviderName, &TClientDataSet::SetProviderName);
    info.Add("CommandText", &TClientDataSet::CommandText, &TClientDataSet::SetCommandText);
    info.Add("PacketRecords", &TClientDataSet::PacketRecords, &TClientDataSet::SetPacketRecords);
    info.Add("FetchOnDemand", &TClientDataSet::FetchOnDemand, &TClientDataSet::SetFetchOnDemand);
    info.Add("ReadOnly", &TClientDataSet::ReadOnly, &TClientDataSet::SetReadOnly);
}

TClientDataSet::TClientDataSet(TComponent* owner) : TDataSet(owner) {}

TClientDataSet::~TClientDataSet() { CloseForDestroy(); }

void TClientDataSet::SetProviderName(const AnsiString& name) {
    if (name == providerName_)
        return;
    if (Active())
        DatabaseError("Cannot perform this operation on an open dataset", this);
    providerName_ = name;
    server_.reset();
}

void TClientDataSet::SetCommandText(const AnsiString& text) {
    if (text == commandText_)
        return;
    commandText_ = text;
    if (commandText_.empty())
        params_.Clear();
    else
        params_.ParseSQL(commandText_);
}

void TClientDataSet::SetReadOnly(bool value) {
    readOnly_ = value;
    if (table_)
        table_->SetProp(dspropReadOnly, value || !canModify_ ? 1 : 0);
}

TLocalAppServer* TClientDataSet::appServer() {
    if (!server_ && !providerName_.empty() && Owner()) {
        auto* provider = dynamic_cast<TDataSetProvider*>(Owner()->FindComponent(providerName_));
        if (provider) {
            if (provider->DataSet() == this)
                DatabaseError("Circular provider references not allowed", this);
            server_ = std::make_unique<TLocalAppServer>(provider);
            providerComponent_ = provider;
            // A read left open must not outlive the provider unnoticed.
            FreeNotification(provider);
        }
    }
    if (!server_)
        DatabaseError("Missing data provider or data packet", this);
    return server_.get();
}

void TClientDataSet::dropServer() {
    if (providerComponent_)
        RemoveFreeNotification(providerComponent_);
    providerComponent_ = nullptr;
    server_.reset();
}

void TClientDataSet::Notification(TComponent* component, Operation operation) {
    TDataSet::Notification(component, operation);
    // Rows still to come from a provider that goes cannot come: the next read that needs them says so.
    if (operation == Operation::Remove && component == providerComponent_) {
        providerComponent_ = nullptr;
        server_.reset();
    }
}

int32_t TClientDataSet::resetProvider() {
    TDataPacket none;
    int recsOut = 0;
    if (!server_)
        return 0;
    return server_->AS_GetRecords(providerName_, 0, recsOut, grReset, AnsiString(), nullptr, ownerData_, none);
}

int TClientDataSet::nextPacketSize() {
    if (packetRecords_ > 0)
        return packetRecords_;
    packetSize_ = packetSize_ == 0 ? kFirstPacket : std::min(packetSize_ * 2, kLargestPacket);
    return packetSize_;
}

int TClientDataSet::fetchPacket(int count) {
    if (providerEOF_ || !table_)
        return 0;
    // Until the provider answers otherwise: a request that failed is not made again.
    providerEOF_ = true;
    if (!server_)
        DatabaseError("Missing data provider or data packet", this);
    TDataPacket packet;
    int recsOut = 0;
    int32_t r =
        server_->AS_GetRecords(providerName_, count, recsOut, 0, AnsiString(), nullptr, ownerData_, packet);
    bool end = count != recsOut;
    try {
        if (r < 0)
            RaiseOleError(r);
        if (!packet.data)
            DatabaseError("Missing data provider or data packet", this);
        if (packet.size <= 21)
            DatabaseError("Invalid data packet");
        check(table_->AppendData(packet.data, packet.size, end));
    } catch (const std::exception& e) {
        auto ex = dynamic_cast<const Exception*>(&e);
        fetchError_ = ex ? ex->Message() : AnsiString(e.what());
        if (!end && r >= 0)
            resetProvider();
        throw;
    }
    providerEOF_ = end;
    return recsOut;
}

void TClientDataSet::fetchUpTo(int rows) {
    if (!fetchesOnDemand())
        return;
    while (!providerEOF_) {
        uint32_t held = 0;
        if (rows >= 0) {
            check(cursor_->GetRecordCount(&held));
            if (held >= static_cast<uint32_t>(rows))
                return;
        }
        // Every row left comes in one packet unless PacketRecords sets the size.
        fetchPacket(rows < 0 && packetRecords_ <= 0 ? -1 : nextPacketSize());
    }
}

int TClientDataSet::GetNextPacket() {
    CheckActive();
    int rows = fetchPacket(packetRecords_ > 0 ? packetRecords_ : -1);
    if (rows > 0 && State() == dsBrowse) {
        // The new rows follow the last one held: a record window that ended there takes them in.
        CursorPosChanged();
        UpdateCursorPos();
        Resync(0);
    }
    return rows;
}

int TClientDataSet::HeldRecordCount() const {
    uint32_t held = 0;
    if (!cursor_)
        return -1;
    check(cursor_->GetRecordCount(&held));
    return static_cast<int>(held);
}

int TClientDataSet::ReadMoreRecords(int count) {
    CheckActive();
    if (AllRecordsHeld())
        return 0;
    // The record window never waits at the end of the rows held while more are owed (reading on
    // fetches them), so the new rows change nothing shown: no resynchronisation.
    return fetchPacket(std::max(count, 1));
}

void TClientDataSet::InternalOpen() {
    TLocalAppServer* server = appServer();
    TDataPacket packet;
    int recsOut = 0;
    packetSize_ = 0;
    int count = packetRecords_ >= 0 ? packetRecords_ : nextPacketSize();
    providerEOF_ = true;
    fetchError_.clear();
    int32_t r =
        server->AS_GetRecords(providerName_, count, recsOut, grMetaData, commandText_, &params_, ownerData_, packet);
    if (r < 0)
        RaiseOleError(r);
    providerEOF_ = count != recsOut;
    try {
        openTable(packet);
    } catch (...) {
        // Closed again as after a failed open: the provider's read ends, its statement is closed.
        try {
            InternalClose();
        } catch (...) {
        }
        throw;
    }
}

void TClientDataSet::openTable(TDataPacket& packet) {
    if (!packet.data)
        DatabaseError("Missing data provider or data packet", this);
    if (packet.size <= 21)
        DatabaseError("Invalid data packet");
    table_ = CreateDSBase();
    check(table_->AppendData(packet.data, packet.size, providerEOF_));
    packet.writer.reset();  // the rows now live in the table only
    cursor_ = CreateDSCursor();
    check(cursor_->InitCursor(table_.get()));

    DSProps props{};
    check(cursor_->GetCursorProps(&props));
    packetFlags_ = props.packetFlags;
    canModify_ = !props.readOnly;
    engineRecordSize_ = static_cast<int>(props.recordSize);
    bookmarkSize_ = static_cast<int>(props.bookmarkSize);
    recordSize_ = engineRecordSize_ + bookmarkSize_ + static_cast<int>(sizeof(int32_t));

    std::vector<DSFieldDesc> descs(props.fieldCount);
    check(table_->GetFieldDescs(descs.data()));
    FieldDefs().Clear();
    size_t scratch = 16;
    for (const DSFieldDesc& d : descs) {
        TFieldDef& def = FieldDefs().Add(d.name, fieldTypeOf(d));
        bool sized = d.type == dsfText || d.type == dsfFixedText || d.type == dsfBytes || d.type == dsfVarBytes;
        def.Size = sized ? static_cast<int>(d.size) : (d.type == dsfBcd || d.type == dsfFmtBcd ? d.scale : 0);
        def.Precision = d.precision;
        def.Required = d.attributes & dsattrRequired;
        def.ReadOnly = d.attributes & dsattrReadOnly;
        def.FixedChar = d.type == dsfFixedText;
        scratch = std::max<size_t>(scratch, d.valueSize + 3);
    }
    scratch_.assign(scratch, '\0');
    if (DefaultFields())
        CreateFields();
    BindFields(true);
    check(table_->SetProp(dspropTrimStrings, 0));
    if (readOnly_)
        check(table_->SetProp(dspropReadOnly, 1));
}

void TClientDataSet::InternalClose() {
    scanCursor_.reset();
    cursor_.reset();
    // Tell the provider, unless the dataset goes with its owner or the packet asked for no reset. A read
    // still open is ended in every case: its statement's cursor closes and nothing more is fetched.
    bool unfinished = !providerEOF_;
    providerEOF_ = true;
    int32_t r = 0;
    if (server_ && (unfinished || (!Destroying() && !(packetFlags_ & dspfNoResetCall))))
        r = resetProvider();
    dropServer();
    table_.reset();
    provided_.clear();
    inserted_.clear();
    packetFlags_ = 0;
    if (r < 0 && !Destroying())
        RaiseOleError(r);
}

int TClientDataSet::ChangeCount() const {
    DSProps props{};
    if (!table_ || table_->GetProps(&props) != DBERR_NONE)
        return 0;
    return static_cast<int>(props.changeCount);
}

int64_t TClientDataSet::DataSize() const {
    DSProps props{};
    if (!table_ || table_->GetProps(&props) != DBERR_NONE)
        return 0;
    return static_cast<int64_t>(props.arenaBytes);
}

void TClientDataSet::InternalFirst() { check(cursor_->MoveToBOF()); }

void TClientDataSet::InternalLast() {
    fetchUpTo(-1);
    check(cursor_->MoveToEOF());
}

TGetResult TClientDataSet::GetRecord(char* buffer, TGetMode mode, bool) {
    DBResult r = mode == gmNext ? cursor_->GetNextRecord(buffer)
                                : (mode == gmPrior ? cursor_->GetPriorRecord(buffer) : cursor_->GetCurrentRecord(buffer));
    // Past the last row held: the provider's next packet has the rows that follow, if any. The engine's
    // cursor waits at the end, where appended rows begin.
    while (r == DBERR_EOF && mode == gmNext && !providerEOF_ && fetchesOnDemand()) {
        fetchPacket(nextPacketSize());
        r = cursor_->GetNextRecord(buffer);
    }
    if (r == DBERR_EOF)
        return grEOF;
    if (r == DBERR_BOF)
        return grBOF;
    if (r == DBERR_NOCURRREC)
        return grError;
    check(r);
    check(cursor_->GetCurrentBookmark(buffer + engineRecordSize_));
    SetBookmarkFlag(buffer, bfCurrent);
    return grOK;
}

void TClientDataSet::InternalInitRecord(char* buffer) {
    std::memset(buffer, 0, static_cast<size_t>(recordSize_));
    check(cursor_->InitRecord(buffer));
}

TBookmarkFlag TClientDataSet::GetBookmarkFlag(const char* buffer) const {
    int32_t flag;
    std::memcpy(&flag, buffer + engineRecordSize_ + bookmarkSize_, sizeof flag);
    return static_cast<TBookmarkFlag>(flag);
}

void TClientDataSet::SetBookmarkFlag(char* buffer, TBookmarkFlag flag) {
    int32_t value = flag;
    std::memcpy(buffer + engineRecordSize_ + bookmarkSize_, &value, sizeof value);
}

TBookmark TClientDataSet::GetBookmarkData(const char* buffer) const {
    const auto* p = reinterpret_cast<const uint8_t*>(buffer + engineRecordSize_);
    return TBookmark(p, p + bookmarkSize_);
}

void TClientDataSet::SetBookmarkData(char* buffer, const TBookmark& bookmark) {
    if (static_cast<int>(bookmark.size()) == bookmarkSize_)
        std::memcpy(buffer + engineRecordSize_, bookmark.data(), bookmark.size());
}

void TClientDataSet::InternalGotoBookmark(const TBookmark& bookmark) {
    if (static_cast<int>(bookmark.size()) != bookmarkSize_)
        check(DBERR_INVALIDBOOKMARK);
    check(cursor_->MoveToBookmark(bookmark.data()));
}

void TClientDataSet::InternalSetToRecord(const char* buffer) {
    check(cursor_->MoveToBookmark(buffer + engineRecordSize_));
}

int TClientDataSet::DoCompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (!cursor_ || static_cast<int>(a.size()) != bookmarkSize_ || static_cast<int>(b.size()) != bookmarkSize_)
        return 2;
    int32_t result = 2;
    check(cursor_->CompareBookmarks(a.data(), b.data(), &result));
    return result;
}

bool TClientDataSet::DoBookmarkValid(const TBookmark& bookmark) const {
    bool valid = false;
    return cursor_ && static_cast<int>(bookmark.size()) == bookmarkSize_ &&
           cursor_->IsValidBookmark(bookmark.data(), &valid) == DBERR_NONE && valid;
}

bool TClientDataSet::GetFieldData(const TField* field, void* buffer) const {
    const char* record = ActiveRecordBuffer();
    int no = field->FieldNo();
    if (!record || no <= 0)
        return false;
    bool isNull = true;
    uint32_t length = 0;
    char* v = scratch_.data();
    check(cursor_->GetField(record, static_cast<uint32_t>(no), v, &length, &isNull));
    if (isNull)
        return false;
    if (!buffer)
        return true;
    // Engine value forms to the field's native form.
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftGuid: {
        // A field narrower than the value takes whole characters only.
        size_t n = AnsiLeftLength(std::string_view(v, strnlen(v, length)), size_t(field->Size()));
        std::memcpy(buffer, v, n);
        static_cast<char*>(buffer)[n] = '\0';
        break;
    }
    case ftBoolean: {
        int16_t b = v[0] ? 1 : 0;
        std::memcpy(buffer, &b, 2);
        break;
    }
    case ftDate: {
        int32_t days;
        std::memcpy(&days, v, 4);
        double d = days;
        std::memcpy(buffer, &d, 8);
        break;
    }
    case ftTime: {
        int32_t ms;
        std::memcpy(&ms, v, 4);
        double d = ms / kMsPerDay;
        std::memcpy(buffer, &d, 8);
        break;
    }
    case ftDateTime:
    case ftTimeStamp: {
        int64_t ms;
        std::memcpy(&ms, v, 8);
        TDateTime d = fromLinearMs(ms);
        if (field->DataType() == ftTimeStamp) {
            TSQLTimeStamp ts = DateTimeToSQLTimeStamp(d);
            std::memcpy(buffer, &ts, sizeof ts);
        } else {
            std::memcpy(buffer, &d, 8);
        }
        break;
    }
    case ftVarBytes: {
        uint16_t n = static_cast<uint16_t>(std::min<uint32_t>(length, static_cast<uint32_t>(field->Size())));
        std::memcpy(buffer, &n, 2);
        std::memcpy(static_cast<char*>(buffer) + 2, v, n);
        break;
    }
    default:
        std::memcpy(buffer, v, std::min<size_t>(length, static_cast<size_t>(field->DataSize())));
        break;
    }
    return true;
}

void TClientDataSet::putValue(TField* field, const void* value, uint32_t length) {
    auto column = static_cast<uint32_t>(field->FieldNo());
    check(cursor_->VerifyField(column, value, length));
    check(cursor_->PutField(ActiveRecordBuffer(), column, value, length));
}

void TClientDataSet::SetFieldData(TField* field, const void* buffer) {
    if (field->FieldNo() <= 0)
        DatabaseError(Format("Field '%s' cannot be modified", field->DisplayName()));
    if (!buffer) {
        putValue(field, nullptr, 0);
        return;
    }
    const char* b = static_cast<const char*>(buffer);
    char* v = scratch_.data();
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
        putValue(field, b, static_cast<uint32_t>(strnlen(b, static_cast<size_t>(field->Size()))));
        return;
    case ftSmallint:
    case ftWord:
        putValue(field, b, 2);
        return;
    case ftInteger:
    case ftAutoInc:
        putValue(field, b, 4);
        return;
    case ftBoolean: {
        int16_t x;
        std::memcpy(&x, b, 2);
        v[0] = x ? 1 : 0;
        putValue(field, v, 1);
        return;
    }
    case ftDate:
    case ftTime: {
        double d;
        std::memcpy(&d, b, 8);
        int32_t x = field->DataType() == ftDate
                        ? static_cast<int32_t>(std::trunc(d))
                        : TimeOfDayMs(d);
        putValue(field, &x, 4);
        return;
    }
    case ftDateTime: {
        double d;
        std::memcpy(&d, b, 8);
        int64_t ms = linearMs(d);
        putValue(field, &ms, 8);
        return;
    }
    case ftTimeStamp: {
        TSQLTimeStamp ts;
        std::memcpy(&ts, b, sizeof ts);
        int64_t ms = linearMs(SQLTimeStampToDateTime(ts));
        putValue(field, &ms, 8);
        return;
    }
    case ftBytes:
        putValue(field, b, static_cast<uint32_t>(field->Size()));
        return;
    case ftVarBytes: {
        uint16_t n;
        std::memcpy(&n, b, 2);
        putValue(field, b + 2, n);
        return;
    }
    default:
        putValue(field, b, 8);
        return;
    }
}

bool TClientDataSet::GetBlobData(const TField* field, AnsiString& value) const {
    const char* record = ActiveRecordBuffer();
    int no = field->FieldNo();
    if (!record || no <= 0)
        return false;
    bool isNull = true;
    uint32_t length = 0;
    check(cursor_->GetField(record, static_cast<uint32_t>(no), nullptr, &length, &isNull));
    if (isNull)
        return false;
    value.resize(length);
    check(cursor_->GetField(record, static_cast<uint32_t>(no), value.data(), &length, &isNull));
    value.resize(length);
    return true;
}

void TClientDataSet::SetBlobData(TField* field, const AnsiString* value) {
    putValue(field, value ? value->data() : nullptr, value ? static_cast<uint32_t>(value->size()) : 0);
}

void TClientDataSet::InternalEdit() {
    if (packetFlags_ & dspfDisableEdits)
        DatabaseError("Modifications are not allowed", this);
}

void TClientDataSet::InternalInsert() {
    if (packetFlags_ & dspfDisableInserts)
        DatabaseError("Inserts are not allowed", this);
}

void TClientDataSet::InternalDelete() {
    if (packetFlags_ & dspfDisableDeletes)
        DatabaseError("Deletes are not allowed", this);
    check(cursor_->DeleteRecord());
}

void TClientDataSet::InternalPost() {
    TDataSet::InternalPost();
    char* buffer = ActiveRecordBuffer();
    if (State() == dsEdit) {
        // The row as the provider sent it is kept at its first change (the cursor stands on it).
        TBookmark bookmark = GetBookmarkData(buffer);
        if (!inserted_.count(bookmark) && !provided_.count(bookmark)) {
            std::vector<char> original(static_cast<size_t>(recordSize_));
            check(cursor_->GetCurrentRecord(original.data()));
            provided_.emplace(std::move(bookmark), std::move(original));
        }
        check(cursor_->ModifyRecord(buffer));
        return;
    }
    // A new record goes before the record it was inserted at, or after the last one (appending went to
    // the last record first, which fetched every row). Counting the rows held fetches none.
    TBookmarkFlag flag = GetBookmarkFlag(buffer);
    uint32_t held = 0;
    check(cursor_->GetRecordCount(&held));
    if (flag == bfEOF || flag == bfBOF || held == 0)
        check(cursor_->MoveToEOF());
    else
        check(cursor_->MoveToBookmark(buffer + engineRecordSize_));
    check(cursor_->InsertRecord(buffer));
    TBookmark bookmark(static_cast<size_t>(bookmarkSize_));
    check(cursor_->GetCurrentBookmark(bookmark.data()));
    inserted_.insert(std::move(bookmark));
}

bool TClientDataSet::RecordFromProvider() const {
    const char* record = ActiveRecordBuffer();
    return cursor_ && record && State() != dsInsert && GetBookmarkFlag(record) == bfCurrent &&
           !inserted_.count(GetBookmarkData(record));
}

AnsiString TClientDataSet::ProvidedText(const TField* field) const {
    const char* record = ActiveRecordBuffer();
    int no = field->FieldNo();
    if (!cursor_ || !record || no <= 0)
        return {};
    if (auto original = provided_.find(GetBookmarkData(record)); original != provided_.end())
        record = original->second.data();
    bool isNull = true;
    uint32_t length = 0;
    char* v = scratch_.data();
    check(cursor_->GetField(record, static_cast<uint32_t>(no), v, &length, &isNull));
    return isNull ? AnsiString() : AnsiString(v, strnlen(v, length));
}

bool TClientDataSet::GetCanModify() const { return canModify_ && !readOnly_; }

int TClientDataSet::GetRecordCount() const {
    uint32_t count = 0;
    if (!cursor_)
        return -1;
    const_cast<TClientDataSet*>(this)->fetchUpTo(-1);
    check(cursor_->GetRecordCount(&count));
    return static_cast<int>(count);
}

int TClientDataSet::GetRecNo() const {
    const char* record = ActiveRecordBuffer();
    if (!cursor_ || !record || State() == dsInsert || GetBookmarkFlag(record) != bfCurrent)
        return -1;
    // The engine numbers the row the cursor is on; put it on the active record first.
    const_cast<TClientDataSet*>(this)->UpdateCursorPos();
    uint32_t seq = 0;
    return cursor_->GetSequenceNumber(&seq) == DBERR_NONE ? static_cast<int>(seq) : -1;
}

void TClientDataSet::SetRecNoValue(int value) {
    CheckBrowseMode();
    if (value == RecNo())
        return;
    if (BeforeScroll)
        BeforeScroll(this);
    fetchUpTo(value < 1 ? 1 : value);
    if (cursor_->MoveToSeqNo(static_cast<uint32_t>(value < 1 ? 1 : value)) != DBERR_NONE)
        check(cursor_->MoveToEOF());
    Resync(rmCenter);
    if (AfterScroll)
        AfterScroll(this);
}

namespace {
// What the engine's text scan hands each row to: the texts cut as the fields read them, then the
// caller's visitor (a search's test, which answers from the texts alone and so may be asked twice).
// An exception of the visitor is kept and raised again outside the engine.
struct ScanContext {
    const std::vector<TField*>& fields;
    const TDataSet::TRecordTextVisitor& visit;
    std::vector<std::string_view> texts;
    std::exception_ptr error;

    static bool row(void* context, uint32_t seqNo, const char* const* texts, const uint32_t* lengths) {
        auto& c = *static_cast<ScanContext*>(context);
        try {
            for (size_t i = 0; i < c.texts.size(); ++i) {
                c.texts[i] = std::string_view(texts[i], lengths[i]);
                // As the field reads it: whole characters up to its size.
                if (c.texts[i].size() > size_t(c.fields[i]->Size()))
                    c.texts[i] = c.texts[i].substr(0, AnsiLeftLength(c.texts[i], size_t(c.fields[i]->Size())));
            }
            if (!c.visit(int(seqNo), c.texts.data()))
                return false;
            // A field reads up to a zero byte: a text holding one is asked again as the field reads it
            // (rare enough not to look for it at every row).
            bool cut = false;
            for (std::string_view& t : c.texts)
                if (size_t zero = t.find('\0'); zero != std::string_view::npos) {
                    t = t.substr(0, zero);
                    cut = true;
                }
            return !cut || c.visit(int(seqNo), c.texts.data());
        } catch (...) {
            c.error = std::current_exception();
            return true;
        }
    }
};
} // namespace

int TClientDataSet::ScanRecords(int from, int to, const std::vector<TField*>& fields,
                                const TRecordTextVisitor& visit) {
    CheckActive();
    const bool forward = to >= from;
    from = std::max(from, 1);
    to = std::max(to, 1);
    if (!forward)
        fetchUpTo(from);
    if (!scanCursor_) {
        scanCursor_ = CreateDSCursor();
        check(scanCursor_->InitCursor(table_.get()));
    }
    // The engine reads the stored rows in place; only text fields have text to give.
    std::vector<uint32_t> columns;
    for (const TField* f : fields)
        columns.push_back(f->FieldNo() > 0 && (f->DataType() == ftString || f->DataType() == ftFixedChar)
                              ? uint32_t(f->FieldNo())
                              : 0);
    ScanContext context{fields, visit, std::vector<std::string_view>(fields.size()), nullptr};
    for (;;) {
        uint32_t held = 0;
        check(scanCursor_->GetRecordCount(&held));
        // Past the last row held the provider's next packet has the rows that follow, if any.
        if (forward && uint32_t(from) > held) {
            if (providerEOF_ || !fetchesOnDemand())
                return 0;
            fetchPacket(nextPacketSize());
            continue;
        }
        if (uint32_t(from) > held)
            return 0;
        uint32_t found = 0;
        check(scanCursor_->ScanText(uint32_t(from), uint32_t(to), columns.data(), uint32_t(columns.size()),
                                    &ScanContext::row, &context, &found));
        if (context.error)
            std::rethrow_exception(context.error);
        if (found > 0)
            return int(found);
        // Stopped at `to`, or at the last row held with more to fetch.
        if (!forward || uint32_t(to) <= held)
            return 0;
        from = int(held) + 1;
    }
}
