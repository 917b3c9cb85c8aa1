#include "data/Provider.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "data/SQLDataSet.h"

#include <cmath>
#include <cstring>

namespace {
thread_local AnsiString errorInfo;
thread_local bool hasErrorInfo = false;

constexpr double kMsPerDay = 86400000.0;

// Milliseconds since 30 December 1899 of a date-time value (whose negative values keep the time of
// day as a positive fraction).
int64_t linearMs(TDateTime v) {
    double days = std::trunc(v);
    double ms = std::round(std::fabs(v - days) * kMsPerDay);
    return static_cast<int64_t>(days * kMsPerDay + ms);
}

DSFieldType engineType(TFieldType t) {
    switch (t) {
    case ftString:
    case ftGuid:
        return dsfText;
    case ftFixedChar:
        return dsfFixedText;
    case ftSmallint:
        return dsfInt16;
    case ftInteger:
    case ftAutoInc:
        return dsfInt32;
    case ftWord:
        return dsfUInt16;
    case ftLargeint:
        return dsfInt64;
    case ftFloat:
        return dsfFloat64;
    case ftCurrency:
        return dsfCurrency;
    case ftBCD:
        return dsfBcd;
    case ftFMTBcd:
        return dsfFmtBcd;
    case ftDate:
        return dsfDate;
    case ftTime:
        return dsfTime;
    case ftDateTime:
    case ftTimeStamp:
        return dsfTimeStamp;
    case ftBoolean:
        return dsfBoolean;
    case ftBytes:
        return dsfBytes;
    case ftVarBytes:
        return dsfVarBytes;
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        return dsfMemo;
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
    case ftOraBlob:
        return dsfBlob;
    default:
        return dsfUnknown;
    }
}
} // namespace

void TDataSetProvider::DefineProperties(ClassInfo& info) {
    info.Add("DataSet", &TDataSetProvider::DataSet, &TDataSetProvider::SetDataSet);
    info.Add("Options", &TDataSetProvider::Options, &TDataSetProvider::SetOptions);
}

TDataSetProvider::TDataSetProvider(TComponent* owner) : TComponent(owner) {}

TDataSetProvider::~TDataSetProvider() { SetDataSet(nullptr); }

void TDataSetProvider::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_)
        return;
    // A read left open on the old dataset ends with it: its cursor is closed, not left behind.
    if (reading_) {
        try {
            Reset();
        } catch (...) {
        }
    }
    if (dataSet_)
        RemoveFreeNotification(dataSet_);
    dataSet_ = dataSet;
    openedDataSet_ = false;
    reading_ = rowPending_ = false;
    if (dataSet_)
        FreeNotification(dataSet_);
}

void TDataSetProvider::Notification(TComponent* component, Operation operation) {
    TComponent::Notification(component, operation);
    if (operation == Operation::Remove && component == dataSet_) {
        dataSet_ = nullptr;
        openedDataSet_ = false;
        reading_ = rowPending_ = false;
    }
}

void TDataSetProvider::Reset() {
    reading_ = false;
    if (dataSet_) {
        if (openedDataSet_) {
            openedDataSet_ = false;
            dataSet_->Close();
        }
        if (dataSet_->Active() && !dataSet_->IsUniDirectional()) {
            rowPending_ = false;
            dataSet_->First();
        }
        if (!dataSet_->Active())
            rowPending_ = false;
    }
    rowsSent_ = 0;
}

