#include "ui/Application.h"

#include "core/Format.h"
#include "core/SysUtils.h"
#include "data/DataSet.h"
#include "data/Field.h"
#include "data/SQLConnection.h"
#include "ui/Accessible.h"
#include "ui/Bitmap.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/QtBridge.h"
#include "ui/WidgetBridge.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {
// The application-wide keyboard filter: a key going down in one of our windows passes the hooks first.
class KeyFilter : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || !o->isWidgetType())
            return false;
        TWinControl* c = ControlOfWidget(static_cast<QWidget*>(o));
        if (!c)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        Word key = KeyFromQt(k->key());
        TShiftState shift = ShiftFromQt(k->modifiers());
        if (k->key() == Qt::Key_Backtab)
            shift.Include(ssShift);
        try {
            return key && Application->RunKeyHooks(c, key, shift);
        } catch (const std::exception& ex) {
            Application->HandleException(c, ex);
            return true;
        }
    }
};

AnsiString titleOf(const AnsiString& exe) {
    AnsiString name = ExtractFileName(exe);
    name = name.substr(0, name.find('.'));
    if (name.size() > 1)
        name = name.substr(0, 1) + LowerCase(name.substr(1));
    return name;
}

// Every dataset the form owns: name, state, record count, field names and the current record's
// display texts.
std::string datasetsJson(TForm* form) {
    std::string json = "[";
    bool first = true;
    for (int i = 0; i < form->ComponentCount(); ++i) {
        auto ds = dynamic_cast<TDataSet*>(form->Components(i));
        if (!ds)
            continue;
        std::string names, texts;
        for (int f = 0; f < ds->FieldCount(); ++f) {
            TField* field = ds->Fields(f);
            names += (f ? ", " : "") + JsonString(field->FieldName());
            texts += (f ? ", " : "") + JsonString(ds->Active() ? field->DisplayText() : AnsiString());
        }
        json += first ? "\n" : ",\n";
        first = false;
        json += Format("    {\"name\": %s, \"class\": %s, \"state\": %d, \"recordCount\": %d, \"fields\": [%s], "
                       "\"current\": [%s]}",
                       JsonString(ds->Name()), JsonString(ds->ClassName()), int(ds->State()),
                       ds->Active() ? ds->RecordCount() : 0, names, texts);
    }
    return json + (first ? "]" : "\n  ]");
}

} // namespace

struct TApplication::Impl {
    int argc = 1;
    char* argv[2] = {nullptr, nullptr};
    std::string argv0;
    std::unique_ptr<QApplication> app;
    std::unique_ptr<KeyFilter> filter;
};

TApplication* const Application = new TApplication(nullptr);

TApplication::TApplication(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
    title_ = titleOf(::ExeName());
}

TApplication::~TApplication() { Shutdown(); }

void TApplication::Initialize(int argc, char** argv) {
    if (initialized_)
        return;
    initialized_ = true;
    params_.clear();
    params_.push_back(argc > 0 && argv[0] ? argv[0] : ::ExeName());
    // Arguments arrive in the system's encoding (a UTF-8 terminal's, say) and are taken into the
    // code page; bytes that already are the code page's pass unchanged.
    for (int i = 1; i < argc; ++i)
        if (argv[i] && *argv[i])
            params_.push_back(codepage::FromSystem(argv[i]));
    // Qt sees only the program path: the command line belongs to the program.
    impl_->argv0 = params_[0];
    impl_->argv[0] = impl_->argv0.data();
    if (!qApp) {
        impl_->app = std::make_unique<QApplication>(impl_->argc, impl_->argv);
        // Qt takes the user's locale for everything; numbers in text keep the program's own form
        // (a "." decimal point), which the conversions of fields and formats are written for.
        std::setlocale(LC_NUMERIC, "C");
    }
    bridge::InstallFontSubstitutions();
    accessibility::InstallFactory();
    impl_->filter = std::make_unique<KeyFilter>();
    qApp->installEventFilter(impl_->filter.get());
    // Connecting shows the hourglass; nested busy spells keep it until the outermost ends.
    TSQLConnection::Hourglass = [](bool busy) {
        static int depth = 0;
        depth = std::max(0, depth + (busy ? 1 : -1));
        Screen().SetCursor(depth > 0 ? crHourGlass : crDefault);
    };
}

void TApplication::Shutdown() {
    DestroyComponents();
    mainForm_ = nullptr;
    if (impl_->filter && qApp)
        qApp->removeEventFilter(impl_->filter.get());
    impl_->filter.reset();
    impl_->app.reset();
}

AnsiString TApplication::ExeName() const { return ::ExeName(); }

AnsiString TApplication::ParamStr(int index) const {
    if (index < 0 || index >= int(params_.size()))
        return "";
    return params_[size_t(index)];
}

