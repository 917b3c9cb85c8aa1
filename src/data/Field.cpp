#include "data/Field.h"

#include "data/DBFormat.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/SysUtils.h"
#include "data/DataSet.h"
#include "data/FieldDefs.h"

#include <cmath>
#include <cstring>
#include <limits>

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "Unknown",    "String",      "SmallInt",    "Integer",    "Word",     "Boolean",    "Float",
        "Currency",   "BCD",         "Date",        "Time",       "DateTime", "Bytes",      "VarBytes",
        "AutoInc",    "Blob",        "Memo",        "Graphic",    "FmtMemo",  "ParadoxOle", "dBaseOle",
        "TypedBinary", "Cursor",     "FixedChar",   "WideString", "LargeInt", "ADT",        "Array",
        "Reference",  "DataSet",     "HugeBlob",    "HugeClob",   "Variant",  "Interface",  "Dispatch",
        "Guid",       "SQLTimeStamp", "FMTBcdField"};
    return type >= ftUnknown && type <= ftFMTBcd ? names[type] : "Unknown";
}

TFieldType BaseFieldType(TFieldType type) {
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
        return ftString;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return ftInteger;
    case ftFloat:
    case ftCurrency:
        return ftFloat;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return ftDateTime;
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
        return ftBlob;
    case ftWideString:
    case ftCursor:
        return ftUnknown;
    default:
        return type;
    }
}

TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& ts) {
    if (ts.Year == 0 && ts.Month == 0 && ts.Day == 0)
        return EncodeTime(ts.Hour, ts.Minute, ts.Second, static_cast<int>(ts.Fractions));
    TDateTime d = EncodeDate(ts.Year, ts.Month, ts.Day);
    TDateTime t = EncodeTime(ts.Hour, ts.Minute, ts.Second, static_cast<int>(ts.Fractions));
    return d < 0 ? d - t : d + t;
}

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime value) {
    int y, m, d, h, n, s, ms;
    DecodeDate(value, y, m, d);
    DecodeTime(value, h, n, s, ms);
    TSQLTimeStamp ts;
    ts.Year = static_cast<int16_t>(y);
    ts.Month = static_cast<uint16_t>(m);
    ts.Day = static_cast<uint16_t>(d);
    ts.Hour = static_cast<uint16_t>(h);
    ts.Minute = static_cast<uint16_t>(n);
    ts.Second = static_cast<uint16_t>(s);
    ts.Fractions = static_cast<uint32_t>(ms);
    return ts;
}

// ---- TField ----

void TField::DefineProperties(ClassInfo& info) {
    info.Add("FieldName", &TField::FieldName, &TField::SetFieldName);
    info.Add("FieldKind", &TField::FieldKind, &TField::SetFieldKind);
    info.Add("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel);
    info.Add("DisplayWidth", &TField::DisplayWidth, &TField::SetDisplayWidth);
    info.Add("Visible", &TField::Visible, &TField::SetVisible);
    info.Add("Required", &TField::Required, &TField::SetRequired);
    info.Add("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly);
    info.Add("Size", &TField::Size, &TField::SetSize);
    info.Add("Index", &TField::Index, &TField::SetIndex);
    info.Add("Alignment", &TField::Alignment, &TField::SetAlignment);
    info.Add("EditMask", &TField::EditMask, &TField::SetEditMask);
    info.Add("DataType", &TField::DataType);
    info.Add("DisplayName", &TField::DisplayName);
    info.Add("FieldNo", &TField::FieldNo);
}

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
    if (dataSet_)
        dataSet_->removeField(this);
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_)
        return;
    if (dataSet_ && dataSet_->Active())
        DatabaseError("Cannot perform this operation on an open dataset", dataSet_);
    TDataSet* old = dataSet_;
    if (dataSet)
        dataSet->addField(this);  // checks that dataSet is closed before anything changes
    if (old)
        std::erase(old->fields_, this);
    dataSet_ = dataSet;
}

bool TField::Persistent() const { return !dataSet_ || Owner() != dataSet_; }

