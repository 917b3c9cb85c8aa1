#pragma once
// Fields: one object per column of a dataset's current record, reading and writing its value in the
// field's own native form through the dataset, and showing it as text.
//
// Native forms (what GetData/SetData move, DataSize bytes):
//   text (string, fixed char)            Size + 1 bytes, zero-terminated
//   small integer / word                  int16_t / uint16_t
//   integer / auto-increment              int32_t
//   large integer                         int64_t
//   float / currency                      double
//   BCD / FMT BCD                         int64_t, the value times 10^Size (Size is the scale)
//   boolean                               int16_t, 0 or 1
//   date / time / date-time               double, a TDateTime
//   SQL time stamp                        TSQLTimeStamp
//   bytes                                 Size bytes
//   variable bytes                        uint16_t length, then Size bytes
//   blob, memo, graphic                   not in the record: read and written whole through the dataset
#include "core/Component.h"
#include "data/DBFormat.h"

#include <cstdint>
#include <functional>

enum TFieldType {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD, ftDate, ftTime,
    ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle,
    ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint, ftADT, ftArray, ftReference, ftDataSet,
    ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd
};

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// The type's name as binding messages show it ("String", "Float", "SQLTimeStamp", ...).
const char* FieldTypeName(TFieldType type);
// The type a field and a column are compared by when a field is bound: text kinds → ftString,
// integer kinds → ftInteger, float and currency → ftFloat, date and time kinds → ftDateTime, blob
// kinds → ftBlob, wide text and cursor → ftUnknown, others themselves.
TFieldType BaseFieldType(TFieldType type);

struct TSQLTimeStamp {
    int16_t Year = 0;
    uint16_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    uint32_t Fractions = 0;  // milliseconds
};
TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& ts);
TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime value);

class TDataSet;

class TField : public TComponent {
    MORVANE_CLASS_PROPS(TField, TComponent)
public:
    explicit TField(TComponent* owner);
    ~TField() override;

    // The dataset the field belongs to; setting it appends the field to the dataset's fields
    // ("Cannot perform this operation on an open dataset" while that dataset is open).
    TDataSet* DataSet() const { return dataSet_; }
    void SetDataSet(TDataSet* dataSet);

    const AnsiString& FieldName() const { return fieldName_; }
    void SetFieldName(const AnsiString& name);
    TFieldKind FieldKind() const { return fieldKind_; }
    void SetFieldKind(TFieldKind kind);
    TFieldType DataType() const { return dataType_; }
    int Size() const { return size_; }
    virtual void SetSize(int size);
    bool Required() const { return required_; }
    void SetRequired(bool value) { required_ = value; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    const AnsiString& DisplayLabel() const { return displayLabel_; }
    void SetDisplayLabel(const AnsiString& label);
    // The display label, or the field name when there is none.
    const AnsiString& DisplayName() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
    // Characters; 0 stored means the field class's default.
    int DisplayWidth() const { return displayWidth_ > 0 ? displayWidth_ : DefaultWidth(); }
    void SetDisplayWidth(int width);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    // Position among the dataset's fields; -1 without a dataset.
    int Index() const;
    void SetIndex(int index);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    const AnsiString& EditMask() const { return editMask_; }
    void SetEditMask(const AnsiString& mask);
    // The 1-based column the field is bound to; 0 when unbound.
    int FieldNo() const { return fieldNo_; }
    void SetFieldNo(int fieldNo) { fieldNo_ = fieldNo; }
    // Declared with the dataset (owned by someone else) rather than created by it on open.
    bool Persistent() const;
    bool Calculated() const { return fieldKind_ == fkCalculated; }

    // Bytes of the native form in a record.
    virtual int DataSize() const { return 0; }
    virtual bool IsBlob() const { return false; }
    // Reads the current record's value into buffer (may be null); false when the value is null.
    bool GetData(void* buffer) const;
    // Writes the current record's value; null buffer writes null. The dataset must be editing.
    void SetData(const void* buffer);
    bool IsNull() const;
    void Clear() { SetData(nullptr); }
    bool CanModify() const;
    // Asks the controls showing this field to take the focus.
    void FocusControl();

    AnsiString AsString() const { return GetAsString(); }
    void SetAsString(const AnsiString& v) { SetAsStringValue(v); }
    int AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int v) { SetAsIntegerValue(v); }
    int64_t AsLargeInt() const { return GetAsLargeInt(); }
    void SetAsLargeInt(int64_t v) { SetAsLargeIntValue(v); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double v) { SetAsFloatValue(v); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool v) { SetAsBooleanValue(v); }
    TDateTime AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(TDateTime v) { SetAsDateTimeValue(v); }