void TDataSetProvider::GetRecords(int count, int& recsOut, int options, const AnsiString& commandText,
                                  const TParams* params, int64_t& ownerData, TDataPacket& packet) {
    recsOut = 0;
    if (options & grMetaData) {
        // A new read: one still open ends first (its client learns so at its next request).
        if (reading_)
            Reset();
        ownerData = ++read_;
    } else if (reading_ && ownerData != read_) {
        // Another client's read is open: neither its reset nor its rows belong to this one.
        if ((options & grReset) && count == 0)
            return;
        DatabaseError("Further rows are no longer available: another read has begun", this);
    } else if (!(options & grReset) && count != 0 && (!reading_ || !dataSet_ || !dataSet_->Active())) {
        // The read this request continues was ended (reset, or its dataset closed under it); opening
        // the dataset again would send rows from the start a second time.
        if (reading_)
            Reset();
        DatabaseError("Further rows are no longer available: the dataset was closed", this);
    }
    if (!commandText.empty()) {
        if (!HasOption(poAllowCommandText))
            DatabaseError("CommandText changes are not allowed");
        if (!dataSet_)
            DatabaseError("Missing DataSet property");
        if (auto* sql = dynamic_cast<TSQLDataSet*>(dataSet_))
            sql->SetCommandText(commandText);
    }
    auto* sql = dynamic_cast<TSQLDataSet*>(dataSet_);
    if (params && params->Count() > 0 && sql && !(*params == lastParams_)) {
        lastParams_ = *params;
        for (int i = 0; i < params->Count(); ++i)
            if (TParam* p = sql->Params().FindParam(params->Items(i).Name))
                *p = params->Items(i);
    }
    if (options & grReset) {
        Reset();
        if (count == 0)
            return;
    }
    if (!dataSet_)
        DatabaseError("Missing DataSet property");
    try {
        if (!dataSet_->Active()) {
            dataSet_->Open();
            openedDataSet_ = true;
            rowPending_ = false;
        }
        bool begin = count == 0 || (options & grMetaData);
        if (begin)
            rowsSent_ = 0;
        writeRows(count, recsOut, packet, begin);
        rowsSent_ += recsOut;
        reading_ = recsOut == count;
        if (!reading_)
            Reset();
    } catch (...) {
        Reset();
        throw;
    }
}