void TField::SetFieldName(const AnsiString& name) {
    if (dataSet_ && dataSet_->Active())
        DatabaseError("Cannot perform this operation on an open dataset", dataSet_);
    fieldName_ = name;
}

void TField::SetFieldKind(TFieldKind kind) { fieldKind_ = kind; }

void TField::SetSize(int size) {
    if (dataSet_ && dataSet_->Active())
        DatabaseError("Cannot perform this operation on an open dataset", dataSet_);
    size_ = size;
}

void TField::SetReadOnly(bool value) {
    if (readOnly_ != value) {
        readOnly_ = value;
        PropertyChanged(true);
    }
}

void TField::SetDisplayLabel(const AnsiString& label) {
    // A label equal to the name is no label of its own.
    AnsiString value = label == fieldName_ ? AnsiString() : label;
    if (displayLabel_ != value) {
        displayLabel_ = value;
        PropertyChanged(true);
    }
}

void TField::SetDisplayWidth(int width) {
    if (displayWidth_ != width) {
        displayWidth_ = width;
        PropertyChanged(true);
    }
}

void TField::SetVisible(bool value) {
    if (visible_ != value) {
        visible_ = value;
        PropertyChanged(true);
    }
}

int TField::Index() const {
    if (!dataSet_)
        return -1;
    const auto& list = dataSet_->FieldList();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == this)
            return static_cast<int>(i);
    return -1;
}

void TField::SetIndex(int index) {
    if (dataSet_)
        dataSet_->moveField(this, index);
}

void TField::SetAlignment(TAlignment value) {
    if (alignment_ != value) {
        alignment_ = value;
        PropertyChanged(false);
    }
}

void TField::SetEditMask(const AnsiString& mask) {
    editMask_ = mask;
    PropertyChanged(false);
}

void TField::PropertyChanged(bool layoutAffected) {
    if (dataSet_ && dataSet_->Active())
        dataSet_->DataEvent(layoutAffected ? deLayoutChange : deDataSetChange, 0);
}

bool TField::GetData(void* buffer) const {
    if (!dataSet_)
        DatabaseError(Format("Field '%s' has no dataset", DisplayName()));
    return dataSet_->readField(this, buffer);
}

void TField::SetData(const void* buffer) {
    if (!dataSet_)
        DatabaseError(Format("Field '%s' has no dataset", DisplayName()));
    dataSet_->writeField(this, buffer);
}

bool TField::IsNull() const { return !dataSet_ || !dataSet_->readField(this, nullptr); }

bool TField::CanModify() const {
    if (readOnly_ || !dataSet_ || !dataSet_->CanModify())
        return false;
    return fieldKind_ == fkLookup || (fieldKind_ == fkData && fieldNo_ > 0);
}

void TField::FocusControl() {
    if (!dataSet_)
        return;
    TField* field = this;
    dataSet_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&field));
}

void TField::Validate() {
    if (OnValidate)
        OnValidate(this);
}

void TField::Change() {
    if (OnChange)
        OnChange(this);
}

void TField::AccessError(const char* typeName) const {
    DatabaseError(Format("Cannot access field '%s' as type %s", DisplayName(), typeName));
}

void TField::RangeError(double value, double min, double max) const {
    DatabaseError(Format("%s is not a valid value for field '%s'. The allowed range is %s to %s", FloatToStr(value),
                         DisplayName(), FloatToStr(min), FloatToStr(max)));
}

AnsiString TField::GetAsString() const { AccessError("String"); }
void TField::SetAsStringValue(const AnsiString&) { AccessError("String"); }
int TField::GetAsInteger() const { AccessError("Integer"); }
void TField::SetAsIntegerValue(int) { AccessError("Integer"); }
void TField::SetAsLargeIntValue(int64_t v) {
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        RangeError(static_cast<double>(v), std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    SetAsInteger(static_cast<int>(v));
}
double TField::GetAsFloat() const { AccessError("Float"); }
void TField::SetAsFloatValue(double) { AccessError("Float"); }
bool TField::GetAsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBooleanValue(bool) { AccessError("Boolean"); }
TDateTime TField::GetAsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTimeValue(TDateTime) { AccessError("DateTime"); }

void TField::GetText(AnsiString& text, bool) const { text = GetAsString(); }

AnsiString TField::Text() const {
    AnsiString text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, false);
    else
        GetText(text, false);
    return text;
}