    // Edit text (what an editor starts with) and display text (what a cell shows).
    AnsiString Text() const;
    void SetText(const AnsiString& text);
    AnsiString DisplayText() const;
    // Whether a typed character fits the field (a numeric field takes digits and signs only).
    virtual bool IsValidChar(char c) const;

    std::function<void(TField* sender)> OnChange;
    // Called before a value is stored; may raise to refuse it.
    std::function<void(TField* sender)> OnValidate;
    std::function<void(TField* sender, AnsiString& text, bool displayText)> OnGetText;
    std::function<void(TField* sender, const AnsiString& text)> OnSetText;

protected:
    void SetDataType(TFieldType type) { dataType_ = type; }
    virtual int DefaultWidth() const { return 10; }
    virtual AnsiString GetAsString() const;
    virtual void SetAsStringValue(const AnsiString& v);
    virtual int GetAsInteger() const;
    virtual void SetAsIntegerValue(int v);
    virtual int64_t GetAsLargeInt() const { return GetAsInteger(); }
    virtual void SetAsLargeIntValue(int64_t v);
    virtual double GetAsFloat() const;
    virtual void SetAsFloatValue(double v);
    virtual bool GetAsBoolean() const;
    virtual void SetAsBooleanValue(bool v);
    virtual TDateTime GetAsDateTime() const;
    virtual void SetAsDateTimeValue(TDateTime v);
    virtual void GetText(AnsiString& text, bool displayText) const;
    virtual void SetTextValue(const AnsiString& text) { SetAsString(text); }
    // "Cannot access field '%s' as type %s".
    [[noreturn]] void AccessError(const char* typeName) const;
    // "%s is not a valid value for field '%s'. The allowed range is %s to %s".
    [[noreturn]] void RangeError(double value, double min, double max) const;
    // Tells the dataset that an attribute changed: the layout (label, width, order, visibility)
    // or only the shown values.
    void PropertyChanged(bool layoutAffected);

private:
    friend class TDataSet;
    void Validate();
    void Change();

    TDataSet* dataSet_ = nullptr;
    AnsiString fieldName_;
    TFieldKind fieldKind_ = fkData;
    TFieldType dataType_ = ftUnknown;
    int size_ = 0;
    bool required_ = false;
    bool readOnly_ = false;
    AnsiString displayLabel_;
    int displayWidth_ = 0;
    bool visible_ = true;
    TAlignment alignment_ = taLeftJustify;
    AnsiString editMask_;
    int fieldNo_ = 0;
};

// ---- text ----

class TStringField : public TField {
    MORVANE_CLASS_PROPS(TStringField, TField)
public:
    explicit TStringField(TComponent* owner);
    int DataSize() const override { return Size() + 1; }
    bool FixedChar() const { return fixedChar_; }
    void SetFixedChar(bool value);
    // The text up to the first zero byte; false when null.
    bool GetValue(AnsiString& value) const;

protected:
    int DefaultWidth() const override { return Size(); }
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    int GetAsInteger() const override;
    void SetAsIntegerValue(int v) override;
    int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool v) override;
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime v) override;

private:
    bool fixedChar_ = false;
};

// ---- numbers ----

class TNumericField : public TField {
    MORVANE_CLASS_PROPS(TNumericField, TField)
public:
    explicit TNumericField(TComponent* owner);
    const AnsiString& DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const AnsiString& format);
    const AnsiString& EditFormat() const { return editFormat_; }
    void SetEditFormat(const AnsiString& format);
    bool IsValidChar(char c) const override;