void TApplication::Run() {
    if (!mainForm_ || terminated_)
        return;
    mainForm_->Show();
    if (std::getenv("MORVANE_SCREENSHOT") || std::getenv("MORVANE_STATE"))
        QTimer::singleShot(0, qApp, [this] {
            if (!mainForm_)
                return;
            // Reading the state may read further rows: a failure is shown, never thrown through Qt.
            try {
                SaveHeadlessOutputs();
            } catch (const std::exception& e) {
                HandleException(this, e);
            }
            mainForm_->Close();
        });
    if (!terminated_ && mainForm_ && mainForm_->Visible())
        QApplication::exec();
    // The loop ended with the main window: the forms and everything they own go now.
    DestroyComponents();
}

void TApplication::Terminate() {
    terminated_ = true;
    if (qApp)
        QCoreApplication::exit(0);
}

void TApplication::ProcessMessages() {
    if (qApp)
        QApplication::processEvents();
}

void TApplication::HandleException(TObject* sender, const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e))
        return;
    if (OnException)
        OnException(sender, e);
    else
        ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
    auto ex = dynamic_cast<const Exception*>(&e);
    AnsiString msg = ex ? ex->Message() : AnsiString(e.what());
    if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.')
        msg += ".";
    MessageBox(msg, title_, MB_OK | MB_ICONSTOP);
}

// ---- key hooks ----

int TApplication::AddKeyHook(TKeyHook hook) {
    keyHooks_.emplace_back(nextHook_, std::move(hook));
    return nextHook_++;
}

void TApplication::RemoveKeyHook(int id) {
    std::erase_if(keyHooks_, [id](const auto& h) { return h.first == id; });
}

bool TApplication::RunKeyHooks(TWinControl* target, Word key, TShiftState shift) {
    // A copy: a hook may remove itself.
    auto hooks = keyHooks_;
    for (auto& [id, hook] : hooks)
        if (hook(target, key, shift))
            return true;
    return false;
}

// ---- headless outputs ----

std::string JsonString(std::string_view ansi) {
    std::string out = "\"";
    for (unsigned char c : codepage::ToUtf8(ansi)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20)
                out += Format("\\u%.4x", unsigned(c));
            else
                out += char(c);
        }
    }
    return out + "\"";
}

void TApplication::AddStateSection(const AnsiString& name, TStateSection section) {
    stateSections_.emplace_back(name, std::move(section));
}

std::string TApplication::StateJson(TForm* form) const {
    std::string json = "{\n  \"form\": " + JsonString(form->Name()) + ",\n  \"controls\": [";
    std::vector<TControl*> controls{form};
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (auto c = dynamic_cast<TControl*>(form->Components(i)))
            controls.push_back(c);
    bool first = true;
    for (TControl* c : controls) {
        json += first ? "\n" : ",\n";
        first = false;
        json += Format("    {\"name\": %s, \"class\": %s, \"visible\": %s, \"bounds\": [%d, %d, %d, %d], \"text\": %s}",
                       JsonString(c->Name()), JsonString(c->ClassName()), c->Visible() ? "true" : "false", c->Left(),
                       c->Top(), c->Width(), c->Height(), JsonString(c->Text()));
    }
    json += "\n  ]";
    bool datasets = false;
    for (const auto& [name, section] : stateSections_) {
        json += ",\n  " + JsonString(name) + ": " + section();
        datasets = datasets || name == "datasets";
    }
    if (!datasets)
        json += ",\n  \"datasets\": " + datasetsJson(form);
    return json + "\n}\n";
}

bool TApplication::SaveHeadlessOutputs() {
    if (!mainForm_)
        return false;
    bool done = false;
    if (const char* png = std::getenv("MORVANE_SCREENSHOT")) {
        TBitmap picture;
        mainForm_->PaintTo(picture);
        done = picture.SaveToPngFile(png);
    }
    if (const char* state = std::getenv("MORVANE_STATE")) {
        std::ofstream out(state, std::ios::binary | std::ios::trunc);
        out << StateJson(mainForm_);
        done = done || bool(out);
    }
    return done;
}

// ---- start-up failure ----

AnsiString StartupErrorText(const std::exception& e, const void* address) {
    auto ex = dynamic_cast<const Exception*>(&e);
    AnsiString msg = ex ? ex->Message() : AnsiString(e.what());
    const char* className = ex ? ex->ClassName() : "Exception";
    bool endsWithDot = !msg.empty() && msg.back() == '.';
    return Format("Exception %s in module %s at %p.\r\n%s%s\r\n", className, ExtractFileName(::ExeName()), address,
                  msg, endsWithDot ? "" : ".");
}

int ShowStartupError(const std::exception& e) {
    MessageBox(StartupErrorText(e, &e), "Application Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    return 1;
}