AnsiString TField::DisplayText() const {
    AnsiString text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, true);
    else
        GetText(text, true);
    return text;
}

void TField::SetText(const AnsiString& text) {
    if (OnSetText)
        OnSetText(this, text);
    else
        SetTextValue(text);
}

bool TField::IsValidChar(char) const { return true; }

// ---- TStringField ----

void TStringField::DefineProperties(ClassInfo& info) {
    info.Add("FixedChar", &TStringField::FixedChar, &TStringField::SetFixedChar);
}

TStringField::TStringField(TComponent* owner) : TField(owner) {
    SetDataType(ftString);
    TField::SetSize(20);
}

void TStringField::SetFixedChar(bool value) {
    fixedChar_ = value;
    SetDataType(value ? ftFixedChar : ftString);
}

bool TStringField::GetValue(AnsiString& value) const {
    std::vector<char> buf(static_cast<size_t>(Size()) + 1, '\0');
    if (!GetData(buf.data()))
        return false;
    buf.back() = '\0';
    value.assign(buf.data());  // up to the first zero byte
    return true;
}

AnsiString TStringField::GetAsString() const {
    AnsiString v;
    GetValue(v);
    return v;
}

void TStringField::SetAsStringValue(const AnsiString& v) {
    // Longer text is cut at the field's size, never inside a double-byte character.
    AnsiString cut = AnsiLeft(v, static_cast<size_t>(Size()));
    std::vector<char> buf(static_cast<size_t>(Size()) + 1, '\0');
    std::memcpy(buf.data(), cut.data(), cut.size());
    SetData(buf.data());
}

int TStringField::GetAsInteger() const { return StrToInt(GetAsString()); }
void TStringField::SetAsIntegerValue(int v) { SetAsString(IntToStr(v)); }
int64_t TStringField::GetAsLargeInt() const { return StrToInt64(GetAsString()); }
double TStringField::GetAsFloat() const { return StrToFloat(GetAsString()); }
void TStringField::SetAsFloatValue(double v) { SetAsString(FloatToStr(v)); }

bool TStringField::GetAsBoolean() const {
    AnsiString s = GetAsString();
    if (!s.empty() && (s[0] == 'Y' || s[0] == 'y' || s[0] == 'T' || s[0] == 't'))
        return true;
    if (s.empty() || s[0] == 'N' || s[0] == 'n' || s[0] == 'F' || s[0] == 'f')
        return false;
    throw EConvertError(Format("'%s' is not a valid boolean value", s));
}

void TStringField::SetAsBooleanValue(bool v) { SetAsString(v ? "T" : "F"); }
TDateTime TStringField::GetAsDateTime() const { return StrToDateTime(GetAsString()); }
void TStringField::SetAsDateTimeValue(TDateTime v) { SetAsString(DateTimeToStr(v)); }

// ---- numbers ----

void TNumericField::DefineProperties(ClassInfo& info) {
    info.Add("DisplayFormat", &TNumericField::DisplayFormat, &TNumericField::SetDisplayFormat);
    info.Add("EditFormat", &TNumericField::EditFormat, &TNumericField::SetEditFormat);
}

TNumericField::TNumericField(TComponent* owner) : TField(owner) { SetAlignment(taRightJustify); }

void TNumericField::SetDisplayFormat(const AnsiString& format) {
    displayFormat_ = format;
    PropertyChanged(false);
}

void TNumericField::SetEditFormat(const AnsiString& format) {
    editFormat_ = format;
    PropertyChanged(false);
}

const AnsiString& TNumericField::FormatFor(bool displayText) const {
    return displayText || editFormat_.empty() ? displayFormat_ : editFormat_;
}

bool TNumericField::IsValidChar(char c) const { return (c >= '0' && c <= '9') || c == '+' || c == '-'; }

// Fractions need the decimal separator, and a float may be typed with an exponent.
bool TFloatField::IsValidChar(char c) const {
    return TNumericField::IsValidChar(c) || c == FormatSettings().DecimalSeparator || c == 'e' || c == 'E';
}