void TDataSetProvider::writeRows(int count, int& recsOut, TDataPacket& packet, bool begin) {
    TDataSet* ds = dataSet_;
    ds->CheckBrowseMode();
    const std::vector<TField*>& fields = ds->FieldList();
    if (!packet.writer)
        packet.writer = CreateDSWriter();
    IDSWriter* w = packet.writer.get();
    // Every packet of the engine's format describes its fields; `begin` only restarts the count.
    (void)begin;
    {
        std::vector<DSFieldDesc> descs;
        for (TField* f : fields) {
            DSFieldDesc d{};
            std::strncpy(d.name, f->FieldName().c_str(), DS_MAX_NAME);
            d.type = engineType(f->DataType());
            d.subType = static_cast<uint16_t>(f->DataType());  // the reader recreates the same field class
            bool sized = d.type == dsfText || d.type == dsfFixedText || d.type == dsfBytes || d.type == dsfVarBytes;
            d.size = sized ? static_cast<uint32_t>(f->Size()) : 0;
            if (auto* bcd = dynamic_cast<TBCDField*>(f)) {
                d.precision = static_cast<uint16_t>(bcd->Precision());
                d.scale = static_cast<int16_t>(f->Size());
            } else if (auto* fl = dynamic_cast<TFloatField*>(f)) {
                d.precision = static_cast<uint16_t>(fl->Precision());
            }
            d.attributes = static_cast<uint8_t>((f->Required() ? dsattrRequired : 0) | (f->ReadOnly() ? dsattrReadOnly : 0));
            descs.push_back(d);
        }
        uint16_t flags = static_cast<uint16_t>((HasOption(poReadOnly) ? dspfReadOnly : 0) |
                                               (HasOption(poDisableEdits) ? dspfDisableEdits : 0) |
                                               (HasOption(poDisableInserts) ? dspfDisableInserts : 0) |
                                               (HasOption(poDisableDeletes) ? dspfDisableDeletes : 0) |
                                               (HasOption(poNoReset) ? dspfNoResetCall : 0));
        Check(w->Begin(descs.data(), static_cast<uint32_t>(descs.size()), flags), nullptr);
    }
    // One scratch buffer for every value of every row; what kind each field is, asked once.
    size_t scratchSize = 16;
    std::vector<char> blobs;
    for (TField* f : fields) {
        scratchSize = std::max(scratchSize, static_cast<size_t>(f->DataSize()) + 1);
        blobs.push_back(f->IsBlob());
    }
    std::vector<char> scratch(scratchSize);
    AnsiString blob;
    char* buf = scratch.data();
    // The row the last packet ended with was sent; a packet of `count` rows reads no row beyond them,
    // so a read asked for n rows takes n rows from the driver.
    if (rowPending_) {
        rowPending_ = false;
        ds->Next();
    }
    while (!ds->Eof() && (count < 0 || recsOut < count)) {
        for (size_t i = 0; i < fields.size(); ++i) {
            TField* f = fields[i];
            const void* value = buf;
            uint32_t length = 0;
            bool present;
            if (blobs[i]) {
                present = f->GetData(&blob);
                value = blob.data();
                length = static_cast<uint32_t>(blob.size());
            } else {
                present = f->GetData(buf);
            }
            if (!present) {
                Check(w->PutValue(nullptr, 0), nullptr);
                continue;
            }
            switch (f->DataType()) {
            case ftString:
            case ftFixedChar:
            case ftGuid:
                length = static_cast<uint32_t>(strnlen(buf, static_cast<size_t>(f->Size())));
                break;
            case ftSmallint:
            case ftWord:
                length = 2;
                break;
            case ftInteger:
            case ftAutoInc:
                length = 4;
                break;
            case ftLargeint:
            case ftFloat:
            case ftCurrency:
            case ftBCD:
            case ftFMTBcd:
                length = 8;
                break;
            case ftBoolean: {
                int16_t b;
                std::memcpy(&b, buf, 2);
                buf[0] = b ? 1 : 0;
                length = 1;
                break;
            }
            case ftDate:
            case ftTime: {
                double v;
                std::memcpy(&v, buf, 8);
                int32_t x = f->DataType() == ftDate
                                ? static_cast<int32_t>(std::trunc(v))
                                : TimeOfDayMs(v);
                std::memcpy(buf, &x, 4);
                length = 4;
                break;
            }
            case ftDateTime: {
                double v;
                std::memcpy(&v, buf, 8);
                int64_t ms = linearMs(v);
                std::memcpy(buf, &ms, 8);
                length = 8;
                break;
            }
            case ftTimeStamp: {
                TSQLTimeStamp ts;
                std::memcpy(&ts, buf, sizeof ts);
                int64_t ms = linearMs(SQLTimeStampToDateTime(ts));
                std::memcpy(buf, &ms, 8);
                length = 8;
                break;
            }
            case ftBytes:
                length = static_cast<uint32_t>(f->Size());
                break;
            case ftVarBytes: {
                uint16_t n;
                std::memcpy(&n, buf, 2);
                value = buf + 2;
                length = n;
                break;
            }
            default:
                break;
            }
            Check(w->PutValue(value, length), nullptr);
        }
        ++recsOut;
        if (recsOut == count) {
            rowPending_ = true;
            break;
        }
        ds->Next();
    }
    Check(w->Finish(&packet.data, &packet.size), nullptr);
}

int32_t TLocalAppServer::AS_GetRecords(const AnsiString&, int count, int& recsOut, int options,
                                       const AnsiString& commandText, TParams* params, int64_t& ownerData,
                                       TDataPacket& packet) {
    hasErrorInfo = false;
    try {
        provider_->GetRecords(count, recsOut, options, commandText, params, ownerData, packet);
        return 0;
    } catch (const Exception& e) {
        errorInfo = e.Message();
        hasErrorInfo = true;
        auto* coded = dynamic_cast<const ECodedException*>(&e);
        return coded && coded->ErrorCode() < 0 ? coded->ErrorCode() : E_UNEXPECTED_FAILURE;
    } catch (const std::exception& e) {
        errorInfo = e.what();
        hasErrorInfo = true;
        return E_UNEXPECTED_FAILURE;
    }
}

void RaiseOleError(int32_t code) {
    AnsiString message;
    if (hasErrorInfo) {
        message = errorInfo;
        hasErrorInfo = false;
        while (!message.empty() &&
               (static_cast<unsigned char>(message.back()) <= ' ' || message.back() == '.'))
            message.pop_back();
    }
    if (message.empty())
        message = Format("OLE error %.8x", static_cast<uint32_t>(code));
    throw EOleException(message, code);
}