protected:
    // The format that applies to display text or edit text; empty for the plain form.
    const AnsiString& FormatFor(bool displayText) const;

private:
    AnsiString displayFormat_;
    AnsiString editFormat_;
};

class TIntegerField : public TNumericField {
    MORVANE_CLASS(TIntegerField, TNumericField)
public:
    explicit TIntegerField(TComponent* owner);
    int DataSize() const override { return 4; }
    bool GetValue(int64_t& value) const;

protected:
    TIntegerField(TComponent* owner, TFieldType type, int64_t min, int64_t max);
    int DefaultWidth() const override { return 11; }
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    int GetAsInteger() const override;
    void SetAsIntegerValue(int v) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    void GetText(AnsiString& text, bool displayText) const override;

private:
    int64_t min_, max_;
};

class TSmallintField : public TIntegerField {
    MORVANE_CLASS(TSmallintField, TIntegerField)
public:
    explicit TSmallintField(TComponent* owner);
    int DataSize() const override { return 2; }

protected:
    int DefaultWidth() const override { return 6; }
};

class TWordField : public TIntegerField {
    MORVANE_CLASS(TWordField, TIntegerField)
public:
    explicit TWordField(TComponent* owner);
    int DataSize() const override { return 2; }

protected:
    int DefaultWidth() const override { return 6; }
};

class TAutoIncField : public TIntegerField {
    MORVANE_CLASS(TAutoIncField, TIntegerField)
public:
    explicit TAutoIncField(TComponent* owner);
};

class TLargeintField : public TIntegerField {
    MORVANE_CLASS(TLargeintField, TIntegerField)
public:
    explicit TLargeintField(TComponent* owner);
    int DataSize() const override { return 8; }

protected:
    int DefaultWidth() const override { return 15; }
};

class TFloatField : public TNumericField {
    MORVANE_CLASS_PROPS(TFloatField, TNumericField)
public:
    explicit TFloatField(TComponent* owner);
    int DataSize() const override { return 8; }
    // Significant digits of the plain text form.
    int Precision() const { return precision_; }
    void SetPrecision(int value);
    bool Currency() const { return currency_; }
    void SetCurrency(bool value);
    bool GetValue(double& value) const;
    bool IsValidChar(char c) const override;

protected:
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    int GetAsInteger() const override;
    void SetAsIntegerValue(int v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    void GetText(AnsiString& text, bool displayText) const override;

private:
    int precision_ = 15;
    bool currency_ = false;
};

class TCurrencyField : public TFloatField {
    MORVANE_CLASS(TCurrencyField, TFloatField)
public:
    explicit TCurrencyField(TComponent* owner);
};

// A scaled decimal: Size is the number of decimals, Precision the digits in all.
class TBCDField : public TNumericField {
    MORVANE_CLASS_PROPS(TBCDField, TNumericField)
public:
    explicit TBCDField(TComponent* owner);
    int DataSize() const override { return 8; }
    int Precision() const { return precision_; }
    void SetPrecision(int value) { precision_ = value; }
    // The unscaled value (the number times 10^Size); false when null.
    bool GetValue(int64_t& unscaled) const;
    bool IsValidChar(char c) const override;

protected:
    TBCDField(TComponent* owner, TFieldType type);
    int DefaultWidth() const override { return precision_ > 0 ? precision_ + 2 : 10; }
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    int GetAsInteger() const override;
    void SetAsIntegerValue(int v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    void GetText(AnsiString& text, bool displayText) const override;

private:
    int precision_ = 0;
};

class TFMTBCDField : public TBCDField {
    MORVANE_CLASS(TFMTBCDField, TBCDField)
public:
    explicit TFMTBCDField(TComponent* owner);
};

// ---- dates and times ----

class TDateTimeField : public TField {
    MORVANE_CLASS_PROPS(TDateTimeField, TField)
public:
    explicit TDateTimeField(TComponent* owner);
    int DataSize() const override { return 8; }
    const AnsiString& DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const AnsiString& format);
    bool GetValue(TDateTime& value) const;

protected:
    TDateTimeField(TComponent* owner, TFieldType type);
    int DefaultWidth() const override { return 18; }
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime v) override;
    void GetText(AnsiString& text, bool displayText) const override;
    // The format of the plain text form.
    virtual AnsiString PlainFormat() const { return "c"; }

private:
    AnsiString displayFormat_;
};