bool TBCDField::IsValidChar(char c) const {
    return TNumericField::IsValidChar(c) || c == FormatSettings().DecimalSeparator;
}

TIntegerField::TIntegerField(TComponent* owner) : TIntegerField(owner, ftInteger, INT32_MIN, INT32_MAX) {}

TIntegerField::TIntegerField(TComponent* owner, TFieldType type, int64_t min, int64_t max)
    : TNumericField(owner), min_(min), max_(max) {
    SetDataType(type);
}

bool TIntegerField::GetValue(int64_t& value) const {
    // Every integer kind is read in its own width.
    switch (DataSize()) {
    case 2: {
        if (DataType() == ftWord) {
            uint16_t v = 0;
            if (!GetData(&v))
                return false;
            value = v;
        } else {
            int16_t v = 0;
            if (!GetData(&v))
                return false;
            value = v;
        }
        return true;
    }
    case 8:
        return GetData(&value);
    default: {
        int32_t v = 0;
        if (!GetData(&v))
            return false;
        value = v;
        return true;
    }
    }
}

AnsiString TIntegerField::GetAsString() const {
    int64_t v;
    return GetValue(v) ? IntToStr(v) : AnsiString();
}

void TIntegerField::SetAsStringValue(const AnsiString& v) {
    if (v.empty())
        Clear();
    else
        SetAsLargeInt(StrToInt64(v));
}

int TIntegerField::GetAsInteger() const {
    int64_t v = 0;
    GetValue(v);
    return static_cast<int>(v);
}

void TIntegerField::SetAsIntegerValue(int v) { SetAsLargeInt(v); }

int64_t TIntegerField::GetAsLargeInt() const {
    int64_t v = 0;
    GetValue(v);
    return v;
}

void TIntegerField::SetAsLargeIntValue(int64_t v) {
    if (v < min_ || v > max_)
        RangeError(static_cast<double>(v), static_cast<double>(min_), static_cast<double>(max_));
    switch (DataSize()) {
    case 2:
        if (DataType() == ftWord) {
            uint16_t w = static_cast<uint16_t>(v);
            SetData(&w);
        } else {
            int16_t s = static_cast<int16_t>(v);
            SetData(&s);
        }
        break;
    case 8:
        SetData(&v);
        break;
    default: {
        int32_t i = static_cast<int32_t>(v);
        SetData(&i);
    }
    }
}

double TIntegerField::GetAsFloat() const { return static_cast<double>(GetAsLargeInt()); }

void TIntegerField::SetAsFloatValue(double v) { SetAsLargeInt(std::llround(v)); }

void TIntegerField::GetText(AnsiString& text, bool displayText) const {
    int64_t v;
    if (!GetValue(v)) {
        text.clear();
        return;
    }
    const AnsiString& fmt = FormatFor(displayText);
    text = fmt.empty() ? IntToStr(v) : FormatFloat(fmt, static_cast<double>(v));
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint, INT16_MIN, INT16_MAX) {}
TWordField::TWordField(TComponent* owner) : TIntegerField(owner, ftWord, 0, UINT16_MAX) {}
TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc, INT32_MIN, INT32_MAX) {}
TLargeintField::TLargeintField(TComponent* owner) : TIntegerField(owner, ftLargeint, INT64_MIN, INT64_MAX) {}

void TFloatField::DefineProperties(ClassInfo& info) {
    info.Add("Precision", &TFloatField::Precision, &TFloatField::SetPrecision);
    info.Add("Currency", &TFloatField::Currency, &TFloatField::SetCurrency);
}

TFloatField::TFloatField(TComponent* owner) : TNumericField(owner) { SetDataType(ftFloat); }

void TFloatField::SetPrecision(int value) {
    precision_ = value < 2 ? 2 : (value > 15 ? 15 : value);
    PropertyChanged(false);
}

void TFloatField::SetCurrency(bool value) {
    currency_ = value;
    PropertyChanged(false);
}

bool TFloatField::GetValue(double& value) const { return GetData(&value); }

