#pragma once
// The application object: it starts the window system (without letting it read the program's
// arguments), creates the main form, runs the message loop until the main form closes, shows
// exceptions that escape handlers, and offers the headless hooks: MORVANE_SCREENSHOT=file.png and
// MORVANE_STATE=file.json save the main window's picture and state once it is shown and painted and
// then close it; MORVANE_DIALOGS=auto answers every message box with its default button.
#include "core/Component.h"
#include "core/Exception.h"
#include "ui/Keys.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TForm;
class TWinControl;
using TObject = TPersistent;

// Answers true when it took the key (the control then never sees it).
using TKeyHook = std::function<bool(TWinControl* target, Word key, TShiftState shift)>;
using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e)>;
// A part of the window's state: valid JSON text (UTF-8) for one member of the state object.
using TStateSection = std::function<std::string()>;

class TApplication : public TComponent {
    MORVANE_CLASS(TApplication, TComponent)
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // Starts the window system once; only argv[0] is handed to it. The arguments are kept for
    // ParamStr.
    void Initialize(int argc, char** argv);
    bool Initialized() const { return initialized_; }

    // Creates a form owned by the application; the first one becomes the main form.
    template <typename T> T* CreateForm() {
        T* form = new T(this);
        if (!mainForm_)
            mainForm_ = form;
        return form;
    }
    TForm* MainForm() const { return mainForm_; }
    // Shows the main form and dispatches messages until the application terminates; then frees the
    // forms (and with them every component they own).
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    void ProcessMessages();

    // The executable's file name without directory and without everything from its first ".",
    // every character after the first in lower case ("MORVANE.bin" -> "Morvane").
    const AnsiString& Title() const { return title_; }
    void SetTitle(const AnsiString& v) { title_ = v; }
    AnsiString ExeName() const;
    // Arguments after the program path, converted from the system's encoding to the code page
    // (codepage::FromSystem); empty arguments do not count.
    int ParamCount() const { return int(params_.size()) - 1; }
    AnsiString ParamStr(int index) const;

    // How long a hint stays shown, in milliseconds.
    int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int v) { hintHidePause_ = v; }

    // Shows an exception in a message box (the message, "." appended when its last character sorts
    // after ".", the title as caption, an error icon); EAbort is silent. OnException replaces it.
    void HandleException(TObject* sender, const std::exception& e);
    void ShowException(const std::exception& e);
    TExceptionEvent OnException;

    // The application-wide keyboard filter: every key going down in any window passes the hooks first.
    int AddKeyHook(TKeyHook hook);
    void RemoveKeyHook(int id);
    bool RunKeyHooks(TWinControl* target, Word key, TShiftState shift);

    // Further members of the state file, written after "controls" and "datasets".
    void AddStateSection(const AnsiString& name, TStateSection section);
    // The state of a form as JSON (what MORVANE_STATE writes).
    std::string StateJson(TForm* form) const;
    // Saves the picture and the state of the main form as the environment asks; true when it did.
    bool SaveHeadlessOutputs();

    // Ends the window system after Run, at the end of the program entry (never from a static
    // destructor: Qt's own globals may be gone by then). Without it the process ends with it alive.
    void Shutdown();
    // The framework's own.
    void MainFormDestroyed() { mainForm_ = nullptr; }

private:
    bool initialized_ = false;
    bool terminated_ = false;
    TForm* mainForm_ = nullptr;
    AnsiString title_;
    int hintHidePause_ = 2500;
    std::vector<AnsiString> params_;
    std::vector<std::pair<int, TKeyHook>> keyHooks_;
    int nextHook_ = 1;
    std::vector<std::pair<AnsiString, TStateSection>> stateSections_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

extern TApplication* const Application;

// The start-up failure: the text of the "Application Error" box, formed from
// "Exception %s in module %s at %p.\r\n%s%s\r\n".
AnsiString StartupErrorText(const std::exception& e, const void* address);
// Shows the "Application Error" box for an exception that escaped the building of the main window;
// answers the exit code, 1.
int ShowStartupError(const std::exception& e);
// Converts code-page text to a JSON string literal (UTF-8, quoted and escaped).
std::string JsonString(std::string_view ansi);
