// The selection grid's making and unmaking, its data source, the components it refers to and the text
// of its cells. Cell text costs one field read; nothing here reads records.
#include "grid/KxCustomDBGrid.h"

#include "data/DataSource.h"
#include "grid/KxGridAccessible.h"
#include "grid/KxGridDataLink.h"
#include "ui/Canvas.h"
#include "ui/FindBar.h"
#include "ui/ImageList.h"

TkxCustomDBGrid::TkxCustomDBGrid(TComponent* owner)
    : TCustomGrid(owner), link_(std::make_unique<TkxGridDataLink>(this)),
      nullColumn_(std::make_unique<TkxColumn>(this, AnsiString(), true)) {
    titleFont_.Assign(*Font());
    titleFont_.OnChange = [this](TGraphicsObject*) {
        // A title font of its own: the grid stops following its parent's font.
        if (!copyingTitleFont_ && !Loading()) SetParentFont(false);
        RebuildLayout();
    };
    // The default options as stored, and the base grid's options derived from them: lines both
    // ways, column sizing and moving, editing, Tab.
    applyBaseOptions();
    SetColCount(2);
    SetRowCount(2);
    applyScrollBars();
    SetFixedColor(titleColor_);
    // The grid paints every cell itself.
    TCustomGrid::SetDefaultDrawing(false);
}

TkxCustomDBGrid::~TkxCustomDBGrid() {
    // No notification may reach a grid that is going.
    link_.reset();
}

TDataSource* TkxCustomDBGrid::DataSource() const {
    return link_ ? link_->DataSource() : nullptr;
}

TDataSet* TkxCustomDBGrid::DataSet() const {
    return link_ ? link_->DataSet() : nullptr;
}

void TkxCustomDBGrid::SetDataSource(TDataSource* source) {
    if (source == link_->DataSource()) return;
    if (TDataSource* old = link_->DataSource()) RemoveFreeNotification(old);
    link_->SetDataSource(source);
    if (source) FreeNotification(source);
    ActivationChanged(link_->Active());
}

void TkxCustomDBGrid::Notification(TComponent* component, Operation operation) {
    TCustomGrid::Notification(component, operation);
    if (operation != Operation::Remove || !link_) return;
    if (component == link_->DataSource()) SetDataSource(nullptr);
    for (TkxCacheColInfoItem& item : cache_)
        if (item.Control == component) item.Control = nullptr;
    if (component == currentEmbeddedControl_) currentEmbeddedControl_ = nullptr;
    if (component == dateTimePicker_) dateTimePicker_ = nullptr;
    if (component == indicatorButton_) indicatorButton_ = nullptr;
    if (component == titleImageList_) titleImageList_ = nullptr;
    if (component == imageList_) imageList_ = nullptr;
    if (component == static_cast<TComponent*>(findBar_)) findBar_ = nullptr;
}

void TkxCustomDBGrid::Loaded() {
    TCustomGrid::Loaded();
    RebuildLayout();
}

void TkxCustomDBGrid::FontChanged() {
    TCustomGrid::FontChanged();
    if (!link_) return;
    followFont();
    RebuildLayout();
}

void TkxCustomDBGrid::followFont() {
    // While the grid follows its parent's font, the title font follows the grid's.
    if (!ParentFont() || titleFont_.SameAs(*Font())) return;
    bool saved = copyingTitleFont_;
    copyingTitleFont_ = true;
    try {
        titleFont_.Assign(*Font());
    } catch (...) {
        copyingTitleFont_ = saved;
        throw;
    }
    copyingTitleFont_ = saved;
}

// ---- measuring ----

int TkxCustomDBGrid::TextWidthIn(const TFont& font, const AnsiString& text) const {
    measure_.SetFont(font);
    return measure_.TextWidth(text);
}

int TkxCustomDBGrid::TextHeightIn(const TFont& font, const AnsiString& text) const {
    measure_.SetFont(font);
    return measure_.TextHeight(text);
}

// ---- cells ----

bool TkxCustomDBGrid::IsMemoField(const TField* field) {
    return field && (field->DataType() == ftMemo || field->DataType() == ftOraClob);
}

TField* TkxCustomDBGrid::DataCellField(int gridCol, int gridRow) const {
    if (gridRow < TitleRowCount() || !DataSource() || !DataSet()) return nullptr;
    return MappedField(gridCol - IndicatorOffset());
}

AnsiString TkxCustomDBGrid::GetCellText(int dataCol) const {
    TField* f = MappedField(dataCol);
    return f ? f->DisplayText() : AnsiString();
}