AnsiString TFloatField::GetAsString() const {
    double v;
    return GetValue(v) ? FloatToStr(v, precision_) : AnsiString();
}

void TFloatField::SetAsStringValue(const AnsiString& v) {
    if (v.empty())
        Clear();
    else
        SetAsFloat(StrToFloat(v));
}

int TFloatField::GetAsInteger() const { return static_cast<int>(std::llround(GetAsFloat())); }
void TFloatField::SetAsIntegerValue(int v) { SetAsFloat(v); }

double TFloatField::GetAsFloat() const {
    double v = 0;
    GetValue(v);
    return v;
}

void TFloatField::SetAsFloatValue(double v) {
    if (!std::isfinite(v))
        throw EConvertError(Format("'%s' is not a valid floating point value", FloatToStr(v)));
    SetData(&v);
}

void TFloatField::GetText(AnsiString& text, bool displayText) const {
    double v;
    if (!GetValue(v)) {
        text.clear();
        return;
    }
    const AnsiString& fmt = FormatFor(displayText);
    if (!fmt.empty())
        text = FormatFloat(fmt, v);
    else if (currency_ && displayText)
        text = FormatFloat("#,##0.00", v);
    else
        text = FloatToStr(v, precision_);
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner) {
    SetDataType(ftCurrency);
    SetCurrency(true);
}

void TBCDField::DefineProperties(ClassInfo& info) {
    info.Add("Precision", &TBCDField::Precision, &TBCDField::SetPrecision);
}

TBCDField::TBCDField(TComponent* owner) : TBCDField(owner, ftBCD) {}

TBCDField::TBCDField(TComponent* owner, TFieldType type) : TNumericField(owner) {
    SetDataType(type);
    TField::SetSize(4);
}

namespace {
int64_t pow10(int n) {
    int64_t p = 1;
    for (int i = 0; i < n && i < 18; ++i)
        p *= 10;
    return p;
}

// The exact decimal text of an unscaled value with `scale` decimals.
AnsiString decimalText(int64_t unscaled, int scale) {
    bool neg = unscaled < 0;
    uint64_t u = neg ? 0 - static_cast<uint64_t>(unscaled) : static_cast<uint64_t>(unscaled);
    AnsiString digits = std::to_string(u);
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale)
            digits.insert(0, static_cast<size_t>(scale - static_cast<int>(digits.size()) + 1), '0');
        digits.insert(digits.size() - static_cast<size_t>(scale), 1, FormatSettings().DecimalSeparator);
        while (digits.back() == '0')
            digits.pop_back();
        if (digits.back() == FormatSettings().DecimalSeparator)
            digits.pop_back();
    }
    return neg ? "-" + digits : digits;
}
} // namespace

bool TBCDField::GetValue(int64_t& unscaled) const { return GetData(&unscaled); }

AnsiString TBCDField::GetAsString() const {
    int64_t v;
    return GetValue(v) ? decimalText(v, Size()) : AnsiString();
}

void TBCDField::SetAsStringValue(const AnsiString& v) {
    if (v.empty()) {
        Clear();
        return;
    }
    // Read the decimal text exactly when it has no more decimals than the field keeps.
    size_t point = v.find(FormatSettings().DecimalSeparator);
    AnsiString intPart = v.substr(0, point), frac = point == AnsiString::npos ? "" : v.substr(point + 1);
    int64_t whole, fraction = 0;
    bool digitsOnly = frac.find_first_not_of("0123456789") == AnsiString::npos;
    if (static_cast<int>(frac.size()) <= Size() && digitsOnly &&
        (intPart.empty() || intPart == "-" || TryStrToInt64(intPart, whole))) {
        if (intPart.empty() || intPart == "-")
            whole = 0;
        if (!frac.empty())
            fraction = StrToInt64(frac) * pow10(Size() - static_cast<int>(frac.size()));
        bool neg = !v.empty() && v[0] == '-';
        int64_t unscaled = whole * pow10(Size()) + (neg ? -fraction : fraction);
        SetData(&unscaled);
        return;
    }
    SetAsFloat(StrToFloat(v));
}

