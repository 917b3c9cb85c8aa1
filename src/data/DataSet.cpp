#include "data/DataSet.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/Snapshot.h"
#include "data/DataLink.h"
#include "data/DataSource.h"

#include <algorithm>
#include <cstring>
#include <list>

void DatabaseError(const AnsiString& message, const TComponent* component) {
    if (component && !component->Name().empty())
        throw EDatabaseError(Format("%s: %s", component->Name(), message));
    throw EDatabaseError(message);
}

void TDataSet::DefineProperties(ClassInfo& info) { info.Add("Active", &TDataSet::Active, &TDataSet::SetActive); }

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
    CloseForDestroy();
    DestroyFields();
    // Declared fields outlive the dataset; they only lose it.
    for (TField* f : fields_)
        f->dataSet_ = nullptr;
    fields_.clear();
    while (!dataSources_.empty())
        dataSources_.back()->SetDataSet(nullptr);
}

void TDataSet::CloseForDestroy() {
    Destroying(true);
    if (state_ != dsInactive)
        SetActive(false);
}

// ---- opening and closing ----

void TDataSet::SetActive(bool value) {
    if (Loading()) {
        streamedActive_ = value;
        return;
    }
    if (value == Active())
        return;
    if (value) {
        doHook(BeforeOpen);
        try {
            openCursor();
        } catch (...) {
            // Whatever was half opened goes again; the dataset stays closed.
            state_ = dsInactive;
            try {
                closeCursor();
            } catch (...) {
            }
            throw;
        }
        SetState(dsBrowse);
        doHook(AfterOpen);
        if (!IsEmpty())
            doHook(AfterScroll);
    } else {
        bool hooks = !Destroying();
        if (hooks)
            doHook(BeforeClose);
        SetState(dsInactive);
        closeCursor();
        if (hooks)
            doHook(AfterClose);
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (streamedActive_) {
        streamedActive_ = false;
        SetActive(true);
    }
}

void TDataSet::openCursor() {
    defaultFields_ = fields_.empty();
    InternalOpen();
    updateBufferCount();
    clearBuffers();
    InternalFirst();
    getNextRecords();
    bof_ = true;
    eof_ = recordCount_ == 0;
}

void TDataSet::closeCursor() {
    modified_ = false;
    if (IsCursorOpen())
        InternalClose();
    BindFields(false);
    if (defaultFields_)
        DestroyFields();
    defaultFields_ = false;
    clearBuffers();
    buffers_.clear();
    bufferCount_ = 0;
}

void TDataSet::SetState(TDataSetState value) {
    if (state_ == value)
        return;
    state_ = value;
    modified_ = false;
    DataEvent(deUpdateState, 0);
}

void TDataSet::CheckActive() const {
    if (!Active())
        DatabaseError("Cannot perform this operation on a closed dataset", this);
}

void TDataSet::CheckBiDirectional() const { DatabaseError("Operation not allowed on a unidirectional dataset", this); }

// ---- record buffers ----

void TDataSet::setBufferCount(int count) {
    if (count == bufferCount_ && !buffers_.empty())
        return;
    if (count < bufferCount_ && recordCount_ > 0) {
        // Keep the records around the active one (and the windows the links show) in the buffers
        // that remain.
        int delta = std::max(0, activeRecord_ - count + 1);
        for (TDataSource* ds : dataSources_)
            for (TDataLink* link : ds->dataLinks_)
                if (link->active_ && link->firstRecord_ < delta)
                    delta = link->firstRecord_;
        delta = std::max(0, std::min(delta, activeRecord_));
        for (int i = 0; i < count; ++i)
            moveBuffer(i + delta, i);
        activeRecord_ -= delta;
        if (currentRecord_ != -1)
            currentRecord_ -= delta;
        recordCount_ = std::min(recordCount_ - delta, count);
        for (TDataSource* ds : dataSources_)
            for (TDataLink* link : ds->dataLinks_)
                if (link->active_)
                    link->firstRecord_ = std::max(0, link->firstRecord_ - delta);
        if (currentRecord_ >= count)
            currentRecord_ = -1;
    }
    size_t size = static_cast<size_t>(GetRecordSize());
    buffers_.resize(static_cast<size_t>(count) + 1);
    for (auto& b : buffers_)
        if (!b) {
            b = std::make_unique<char[]>(size);
            std::memset(b.get(), 0, size);
        }
    int old = bufferCount_;
    bufferCount_ = count;
    if (count > old && recordCount_ > 0 && state_ != dsInsert) {
        getNextRecords();
        getPriorRecords();
    }
}

void TDataSet::updateBufferCount() {
    if (!IsCursorOpen())
        return;
    int count = 1;
    if (!IsUniDirectional())
        for (TDataSource* ds : dataSources_)
            for (TDataLink* link : ds->dataLinks_)
                count = std::max(count, link->bufferCount_);
    setBufferCount(count);
}

void TDataSet::clearBuffers() {
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = true;
    eof_ = true;
}

void TDataSet::activateBuffers() {
    recordCount_ = 1;
    activeRecord_ = 0;
    bof_ = false;
    eof_ = false;
}

void TDataSet::moveBuffer(int from, int to) {
    if (from == to)
        return;
    auto first = buffers_.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
}

void TDataSet::setCurrentRecord(int index) {
    if (currentRecord_ == index)
        return;
    if (!IsUniDirectional()) {
        const char* buffer = buffers_[index].get();
        switch (GetBookmarkFlag(buffer)) {
        case bfCurrent:
            InternalSetToRecord(buffer);
            break;
        case bfBOF:
            InternalFirst();
            break;
        case bfEOF:
            InternalLast();
            break;
        case bfInserted:
            break;
        }
    }
    currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
    if (recordCount_ > 0)
        setCurrentRecord(activeRecord_);
}

bool TDataSet::getNextRecord() {
    TGetMode mode = gmNext;
    if (recordCount_ > 0) {
        setCurrentRecord(recordCount_ - 1);
        // A record being inserted before the cursor's record: the next one is that record itself.
        if (state_ == dsInsert && currentRecord_ == activeRecord_ && GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    bool ok = GetRecord(buffers_[recordCount_].get(), mode, true) == grOK;
    if (ok) {
        if (recordCount_ == 0)
            activateBuffers();
        else if (recordCount_ < bufferCount_)
            ++recordCount_;
        else
            moveBuffer(0, recordCount_);
        currentRecord_ = recordCount_ - 1;
    } else {
        CursorPosChanged();
    }
    return ok;
}

bool TDataSet::getPriorRecord() {
    if (IsUniDirectional())
        CheckBiDirectional();
    if (recordCount_ > 0)
        setCurrentRecord(0);
    bool ok = GetRecord(buffers_[recordCount_].get(), gmPrior, true) == grOK;
    if (ok) {
        if (recordCount_ == 0) {
            activateBuffers();
        } else {
            moveBuffer(recordCount_, 0);
            if (recordCount_ < bufferCount_) {
                ++recordCount_;
                ++activeRecord_;
            }
        }
        currentRecord_ = 0;
    } else {
        CursorPosChanged();
    }
    return ok;
}

int TDataSet::getNextRecords() {
    int n = 0;
    while (recordCount_ < bufferCount_ && getNextRecord())
        ++n;
    return n;
}

int TDataSet::getPriorRecords() {
    int n = 0;
    if (IsUniDirectional())
        return 0;
    while (recordCount_ < bufferCount_ && getPriorRecord())
        ++n;
    return n;
}

char* TDataSet::stateRecordBuffer() const {
    switch (state_) {
    case dsBrowse:
    case dsBlockRead:
        return IsEmpty() ? nullptr : buffers_[activeRecord_].get();
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsOldValue:
    case dsCurValue:
    case dsInternalCalc:
        return buffers_.empty() ? nullptr : buffers_[activeRecord_].get();
    default:
        return nullptr;
    }
}

void TDataSet::InternalInitRecord(char* buffer) { std::memset(buffer, 0, static_cast<size_t>(GetRecordSize())); }

void TDataSet::initRecord(char* buffer) {
    InternalInitRecord(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

// ---- navigation ----

void TDataSet::First() {
    CheckBrowseMode();
    doHook(BeforeScroll);
    clearBuffers();
    try {
        InternalFirst();
        getNextRecord();
        getNextRecords();
    } catch (...) {
        bof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    bof_ = true;
    DataEvent(deDataSetChange, 0);
    doHook(AfterScroll);
}

void TDataSet::Last() {
    if (IsUniDirectional())
        CheckBiDirectional();
    CheckBrowseMode();
    doHook(BeforeScroll);
    clearBuffers();
    try {
        InternalLast();
        getPriorRecord();
        getPriorRecords();
    } catch (...) {
        eof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    eof_ = true;
    DataEvent(deDataSetChange, 0);
    doHook(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int moved = 0;
    doHook(BeforeScroll);
    if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
        bof_ = false;
        eof_ = false;
        int oldRecordCount = recordCount_;
        // How far the buffer contents shifted: reading past the window's end drops its first
        // record (-1), reading before its start drops the last (+1).
        int shift = 0;
        auto finish = [&] {
            if (recordCount_ != oldRecordCount)
                DataEvent(deDataSetChange, 0);
            else
                DataEvent(deDataSetScroll, shift);
        };
        try {
            if (distance > 0) {
                while (distance > 0) {
                    if (activeRecord_ < recordCount_ - 1) {
                        ++activeRecord_;
                    } else {
                        int dropped = recordCount_ < bufferCount_ ? 0 : 1;
                        if (!getNextRecord()) {
                            eof_ = true;
                            break;
                        }
                        shift -= dropped;
                        activeRecord_ = recordCount_ - 1;
                    }
                    --distance;
                    ++moved;
                }
            } else {
                if (IsUniDirectional())
                    CheckBiDirectional();
                while (distance < 0) {
                    if (activeRecord_ > 0) {
                        --activeRecord_;
                    } else {
                        int dropped = recordCount_ < bufferCount_ ? 0 : 1;
                        if (!getPriorRecord()) {
                            bof_ = true;
                            break;
                        }
                        shift += dropped;
                        activeRecord_ = 0;
                    }
                    ++distance;
                    --moved;
                }
            }
        } catch (...) {
            finish();
            throw;
        }
        finish();
    }
    doHook(AfterScroll);
    return moved;
}

void TDataSet::Resync(int mode) {
    if (IsUniDirectional())
        return;
    char* spare = buffers_[recordCount_].get();
    if (mode & rmExact) {
        CursorPosChanged();
        if (GetRecord(spare, gmCurrent, true) != grOK)
            DatabaseError("Record not found or changed by another user", this);
    } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
               GetRecord(spare, gmPrior, false) != grOK) {
        clearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = (mode & rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
    moveBuffer(recordCount_, 0);
    activateBuffers();
    try {
        while (count > 0 && getPriorRecord())
            --count;
        getNextRecords();
        getPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
}

// ---- bookmarks ----

TBookmark TDataSet::GetBookmark() const {
    if ((state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && !IsEmpty() &&
        GetBookmarkFlag(buffers_[activeRecord_].get()) == bfCurrent)
        return GetBookmarkData(buffers_[activeRecord_].get());
    return {};
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty())
        return;
    CheckBrowseMode();
    doHook(BeforeScroll);
    InternalGotoBookmark(bookmark);
    Resync(rmExact | rmCenter);
    doHook(AfterScroll);
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (a.empty() || b.empty())
        return a.empty() ? (b.empty() ? 0 : -1) : 1;
    return DoCompareBookmarks(a, b);
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) const {
    return !bookmark.empty() && Active() && DoBookmarkValid(bookmark);
}

// ---- editing ----

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (modified_)
            Post();
        else
            Cancel();
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

void TDataSet::CheckCanModify() const {
    if (!GetCanModify())
        DatabaseError("Cannot modify a read-only dataset", this);
}

void TDataSet::Edit() {
    if (IsEditState(state_))
        return;
    if (recordCount_ == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    doHook(BeforeEdit);
    UpdateCursorPos();
    InternalEdit();
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    doHook(AfterEdit);
}

void TDataSet::beginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    doHook(BeforeInsert);
    doHook(BeforeScroll);
}

void TDataSet::endInsertAppend() {
    SetState(dsInsert);
    try {
        doHook(OnNewRecord);
    } catch (...) {
        UpdateCursorPos();
        SetState(dsBrowse);
        Resync(0);
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    doHook(AfterInsert);
    doHook(AfterScroll);
}

void TDataSet::Insert() {
    beginInsertAppend();
    TBookmark current = GetBookmark();
    UpdateCursorPos();
    moveBuffer(recordCount_, activeRecord_);
    char* buffer = buffers_[activeRecord_].get();
    initRecord(buffer);
    if (recordCount_ == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else
        SetBookmarkData(buffer, current);
    if (recordCount_ < bufferCount_)
        ++recordCount_;
    InternalInsert();
    endInsertAppend();
}

void TDataSet::Append() {
    beginInsertAppend();
    clearBuffers();
    char* buffer = buffers_[0].get();
    initRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    recordCount_ = 1;
    bof_ = false;
    getPriorRecords();
    InternalInsert();
    endInsertAppend();
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsSetKey) {
        Cancel();
        return;
    }
    if (recordCount_ == 0)
        DatabaseError("Cannot perform this operation on an empty dataset", this);
    DataEvent(deCheckBrowseMode, 0);
    doHook(BeforeDelete);
    doHook(BeforeScroll);
    UpdateCursorPos();
    InternalDelete();
    SetState(dsBrowse);
    Resync(0);
    doHook(AfterDelete);
    doHook(AfterScroll);
}

void TDataSet::UpdateRecord() {
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey)
        DatabaseError("Dataset not in edit or insert mode", this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::Post() {
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    UpdateRecord();
    DataEvent(deCheckBrowseMode, 0);
    doHook(BeforePost);
    UpdateCursorPos();
    InternalPost();
    SetState(dsBrowse);
    Resync(0);
    doHook(AfterPost);
}

void TDataSet::InternalPost() { CheckRequiredFields(); }

void TDataSet::CheckRequiredFields() {
    for (TField* f : fields_)
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData && f->IsNull()) {
            f->FocusControl();
            DatabaseError(Format("Field '%s' must have a value", f->DisplayName()));
        }
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    doHook(BeforeCancel);
    bool scrolls = state_ == dsInsert;
    if (scrolls)
        doHook(BeforeScroll);
    UpdateCursorPos();
    InternalCancel();
    SetState(dsBrowse);
    Resync(0);
    doHook(AfterCancel);
    if (scrolls)
        doHook(AfterScroll);
}

// ---- notifications ----

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disableState_ = state_;
        enableEvent_ = deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0)
        return;
    if (--disableCount_ == 0) {
        if (disableState_ != state_)
            DataEvent(deUpdateState, 0);
        if (disableState_ != dsInactive && state_ != dsInactive)
            DataEvent(enableEvent_, 0);
    }
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    switch (event) {
    case deFieldChange: {
        auto* field = reinterpret_cast<TField*>(info);
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc)
            modified_ = true;
        break;
    }
    case deLayoutChange:
        if (ControlsDisabled())
            enableEvent_ = deLayoutChange;
        break;
    case deUpdateState:
        if (ControlsDisabled()) {
            // Links must still learn that the dataset closed or opened, or they would read
            // buffers that are gone.
            event = deDisabledStateChange;
            info = state_ != dsInactive;
            enableEvent_ = deLayoutChange;
        }
        break;
    default:
        break;
    }
    bool visual = !ControlsDisabled() && state_ != dsBlockRead;
    // Copy: a handler may detach a data source.
    for (TDataSource* ds : TSnapshot<TDataSource>(dataSources_))
        if (std::find(dataSources_.begin(), dataSources_.end(), ds) != dataSources_.end()) {
            if (visual || event == deDisabledStateChange)
                ds->dataEvent(event, info);
            else
                ds->notifyLinks(event, info);  // links of non-visual consumers only
        }
}

// ---- fields ----

TField* TDataSet::FindField(std::string_view fieldName) const {
    for (TField* f : fields_)
        if (SameText(f->FieldName(), fieldName))
            return f;
    return nullptr;
}

std::unordered_map<AnsiString, TField*> TDataSet::FieldsByName() const {
    std::unordered_map<AnsiString, TField*> byName;
    byName.reserve(fields_.size());
    for (TField* f : fields_)
        byName.try_emplace(UpperCase(f->FieldName()), f);
    return byName;
}

TField* TDataSet::FieldByName(std::string_view fieldName) const {
    TField* f = FindField(fieldName);
    if (!f)
        DatabaseError(Format("Field '%s' not found", fieldName), this);
    return f;
}

void TDataSet::addField(TField* field) {
    if (Active())
        DatabaseError("Cannot perform this operation on an open dataset", this);
    fields_.push_back(field);
    field->dataSet_ = this;
}

void TDataSet::removeField(TField* field) {
    std::erase(fields_, field);
    field->dataSet_ = nullptr;
}

void TDataSet::moveField(TField* field, int index) {
    auto it = std::find(fields_.begin(), fields_.end(), field);
    if (it == fields_.end())
        return;
    index = std::clamp(index, 0, FieldCount() - 1);
    int from = static_cast<int>(it - fields_.begin());
    if (from == index)
        return;
    fields_.erase(it);
    fields_.insert(fields_.begin() + index, field);
    if (Active())
        DataEvent(deLayoutChange, 0);
}

void TDataSet::MoveFields(const std::vector<std::pair<TField*, int>>& moves) {
    const int last = FieldCount() - 1;
    if (last < 0)
        return;
    auto target = [last](int index) { return std::clamp(index, 0, last); };
    for (size_t i = 1; i < moves.size(); ++i)
        if (target(moves[i].second) < target(moves[i - 1].second)) {
            for (const auto& [field, index] : moves)
                moveField(field, index);
            return;
        }
    // The order as a list, walked by a cursor at the current index: a field after it is taken to
    // just before it, a field before it (moved earlier, or passed over) to just after it, which
    // shifts the cursor's field one place up, as removing and inserting at the index does.
    struct Place {
        std::list<TField*>::iterator at;
        bool before = false; // ahead of the cursor
    };
    std::list<TField*> order(fields_.begin(), fields_.end());
    std::unordered_map<TField*, Place> places;
    places.reserve(fields_.size());
    for (auto it = order.begin(); it != order.end(); ++it)
        places[*it].at = it;
    auto cursor = order.begin();
    int at = 0;
    for (const auto& [field, index] : moves) {
        auto p = places.find(field);
        if (p == places.end())
            continue;
        for (const int to = target(index); at < to; ++at)
            places[*cursor++].before = true;
        Place& moved = p->second;
        if (moved.at == cursor)
            continue;
        if (!moved.before) {
            order.splice(cursor, order, moved.at);
        } else {
            order.splice(std::next(cursor), order, moved.at);
            places[*cursor].before = true;
            moved.before = false;
        }
        cursor = moved.at;
    }
    if (std::equal(order.begin(), order.end(), fields_.begin()))
        return;
    fields_.assign(order.begin(), order.end());
    if (Active())
        DataEvent(deLayoutChange, 0);
}

void TDataSet::CreateFields() {
    // Columns of a kind no field class shows get no field.
    for (int i = 0; i < fieldDefs_.Count(); ++i)
        if (TField* probe = CreateFieldOfType(fieldDefs_.Items(i).DataType, nullptr)) {
            delete probe;
            fieldDefs_.Items(i).CreateField(this, this);
        }
}

void TDataSet::DestroyFields() {
    // The dynamic fields leave the field list and this component's owned list in one pass each
    // before they go, so that a close costs O(fields): freed one by one, each would search both
    // lists and tell every other field.
    std::vector<TComponent*> dynamic;
    std::erase_if(fields_, [&](TField* f) {
        if (f->Persistent())
            return false;
        f->dataSet_ = nullptr;
        dynamic.push_back(f);
        return true;
    });
    FreeComponents(dynamic);
}

void TDataSet::BindFields(bool binding) {
    // The definitions by name, the first of a name as TFieldDefs::Find finds it.
    std::unordered_map<AnsiString, const TFieldDef*> defs;
    if (binding) {
        defs.reserve(size_t(fieldDefs_.Count()));
        for (int i = 0; i < fieldDefs_.Count(); ++i)
            defs.try_emplace(UpperCase(fieldDefs_.Items(i).Name), &fieldDefs_.Items(i));
    }
    for (TField* f : fields_) {
        if (!binding) {
            f->SetFieldNo(0);
            continue;
        }
        if (f->FieldKind() != fkData)
            continue;
        const auto found = defs.find(UpperCase(f->FieldName()));
        const TFieldDef* def = found == defs.end() ? nullptr : found->second;
        if (!def)
            DatabaseError(Format("Field '%s' not found", f->DisplayName()), this);
        if (BaseFieldType(f->DataType()) != BaseFieldType(def->DataType))
            DatabaseError(Format("Type mismatch for field '%s', expecting: %s actual: %s", f->DisplayName(),
                                 FieldTypeName(f->DataType()), FieldTypeName(def->DataType)),
                          this);
        TFieldType t = f->DataType();
        if ((t == ftBCD || t == ftBytes || t == ftVarBytes || t == ftReference) && f->Size() != def->Size)
            DatabaseError(Format("Size mismatch for field '%s', expecting: %d actual: %d", f->DisplayName(),
                                 f->Size(), def->Size),
                          this);
        f->SetFieldNo(def->FieldNo);
    }
}

bool TDataSet::readField(const TField* field, void* buffer) const {
    if (!ActiveRecordBuffer())
        return false;
    if (field->IsBlob())
        return readBlob(field, static_cast<AnsiString*>(buffer));
    return GetFieldData(field, buffer);
}

// Apart from readField, whose every call would otherwise pay for the blob's string.
bool TDataSet::readBlob(const TField* field, AnsiString* value) const {
    AnsiString v;
    return GetBlobData(field, value ? *value : v);
}

void TDataSet::writeField(TField* field, const void* buffer) {
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey && state_ != dsCalcFields &&
        state_ != dsFilter && state_ != dsNewValue && state_ != dsInternalCalc)
        DatabaseError("Dataset not in edit or insert mode", this);
    if (field->ReadOnly() && state_ != dsSetKey && state_ != dsCalcFields && state_ != dsFilter &&
        state_ != dsInternalCalc)
        DatabaseError(Format("Field '%s' cannot be modified", field->DisplayName()));
    field->Validate();
    if (field->IsBlob())
        SetBlobData(field, static_cast<const AnsiString*>(buffer));
    else
        SetFieldData(field, buffer);
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    field->Change();
}

bool TDataSet::GetBlobData(const TField*, AnsiString&) const { return false; }

void TDataSet::SetBlobData(TField* field, const AnsiString*) {
    DatabaseError(Format("Field '%s' cannot be modified", field->DisplayName()));
}

int TDataSet::ScanRecords(int, int, const std::vector<TField*>&, const TRecordTextVisitor&) { return -1; }