class TDateField : public TDateTimeField {
    MORVANE_CLASS(TDateField, TDateTimeField)
public:
    explicit TDateField(TComponent* owner);

protected:
    int DefaultWidth() const override { return 10; }
    void SetAsStringValue(const AnsiString& v) override;
    void SetAsDateTimeValue(TDateTime v) override;
    AnsiString PlainFormat() const override { return FormatSettings().ShortDateFormat; }
};

class TTimeField : public TDateTimeField {
    MORVANE_CLASS(TTimeField, TDateTimeField)
public:
    explicit TTimeField(TComponent* owner);

protected:
    int DefaultWidth() const override { return 10; }
    void SetAsStringValue(const AnsiString& v) override;
    void SetAsDateTimeValue(TDateTime v) override;
    AnsiString PlainFormat() const override { return FormatSettings().LongTimeFormat; }
};

class TSQLTimeStampField : public TField {
    MORVANE_CLASS_PROPS(TSQLTimeStampField, TField)
public:
    explicit TSQLTimeStampField(TComponent* owner);
    int DataSize() const override { return static_cast<int>(sizeof(TSQLTimeStamp)); }
    const AnsiString& DisplayFormat() const { return displayFormat_; }
    void SetDisplayFormat(const AnsiString& format);
    bool GetValue(TSQLTimeStamp& value) const;

protected:
    int DefaultWidth() const override { return 18; }
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    double GetAsFloat() const override { return GetAsDateTime(); }
    void SetAsFloatValue(double v) override { SetAsDateTime(v); }
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime v) override;
    void GetText(AnsiString& text, bool displayText) const override;

private:
    AnsiString displayFormat_;
};

// ---- other ----

class TBooleanField : public TField {
    MORVANE_CLASS_PROPS(TBooleanField, TField)
public:
    explicit TBooleanField(TComponent* owner);
    int DataSize() const override { return 2; }
    // "True;False" by default: the texts for true and false.
    const AnsiString& DisplayValues() const { return displayValues_; }
    void SetDisplayValues(const AnsiString& values);

protected:
    int DefaultWidth() const override;
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool v) override;
    int GetAsInteger() const override { return GetAsBoolean() ? 1 : 0; }

private:
    AnsiString displayValues_ = "True;False";
    AnsiString true_ = "True", false_ = "False";
};

class TBytesField : public TField {
    MORVANE_CLASS(TBytesField, TField)
public:
    explicit TBytesField(TComponent* owner);
    int DataSize() const override { return Size(); }

protected:
    TBytesField(TComponent* owner, TFieldType type);
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
};

class TVarBytesField : public TBytesField {
    MORVANE_CLASS(TVarBytesField, TBytesField)
public:
    explicit TVarBytesField(TComponent* owner);
    int DataSize() const override { return Size() + 2; }

protected:
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
};

class TBlobField : public TField {
    MORVANE_CLASS(TBlobField, TField)
public:
    explicit TBlobField(TComponent* owner);
    bool IsBlob() const override { return true; }

protected:
    TBlobField(TComponent* owner, TFieldType type);
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& v) override;
    // "(BLOB)", or "(blob)" for a null value.
    void GetText(AnsiString& text, bool displayText) const override;
    virtual const char* ClassDesc() const { return "BLOB"; }
};

class TMemoField : public TBlobField {
    MORVANE_CLASS(TMemoField, TBlobField)
public:
    explicit TMemoField(TComponent* owner);

protected:
    const char* ClassDesc() const override { return "MEMO"; }
};

class TGraphicField : public TBlobField {
    MORVANE_CLASS(TGraphicField, TBlobField)
public:
    explicit TGraphicField(TComponent* owner);

protected:
    const char* ClassDesc() const override { return "GRAPHIC"; }
};

// A new field of the class for the type, or null for a type no field class serves.
TField* CreateFieldOfType(TFieldType type, TComponent* owner);