int TBCDField::GetAsInteger() const { return static_cast<int>(std::llround(GetAsFloat())); }
void TBCDField::SetAsIntegerValue(int v) {
    int64_t unscaled = static_cast<int64_t>(v) * pow10(Size());
    SetData(&unscaled);
}

double TBCDField::GetAsFloat() const {
    int64_t v = 0;
    GetValue(v);
    return static_cast<double>(v) / static_cast<double>(pow10(Size()));
}

void TBCDField::SetAsFloatValue(double v) {
    double scaled = std::round(v * static_cast<double>(pow10(Size())));
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2e18)
        RangeError(v, -9.2e18 / static_cast<double>(pow10(Size())), 9.2e18 / static_cast<double>(pow10(Size())));
    int64_t unscaled = static_cast<int64_t>(scaled);
    SetData(&unscaled);
}

void TBCDField::GetText(AnsiString& text, bool displayText) const {
    int64_t v;
    if (!GetValue(v)) {
        text.clear();
        return;
    }
    const AnsiString& fmt = FormatFor(displayText);
    text = fmt.empty() ? decimalText(v, Size()) : FormatFloat(fmt, GetAsFloat());
}

TFMTBCDField::TFMTBCDField(TComponent* owner) : TBCDField(owner, ftFMTBcd) {}

// ---- dates and times ----

void TDateTimeField::DefineProperties(ClassInfo& info) {
    info.Add("DisplayFormat", &TDateTimeField::DisplayFormat, &TDateTimeField::SetDisplayFormat);
}

TDateTimeField::TDateTimeField(TComponent* owner) : TDateTimeField(owner, ftDateTime) {}
TDateTimeField::TDateTimeField(TComponent* owner, TFieldType type) : TField(owner) { SetDataType(type); }

void TDateTimeField::SetDisplayFormat(const AnsiString& format) {
    displayFormat_ = format;
    PropertyChanged(false);
}

bool TDateTimeField::GetValue(TDateTime& value) const { return GetData(&value); }

AnsiString TDateTimeField::GetAsString() const {
    AnsiString s;
    GetText(s, false);
    return s;
}

void TDateTimeField::SetAsStringValue(const AnsiString& v) {
    if (v.empty())
        Clear();
    else
        SetAsDateTime(StrToDateTime(v));
}

double TDateTimeField::GetAsFloat() const { return GetAsDateTime(); }
void TDateTimeField::SetAsFloatValue(double v) { SetAsDateTime(v); }

TDateTime TDateTimeField::GetAsDateTime() const {
    TDateTime v = 0;
    GetValue(v);
    return v;
}

void TDateTimeField::SetAsDateTimeValue(TDateTime v) { SetData(&v); }

void TDateTimeField::GetText(AnsiString& text, bool displayText) const {
    TDateTime v;
    if (!GetValue(v)) {
        text.clear();
        return;
    }
    text = FormatDateTime(displayText && !displayFormat_.empty() ? displayFormat_ : PlainFormat(), v);
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}

void TDateField::SetAsStringValue(const AnsiString& v) {
    if (v.empty())
        Clear();
    else
        SetAsDateTime(StrToDate(v));
}

void TDateField::SetAsDateTimeValue(TDateTime v) {
    TDateTime day = std::trunc(v);
    SetData(&day);
}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}

void TTimeField::SetAsStringValue(const AnsiString& v) {
    if (v.empty())
        Clear();
    else
        SetAsDateTime(StrToTime(v));
}

void TTimeField::SetAsDateTimeValue(TDateTime v) {
    TDateTime time = std::fabs(v - std::trunc(v));
    SetData(&time);
}

void TSQLTimeStampField::DefineProperties(ClassInfo& info) {
    info.Add("DisplayFormat", &TSQLTimeStampField::DisplayFormat, &TSQLTimeStampField::SetDisplayFormat);
}

TSQLTimeStampField::TSQLTimeStampField(TComponent* owner) : TField(owner) { SetDataType(ftTimeStamp); }

void TSQLTimeStampField::SetDisplayFormat(const AnsiString& format) {
    displayFormat_ = format;
    PropertyChanged(false);
}

bool TSQLTimeStampField::GetValue(TSQLTimeStamp& value) const { return GetData(&value); }

AnsiString TSQLTimeStampField::GetAsString() const {
    AnsiString s;
    GetText(s, false);
    return s;
}

void TSQLTimeStampField::SetAsStringValue(const AnsiString& v) {
    if (v.empty())
        Clear();
    else
        SetAsDateTime(StrToDateTime(v));
}

TDateTime TSQLTimeStampField::GetAsDateTime() const {
    TSQLTimeStamp ts;
    return GetValue(ts) ? SQLTimeStampToDateTime(ts) : 0;
}

void TSQLTimeStampField::SetAsDateTimeValue(TDateTime v) {
    TSQLTimeStamp ts = DateTimeToSQLTimeStamp(v);
    SetData(&ts);
}

void TSQLTimeStampField::GetText(AnsiString& text, bool displayText) const {
    TSQLTimeStamp ts;
    if (!GetValue(ts)) {
        text.clear();
        return;
    }
    text = FormatDateTime(displayText && !displayFormat_.empty() ? displayFormat_ : "c", SQLTimeStampToDateTime(ts));
}

// ---- boolean ----

void TBooleanField::DefineProperties(ClassInfo& info) {
    info.Add("DisplayValues", &TBooleanField::DisplayValues, &TBooleanField::SetDisplayValues);
}

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) { SetDataType(ftBoolean); }

void TBooleanField::SetDisplayValues(const AnsiString& values) {
    size_t semi = AnsiFind(values, ";");
    if (semi == AnsiString::npos || values.empty())
        DatabaseError(Format("Invalid format for boolean display values: '%s'", values));
    displayValues_ = values;
    true_ = values.substr(0, semi);
    false_ = values.substr(semi + 1);
    PropertyChanged(true);
}

int TBooleanField::DefaultWidth() const {
    return static_cast<int>(std::max(AnsiCharCount(true_), AnsiCharCount(false_)));
}

AnsiString TBooleanField::GetAsString() const {
    int16_t v;
    if (!GetData(&v))
        return AnsiString();
    return v ? true_ : false_;
}

void TBooleanField::SetAsStringValue(const AnsiString& v) {
    if (v.empty()) {
        Clear();
        return;
    }
    // A leading part of either text will do.
    auto starts = [&v](const AnsiString& word) { return !word.empty() && SameText(word.substr(0, v.size()), v); };
    if (starts(true_))
        SetAsBoolean(true);
    else if (starts(false_))
        SetAsBoolean(false);
    else
        DatabaseError(Format("'%s' is not a valid boolean value for field '%s'", v, DisplayName()));
}

bool TBooleanField::GetAsBoolean() const {
    int16_t v = 0;
    GetData(&v);
    return v != 0;
}

void TBooleanField::SetAsBooleanValue(bool v) {
    int16_t value = v ? 1 : 0;
    SetData(&value);
}

// ---- binary ----

TBytesField::TBytesField(TComponent* owner) : TBytesField(owner, ftBytes) {}
TBytesField::TBytesField(TComponent* owner, TFieldType type) : TField(owner) {
    SetDataType(type);
    TField::SetSize(16);
}

AnsiString TBytesField::GetAsString() const {
    AnsiString v(static_cast<size_t>(Size()), '\0');
    return GetData(v.data()) ? v : AnsiString();
}

void TBytesField::SetAsStringValue(const AnsiString& v) {
    AnsiString buf(static_cast<size_t>(Size()), '\0');
    std::memcpy(buf.data(), v.data(), std::min(v.size(), buf.size()));
    SetData(buf.data());
}

TVarBytesField::TVarBytesField(TComponent* owner) : TBytesField(owner, ftVarBytes) {}

AnsiString TVarBytesField::GetAsString() const {
    std::vector<char> buf(static_cast<size_t>(Size()) + 2, '\0');
    if (!GetData(buf.data()))
        return AnsiString();
    uint16_t len;
    std::memcpy(&len, buf.data(), 2);
    return AnsiString(buf.data() + 2, std::min<size_t>(len, static_cast<size_t>(Size())));
}

void TVarBytesField::SetAsStringValue(const AnsiString& v) {
    std::vector<char> buf(static_cast<size_t>(Size()) + 2, '\0');
    uint16_t len = static_cast<uint16_t>(std::min<size_t>(v.size(), static_cast<size_t>(Size())));
    std::memcpy(buf.data(), &len, 2);
    std::memcpy(buf.data() + 2, v.data(), len);
    SetData(buf.data());
}

TBlobField::TBlobField(TComponent* owner) : TBlobField(owner, ftBlob) {}
TBlobField::TBlobField(TComponent* owner, TFieldType type) : TField(owner) { SetDataType(type); }

AnsiString TBlobField::GetAsString() const {
    AnsiString v;
    GetData(&v);
    return v;
}

void TBlobField::SetAsStringValue(const AnsiString& v) { SetData(&v); }

void TBlobField::GetText(AnsiString& text, bool) const {
    text = Format("(%s)", IsNull() ? LowerCase(ClassDesc()) : AnsiString(ClassDesc()));
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner, ftMemo) {}
TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner, ftGraphic) {}

TField* CreateFieldOfType(TFieldType type, TComponent* owner) {
    switch (type) {
    case ftString:
        return new TStringField(owner);
    case ftFixedChar: {
        auto* f = new TStringField(owner);
        f->SetFixedChar(true);
        return f;
    }
    case ftSmallint:
        return new TSmallintField(owner);
    case ftInteger:
        return new TIntegerField(owner);
    case ftWord:
        return new TWordField(owner);
    case ftAutoInc:
        return new TAutoIncField(owner);
    case ftLargeint:
        return new TLargeintField(owner);
    case ftBoolean:
        return new TBooleanField(owner);
    case ftFloat:
        return new TFloatField(owner);
    case ftCurrency:
        return new TCurrencyField(owner);
    case ftBCD:
        return new TBCDField(owner);
    case ftFMTBcd:
        return new TFMTBCDField(owner);
    case ftDate:
        return new TDateField(owner);
    case ftTime:
        return new TTimeField(owner);
    case ftDateTime:
        return new TDateTimeField(owner);
    case ftTimeStamp:
        return new TSQLTimeStampField(owner);
    case ftBytes:
        return new TBytesField(owner);
    case ftVarBytes:
        return new TVarBytesField(owner);
    case ftBlob:
    case ftTypedBinary:
    case ftOraBlob:
        return new TBlobField(owner);
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        return new TMemoField(owner);
    case ftGraphic:
        return new TGraphicField(owner);
    default:
        return nullptr;
    }
}

// ---- field definitions ----

TField* TFieldDef::CreateField(TComponent* owner, TDataSet* dataSet) const {
    TField* f = CreateFieldOfType(DataType, owner);
    if (!f)
        DatabaseError(Format("Field '%s' is of an unknown type", Name));
    try {
        f->SetFieldName(Name);
        if (Size > 0 || dynamic_cast<TStringField*>(f) || dynamic_cast<TBytesField*>(f))
            f->SetSize(Size);
        if (auto* bcd = dynamic_cast<TBCDField*>(f))
            bcd->SetPrecision(Precision);
        if (auto* s = dynamic_cast<TStringField*>(f); s && FixedChar)
            s->SetFixedChar(true);
        f->SetRequired(Required);
        f->SetReadOnly(ReadOnly);
        f->SetDataSet(dataSet);
    } catch (...) {
        delete f;
        throw;
    }
    return f;
}

TFieldDef& TFieldDefs::Add(const AnsiString& name, TFieldType type, int size, bool required) {
    auto def = std::make_unique<TFieldDef>();
    def->Name = name;
    def->DataType = type;
    def->Size = size;
    def->Required = required;
    def->FixedChar = type == ftFixedChar;
    def->FieldNo = Count() + 1;
    defs_.push_back(std::move(def));
    return *defs_.back();
}

int TFieldDefs::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < defs_.size(); ++i)
        if (SameText(defs_[i]->Name, name))
            return static_cast<int>(i);
    return -1;
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : defs_[static_cast<size_t>(i)].get();
}
